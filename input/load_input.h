#pragma once
// Brings a VGM file into memory and reads the header values the packer needs.

#include <cstdint>
#include <string>

#include "format/byte_buffer.h"
#include "format/loaded_input.h"
#include "format/output_sink.h"

namespace brevox {

// How an input file is read; the two ways have their own messages.
enum class InputEncoding {
  kPlain,
  kGzip,  // through zlib: "Unzipping file" first
};

// True when the path names gzip input: its last character is z or Z.
bool IsCompressedPath(const std::string& path);

// kGzip when the path names gzip input or the file begins with the gzip
// signature 0x1F 0x8B, whatever its name; kPlain otherwise, also when its
// first two bytes cannot be read.
InputEncoding EncodingOf(const std::string& path);

// Reads the file at `path` (through zlib when EncodingOf says so) into
// *input, collecting inflated bytes in *read_back, then calls PrepareInput.
// Returns false after printing the error.
bool LoadInput(const std::string& path, ByteBuffer* read_back, LoadedInput* input, OutputSink& sink);

// Takes `image`, read from `path` the `encoding` way, as the input image:
// refuses it unless it holds a header that begins "Vgm ", allocates the
// rewritten-stream array and reads the header values; prints "Packing <path>:".
// Returns false after printing the error.
bool PrepareInput(ByteBuffer image, const std::string& path, InputEncoding encoding, LoadedInput* input,
                  OutputSink& sink);

}  // namespace brevox
