#pragma once
// What every fuzz target asserts about one conversion of arbitrary bytes:
// an error result with the output untouched, or an image of 66048 bytes
// whose packed stream satisfies the round-trip property.

#include <cstdint>

#include "format/byte_buffer.h"

namespace brevox::fuzz {

// How the input file reaches the converter.
enum class InputKind {
  kPlain,       // the bytes as a .vgm file
  kGzipOfBytes, // a gzip of the bytes as a .vgz file
  kRawAsGzip,   // the bytes themselves as a .vgz file: zlib meets any damage
};

// Writes `bytes` as `kind` into a private directory, converts it in-process
// onto a sentinel output file and checks the outcome; aborts with a message
// on stderr when a check fails, which the fuzzer reports as a crash.
void CheckConversion(const ByteBuffer& bytes, InputKind kind);

}  // namespace brevox::fuzz
