#include "packer/round_trip.h"

#include <algorithm>

#include "format/byte_order.h"
#include "format/packed_stream.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"
#include "packer/decoder.h"

namespace brevox {
namespace {

std::string At(const char* what, std::uint64_t offset) {
  return std::string(what) + " at " + std::to_string(offset);
}

// The commands that the decoder must give back: rewritten[data_start,
// tail_start). The rewriter writes no other chip's command, so no 0x4E that
// could be taken for the padding of the group cut at the loop. Sets
// *loop_command to the loop command's index in them. Returns an empty string,
// or what failed.
std::string ExpectedCommands(const PackResult& result, std::uint32_t data_start, ByteBuffer* expected,
                             std::uint32_t* loop_command) {
  const ByteBuffer& rewritten = result.rewritten;
  const std::uint32_t end = result.encode.tail_start;
  if (end > result.rewrite.length || end > rewritten.size() || data_start >= end) {
    return At("tail start outside the rewritten stream", end);
  }
  const bool loops = result.rewrite.loop_position > kNoLoopPosition;
  bool loop_found = false;
  for (std::uint32_t i = data_start; i < end;) {
    if (loops && i == result.rewrite.loop_position) loop_found = true;
    if (kVgmCommands[rewritten[i]].kind == CommandKind::kLeftOut && rewritten[i] != kShortSeek) {
      return At("another chip's command written", i);
    }
    const std::uint64_t length = PackedCommandLength(&rewritten[i], end - i);
    if (length == 0) return At("command cut short", i);
    i += static_cast<std::uint32_t>(length);
  }
  if (loops && !loop_found) return At("rewritten loop position at no command", result.rewrite.loop_position);
  if (rewritten[end - 1] != kEndOfData) return "commands do not end with 0x66";
  expected->assign(rewritten.begin() + data_start, rewritten.begin() + end);
  *loop_command = loop_found ? result.rewrite.loop_position - data_start : 0;
  return "";
}

// The header copy keeps every byte but the three offsets that move.
std::string CheckHeaderCopy(const PackResult& result, std::uint32_t data_start) {
  for (std::uint32_t i = 0; i < data_start; ++i) {
    const std::uint32_t field = i & ~3u;
    if (field == kEofOffsetField || field == kGd3OffsetField || field == kLoopOffsetField) continue;
    if (result.packed[i] != result.rewritten[i]) return At("header copy differs", i);
  }
  return "";
}

std::string CheckOffsets(const PackResult& result, const DecodedStream& decoded, std::uint32_t input_size,
                         std::uint32_t loop_command) {
  const ByteBuffer& packed = result.packed;
  const auto packed_size = static_cast<std::uint32_t>(packed.size());
  if (ReadLe32(&packed[kEofOffsetField]) + kEofOffsetField != decoded.groups_end) {
    return At("end-of-file offset + 4 is not the end of the last group", decoded.groups_end);
  }
  const std::uint32_t tail_length = result.rewrite.length - result.encode.tail_start;
  if (packed_size - decoded.groups_end != tail_length ||
      !std::equal(packed.begin() + decoded.groups_end, packed.end(),
                  result.rewritten.begin() + result.encode.tail_start)) {
    return At("tail differs", decoded.groups_end);
  }

  const std::uint32_t old_gd3 = ReadLe32(&result.rewritten[kGd3OffsetField]);
  const std::uint32_t new_gd3 = ReadLe32(&packed[kGd3OffsetField]);
  if (old_gd3 == 0 && new_gd3 != 0) return "GD3 offset appeared";
  // A tag keeps its distance from the end of the file, so one that began the
  // input's tail begins the packed tail.
  if (old_gd3 != 0 && packed_size - (new_gd3 + kGd3OffsetField) != input_size - (old_gd3 + kGd3OffsetField)) {
    return "GD3 offset does not keep the tag's place";
  }
  if (old_gd3 != 0 && old_gd3 + kGd3OffsetField == input_size - tail_length &&
      new_gd3 + kGd3OffsetField != decoded.groups_end) {
    return "GD3 offset + 0x14 is not where the tail begins";
  }

  const bool loops = result.rewrite.loop_position > kNoLoopPosition;
  if (decoded.loops != loops) return loops ? "loop offset lost" : "loop offset where the song does not loop";
  if (loops && decoded.loop_command != loop_command) {
    return At("loop offset names the group of another command", decoded.loop_group);
  }
  return "";
}

}  // namespace

std::string CheckRoundTrip(const PackResult& result, std::uint32_t input_size) {
  const ByteBuffer& packed = result.packed;
  const DecodedStream decoded = DecodePackedStream(packed.data(), static_cast<std::uint32_t>(packed.size()));
  if (decoded.error != DecodeError::kNone) {
    return At(DecodeErrorName(decoded.error), decoded.error_offset);
  }
  ByteBuffer expected;
  std::uint32_t loop_command = 0;
  std::string failure = ExpectedCommands(result, decoded.data_start, &expected, &loop_command);
  if (!failure.empty()) return failure;
  if (decoded.commands != expected) {
    const auto mismatch = std::mismatch(decoded.commands.begin(), decoded.commands.end(), expected.begin(),
                                        expected.end());
    return At("decoded commands differ", decoded.data_start + (mismatch.first - decoded.commands.begin()));
  }
  failure = CheckHeaderCopy(result, decoded.data_start);
  if (!failure.empty()) return failure;
  return CheckOffsets(result, decoded, input_size, loop_command);
}

}  // namespace brevox
