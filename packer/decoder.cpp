#include "packer/decoder.h"

#include "format/packed_stream.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox {
namespace {

// Records the error and where it was met; returns false for the caller to pass on.
bool Fail(DecodedStream* out, DecodeError error, std::uint32_t offset) {
  out->error = error;
  out->error_offset = offset;
  return false;
}

// Reads the group whose flag byte is at *at, appending its commands; moves
// *at past it. Sets *ended when the group holds the 0x66 entry, and
// *trailing_pads to the number of 0x4E entries that close the group.
bool DecodeGroup(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t* at, bool* ended,
                 std::uint32_t* trailing_pads, DecodedStream* out) {
  std::uint32_t i = *at;
  if (i >= size) return Fail(out, DecodeError::kTruncated, i);
  const std::uint8_t flags = bytes[i++];
  *trailing_pads = 0;
  for (std::uint32_t entry = 0; entry < kGroupEntries; ++entry) {
    const bool flagged = ((flags >> entry) & 1u) != 0;
    if (*ended) {
      // Everything after the end of the music is padding; anything else is not ours.
      if (flagged) return Fail(out, DecodeError::kBadPadding, *at);
      if (i >= size) return Fail(out, DecodeError::kTruncated, i);
      if (bytes[i] != kPadEntry) return Fail(out, DecodeError::kBadPadding, i);
      ++i;
      continue;
    }
    std::uint8_t command = kSn76489Write;
    if (!flagged) {
      if (i >= size) return Fail(out, DecodeError::kTruncated, i);
      command = bytes[i];
      // The encoder never stores it, so a stored one means the stream is not ours.
      if (command == kSn76489Write) return Fail(out, DecodeError::kStoredSnWrite, i);
      ++i;
    }
    out->commands.push_back(command);
    *trailing_pads = command == kPadEntry ? *trailing_pads + 1 : 0;
    if (command == kEndOfData) {
      *ended = true;
      continue;
    }
    std::uint64_t operands = PackedOperandCount(command);
    if (command == kDataBlock) {
      if (i < size && bytes[i] != kEndOfData) return Fail(out, DecodeError::kBadDataBlock, i);
      if (size - i < kDataBlockHeaderSize - 1) return Fail(out, DecodeError::kTruncated, i);
      // 64 bits: a size near 2^32 must not wrap round to a short block.
      operands = DataBlockLength(&bytes[i - 1]) - 1;
    }
    if (operands > size - i) return Fail(out, DecodeError::kTruncated, i);
    out->commands.insert(out->commands.end(), bytes + i, bytes + i + operands);
    i += static_cast<std::uint32_t>(operands);
  }
  *at = i;
  return true;
}

bool Decode(const std::uint8_t* bytes, std::uint32_t size, DecodedStream* out) {
  if (size < kVgmHeaderSize) return Fail(out, DecodeError::kNoHeader, size);
  out->data_start = DataStart(bytes);
  if (out->data_start >= size) return Fail(out, DecodeError::kDataStartOutside, out->data_start);
  out->loop_group = LoopPosition(bytes);
  out->loops = out->loop_group != kNoLoopPosition;

  bool loop_found = false;
  bool ended = false;
  std::uint32_t at = out->data_start;
  while (!ended) {
    if (out->loops && at == out->loop_group) {
      loop_found = true;
      out->loop_command = static_cast<std::uint32_t>(out->commands.size());
    }
    std::uint32_t trailing_pads = 0;
    if (!DecodeGroup(bytes, size, &at, &ended, &trailing_pads, out)) return false;
    ++out->group_count;
    // The group before the loop was cut short there: its closing 0x4E entries
    // are padding. A real 0x4E just before the loop looks the same and goes
    // too, which changes nothing, since a 0x4E does nothing.
    if (!ended && out->loops && at == out->loop_group) {
      out->commands.resize(out->commands.size() - trailing_pads);
    }
  }
  out->groups_end = at;
  if (out->loops && !loop_found) return Fail(out, DecodeError::kLoopNotAtGroup, out->loop_group);
  return true;
}

}  // namespace

const char* DecodeErrorName(DecodeError error) {
  switch (error) {
    case DecodeError::kNone: return "none";
    case DecodeError::kNoHeader: return "shorter than the header";
    case DecodeError::kDataStartOutside: return "data start outside the stream";
    case DecodeError::kTruncated: return "runs past the end";
    case DecodeError::kStoredSnWrite: return "stored 0x50 command byte";
    case DecodeError::kBadDataBlock: return "0x67 not followed by 0x66";
    case DecodeError::kBadPadding: return "not a pad entry after 0x66";
    case DecodeError::kLoopNotAtGroup: return "loop offset names no group";
  }
  return "unknown";
}

DecodedStream DecodePackedStream(const std::uint8_t* bytes, std::uint32_t size) {
  DecodedStream out;
  Decode(bytes, size, &out);
  return out;
}

}  // namespace brevox
