#pragma once
// Second pass of the packer: feeds the rewritten stream, command by command,
// into the encoder, cuts a group at the loop point and draws the progress bar.

#include <cstdint>

#include "format/byte_buffer.h"
#include "format/output_sink.h"
#include "packer/codec.h"

namespace brevox {

// The progress mark, printed ten times across a conversion.
constexpr char kProgressMark = static_cast<char>(0xB1);
constexpr std::uint32_t kProgressMarks = 10;

// What the encoding pass hands to the header fix-up.
struct EncodeResult {
  // Index just past the 0x66 command: the tail starts here.
  std::uint32_t tail_start = 0;
  // Offset in the packed stream of the flag byte whose group begins with the loop command.
  std::uint32_t loop_position = 0;
  // Progress marks printed so far, 0 to 9.
  std::uint32_t marks = 0;
};

// Encodes rewritten[data_start, length) up to and including the 0x66 command
// into `codec`, which appends to `packed`. The group holding 0x66 is left open.
// Returns false after printing the error for a malformed data block or a
// stream that ends before its 0x66; never reads at or past `length`.
bool EncodeCommands(const ByteBuffer& rewritten, std::uint32_t length, std::uint32_t data_start,
                    std::uint32_t loop_position, const ByteBuffer& packed, Codec& codec,
                    EncodeResult* result, OutputSink& sink);

}  // namespace brevox
