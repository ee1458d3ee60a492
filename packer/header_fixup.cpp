#include "packer/header_fixup.h"

#include "format/byte_order.h"
#include "format/sound_ram.h"
#include "format/vgm_header.h"

namespace brevox {

bool FinishPackedStream(std::unique_ptr<Codec> codec, const ByteBuffer& rewritten,
                        const RewriteResult& rewrite, const EncodeResult& encode,
                        std::uint32_t input_size, ByteBuffer* packed, OutputSink& sink) {
  codec->Flush();
  codec.reset();
  const auto groups_end = static_cast<std::uint32_t>(packed->size());
  // The offset points at the first tail byte, where the GD3 tag usually is.
  WriteLe32(&(*packed)[kEofOffsetField], groups_end - kEofOffsetField);
  packed->insert(packed->end(), rewritten.begin() + encode.tail_start,
                 rewritten.begin() + rewrite.length);
  const auto packed_size = static_cast<std::uint32_t>(packed->size());

  const std::uint32_t gd3 = ReadLe32(&(*packed)[kGd3OffsetField]);
  if (gd3 != 0) WriteLe32(&(*packed)[kGd3OffsetField], gd3 + packed_size - input_size);
  if (rewrite.loop_position > kNoLoopPosition) {
    WriteLe32(&(*packed)[kLoopOffsetField], encode.loop_position - kLoopOffsetField);
  } else if (rewrite.loop_dropped) {
    WriteLe32(&(*packed)[kLoopOffsetField], 0);
  }

  for (std::uint32_t mark = encode.marks; mark < kProgressMarks; ++mark) {
    sink.Write(&kProgressMark, 1);
  }
  sink.Printf("\nInput size: %u bytes, output size: %u bytes\n", input_size, packed_size);
  if (rewrite.end_added) {
    sink.Printf("Warning: the vgm data has no end-of-data command; one was added\n");
  }
  if (rewrite.loop_dropped) {
    sink.Printf("Warning: the loop offset does not point at a command; the output will not loop\n");
  }
  if (rewrite.left_out) {
    sink.Printf("Warning: the vgm data has commands for other chips; they were left out\n");
  }
  if (packed_size > kMaxPackedSize) {
    sink.Printf("Error: the vgm data is too large to fit. the maximum size after packing is %u bytes\n",
                kMaxPackedSize);
    return false;
  }
  return true;
}

}  // namespace brevox
