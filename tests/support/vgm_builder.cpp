#include "support/vgm_builder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>

#include "packer/byte_order.h"

namespace brevox::testing {

VgmBuilder::VgmBuilder() : bytes_(0x40, 0) {
  const char id[] = "Vgm ";
  std::copy(id, id + 4, bytes_.begin());
  WriteLe32(&bytes_[0x08], 0x150);
  WriteLe32(&bytes_[0x0C], 3579545);
  WriteLe32(&bytes_[0x34], 0x0C);
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

VgmBuilder& VgmBuilder::End() { return Add({0x66}); }

VgmBuilder& VgmBuilder::Tag(const std::string& text) {
  gd3_ = Position();
  bytes_.insert(bytes_.end(), {'G', 'd', '3', ' '});
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

VgmBuilder& VgmBuilder::Field(std::uint32_t offset, std::uint32_t value) {
  WriteLe32(&bytes_[offset], value);
  return *this;
}

ByteBuffer VgmBuilder::Build() const {
  ByteBuffer file = bytes_;
  WriteLe32(&file[0x04], static_cast<std::uint32_t>(file.size() - 4));
  if (loop_ != 0) WriteLe32(&file[0x1C], loop_ - 0x1C);
  if (gd3_ != 0) WriteLe32(&file[0x14], gd3_ - 0x14);
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
