#pragma once
// Reads a packed stream back into the command stream it encodes: the
// executable definition of the packed format that every player relies on.

#include <cstdint>

#include "format/byte_buffer.h"

namespace brevox {

// Why a packed stream could not be read; kNone when it could.
enum class DecodeError {
  kNone,
  kNoHeader,           // shorter than the 64-byte header
  kDataStartOutside,   // the groups would begin at or past the end
  kTruncated,          // a group, entry or operand runs past the end
  kStoredSnWrite,      // an entry stores the byte 0x50 instead of setting its flag bit
  kBadDataBlock,       // a 0x67 entry not followed by 0x66
  kBadPadding,         // after the 0x66 entry, an entry other than an unflagged 0x4E
  kLoopNotAtGroup,     // the loop offset names no flag byte of a group before the end
};

// One readable name for each error, for messages.
const char* DecodeErrorName(DecodeError error);

// What a packed stream holds once read.
struct DecodedStream {
  DecodeError error = DecodeError::kNone;
  // Where reading stopped: the offending byte when error is not kNone.
  std::uint32_t error_offset = 0;
  // Index of the first flag byte: field 0x34 + 0x34, at least 0x40.
  std::uint32_t data_start = 0;
  // The commands from the first through the 0x66, with 0x50 bytes restored
  // and pad entries gone.
  ByteBuffer commands;
  // Index just past the group holding 0x66: where the tail begins.
  std::uint32_t groups_end = 0;
  std::uint32_t group_count = 0;
  // The loop offset field is not 0.
  bool loops = false;
  // Loop offset + 0x1C: the flag byte of the group that the loop begins.
  std::uint32_t loop_group = 0;
  // Index in `commands` of that group's first entry.
  std::uint32_t loop_command = 0;
};

// Reads the `size` bytes at `bytes` as a packed stream. Never reads at or
// past bytes + size, whatever they hold; on failure the result names the
// error and where it was met.
DecodedStream DecodePackedStream(const std::uint8_t* bytes, std::uint32_t size);

}  // namespace brevox
