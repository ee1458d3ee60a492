#include "packer/encoder_pass.h"

#include <algorithm>

#include "format/packed_stream.h"
#include "format/vgm_commands.h"
#include "packer/codec.h"
#include "packer/rewriter.h"

namespace brevox {
namespace {

// The pass over any encoder type; given the final FlagCodec, its calls are direct and inline.
template <class Encoder>
bool EncodeWith(const ByteBuffer& rewritten, std::uint32_t length, std::uint32_t data_start,
                std::uint32_t loop_position, const ByteBuffer& packed, Encoder& codec,
                EncodeResult* result, OutputSink& sink) {
  if (length > rewritten.size()) length = static_cast<std::uint32_t>(rewritten.size());
  result->loop_position = loop_position;
  result->marks = 0;
  std::uint32_t i = data_start;
  // Mark m + 1 is due once i * kProgressMarks / length exceeds m; comparing
  // products keeps a division out of the per-command path.
  std::uint64_t next_mark = length;
  // The end, the next mark and the loop point are rare; below `next_check` none is due.
  std::uint64_t next_check = i;
  for (;;) {
    if (i >= next_check) {
      if (i >= length) {
        ReportUnexpectedEnd(sink);
        return false;
      }
      if (std::uint64_t{i} * kProgressMarks >= next_mark) {
        ++result->marks;
        next_mark += length;
        sink.Write(&kProgressMark, 1);
      }
      if (i == loop_position) {
        codec.Flush();
        result->loop_position = static_cast<std::uint32_t>(packed.size());
      }
      const std::uint64_t mark_index = (next_mark + kProgressMarks - 1) / kProgressMarks;
      next_check = std::min<std::uint64_t>(length, mark_index);
      if (loop_position > i) next_check = std::min<std::uint64_t>(next_check, loop_position);
    }
    const std::uint8_t command = rewritten[i];
    codec.AddCommand(command);
    ++i;
    if (command == kEndOfData) break;
    std::uint64_t operands = PackedOperandCount(command);
    if (command == kDataBlock) {
      if (i < length && rewritten[i] != kEndOfData) {
        ReportIllegalDataBlock(rewritten[i], sink);
        return false;
      }
      if (length - i < kDataBlockHeaderSize - 1) {
        ReportUnexpectedEnd(sink);
        return false;
      }
      operands = DataBlockLength(&rewritten[i - 1]) - 1;
    }
    if (operands > length - i) {
      ReportUnexpectedEnd(sink);
      return false;
    }
    // A data block's bytes go over in one call; short operands one by one are cheaper.
    if (command == kDataBlock) {
      codec.AddOperands(&rewritten[i], static_cast<std::uint32_t>(operands));
      i += static_cast<std::uint32_t>(operands);
      continue;
    }
    for (const std::uint32_t end = i + static_cast<std::uint32_t>(operands); i < end; ++i) {
      codec.AddOperand(rewritten[i]);
    }
  }
  result->tail_start = i;
  return true;
}

}  // namespace

bool EncodeCommands(const ByteBuffer& rewritten, std::uint32_t length, std::uint32_t data_start,
                    std::uint32_t loop_position, const ByteBuffer& packed, Codec& codec,
                    EncodeResult* result, OutputSink& sink) {
  // A virtual call per command byte would cost more than the encoding itself.
  if (auto* flag_codec = dynamic_cast<FlagCodec*>(&codec)) {
    return EncodeWith(rewritten, length, data_start, loop_position, packed, *flag_codec, result, sink);
  }
  return EncodeWith(rewritten, length, data_start, loop_position, packed, codec, result, sink);
}

}  // namespace brevox
