#pragma once
// First pass of the packer: the header copies, and a rewritten command stream
// without YM2612 timer writes, repeated channel-3 mode writes and the commands
// of other chips, with short waits folded into DAC writes and the seek to PCM
// offset 0 as one byte.

#include <cstdint>

#include "format/byte_buffer.h"
#include "format/loaded_input.h"
#include "format/output_sink.h"

namespace brevox {

// What the rewrite pass gives the later stages.
struct RewriteResult {
  // Bytes of input.rewritten in use: header, commands through 0x66, tail.
  std::uint32_t length = 0;
  // Where the loop command begins in the rewritten stream; 0x1C for no loop.
  std::uint32_t loop_position = 0;
  // The input had no end-of-data command; one was written where it ended.
  bool end_added = false;
  // The input's loop offset named no command; the song is taken as not looping.
  bool loop_dropped = false;
  // Commands of other chips, or data blocks of other types, were left out.
  bool left_out = false;
};

// Appends the header copy to *packed and fills input->rewritten. Returns
// false after printing the error for a malformed data block or for commands
// that run past the input's end; it never reads past input->size.
bool RewriteCommands(LoadedInput* input, ByteBuffer* packed, RewriteResult* result, OutputSink& sink);

// Prints the message for commands that run past the end of the data.
void ReportUnexpectedEnd(OutputSink& sink);

// Prints the message for a data block whose second byte is not 0x66.
void ReportIllegalDataBlock(std::uint8_t second_byte, OutputSink& sink);

}  // namespace brevox
