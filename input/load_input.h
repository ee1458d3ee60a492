#pragma once
// Brings a VGM file into memory and reads the header values the packer needs.

#include <cstdint>
#include <string>

#include "app/output_sink.h"
#include "packer/byte_buffer.h"

namespace brevox {

// One loaded input, handed from stage to stage by the driver.
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

// True when the path names gzip input: its last character is z or Z.
bool IsCompressedPath(const std::string& path);

// Prints the message for an input array that cannot be allocated; gzip
// input names the size it wanted.
void ReportAllocationFailure(const std::string& path, std::uint32_t size, OutputSink& sink);

// Reads the file at `path` (through zlib when IsCompressedPath) into *input,
// collecting inflated bytes in *read_back, then calls PrepareInput.
// Returns false after printing the error.
bool LoadInput(const std::string& path, ByteBuffer* read_back, LoadedInput* input, OutputSink& sink);

// Takes `image` as the input image, allocates the rewritten-stream array and
// reads the header values; prints "Packing <path>:". Returns false after
// printing the error when the image cannot hold a header.
bool PrepareInput(ByteBuffer image, const std::string& path, LoadedInput* input, OutputSink& sink);

}  // namespace brevox
