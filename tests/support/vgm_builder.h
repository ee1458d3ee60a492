#pragma once
// Builds small VGM files for tests: a 64-byte header and the commands given.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "format/byte_buffer.h"

namespace brevox::testing {

class VgmBuilder {
 public:
  VgmBuilder();

  // Appends raw command bytes.
  VgmBuilder& Add(std::initializer_list<std::uint8_t> bytes);
  VgmBuilder& Add(const ByteBuffer& bytes);
  // Marks the next command as the loop point.
  VgmBuilder& Loop();
  // Appends 0x66 and, when given, a GD3 tag after it.
  VgmBuilder& End();
  VgmBuilder& Tag(const std::string& text);
  // Sets a 32-bit header field.
  VgmBuilder& Field(std::uint32_t offset, std::uint32_t value);

  // The file: header with end-of-file, loop and GD3 offsets filled in.
  ByteBuffer Build() const;
  // Index of the next command byte in the built file.
  std::uint32_t Position() const { return static_cast<std::uint32_t>(bytes_.size()); }

 private:
  ByteBuffer bytes_;
  std::uint32_t loop_ = 0;
  std::uint32_t gd3_ = 0;
};

// Writes `bytes` to `path`; aborts the test on failure.
void WriteFile(const std::string& path, const ByteBuffer& bytes);
// Reads the whole file, empty when missing.
ByteBuffer ReadFile(const std::string& path);
// Writes `bytes` gzip-compressed to `path`.
void WriteGzipFile(const std::string& path, const ByteBuffer& bytes);

}  // namespace brevox::testing
