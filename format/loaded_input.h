#pragma once
// One loaded input, as the loader hands it to the packer.

#include <cstdint>

#include "format/byte_buffer.h"

namespace brevox {

struct LoadedInput {
  // The whole file (inflated when compressed); byte 0x08 set to 0x51.
  ByteBuffer image;
  // Room for the rewritten stream: the input size plus one byte, for an
  // end-of-data command that a file may lack.
  ByteBuffer rewritten;
  std::uint32_t size = 0;
  // Index of the first command: field 0x34 + 0x34, at least 0x40.
  std::uint32_t data_start = 0;
  // Field 0x1C + 0x1C; 0x1C when the file does not loop.
  std::uint32_t loop_position = 0;
};

}  // namespace brevox
