#include "support/vgm_builder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::testing {
namespace {

constexpr std::uint32_t kVersion150 = 0x150;
constexpr std::uint32_t kNtscPsgClock = 3579545;
constexpr char kGd3Identification[] = "Gd3 ";

}  // namespace

VgmBuilder::VgmBuilder() : bytes_(kVgmHeaderSize, 0) {
  std::copy(kVgmIdentification, kVgmIdentification + kVgmIdentificationSize, bytes_.begin());
  WriteLe32(&bytes_[kVersionField], kVersion150);
  WriteLe32(&bytes_[kSn76489ClockField], kNtscPsgClock);
  WriteLe32(&bytes_[kDataOffsetField], kVgmHeaderSize - kDataOffsetField);
}

VgmBuilder& VgmBuilder::Add(std::initializer_list<std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes);
  return *this;
}

VgmBuilder& VgmBuilder::Add(const ByteBuffer& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

VgmBuilder& VgmBuilder::Loop() {
  loop_ = Position();
  return *this;
}

VgmBuilder& VgmBuilder::End() { return Add({kEndOfData}); }

VgmBuilder& VgmBuilder::Tag(const std::string& text) {
  gd3_ = Position();
  bytes_.insert(bytes_.end(), kGd3Identification, kGd3Identification + sizeof kGd3Identification - 1);
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

VgmBuilder& VgmBuilder::Field(std::uint32_t offset, std::uint32_t value) {
  WriteLe32(&bytes_[offset], value);
  return *this;
}

ByteBuffer VgmBuilder::Build() const {
  ByteBuffer file = bytes_;
  WriteLe32(&file[kEofOffsetField], static_cast<std::uint32_t>(file.size()) - kEofOffsetField);
  if (loop_ != 0) WriteLe32(&file[kLoopOffsetField], loop_ - kLoopOffsetField);
  if (gd3_ != 0) WriteLe32(&file[kGd3OffsetField], gd3_ - kGd3OffsetField);
  return file;
}

void WriteFile(const std::string& path, const ByteBuffer& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

ByteBuffer ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteGzipFile(const std::string& path, const ByteBuffer& bytes) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())),
              static_cast<int>(bytes.size()));
  }
  ASSERT_EQ(gzclose(file), Z_OK);
}

}  // namespace brevox::testing
