#include "packer/pack.h"

#include <gtest/gtest.h>

#include "format/byte_order.h"
#include "input/load_input.h"
#include "packer/header_fixup.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::VgmBuilder;

struct Packed {
  bool ok = false;
  PackResult result;
  std::string messages;
};

Packed Pack(const ByteBuffer& file) {
  Packed out;
  StringSink sink;
  LoadedInput input;
  if (PrepareInput(file, "in.vgm", InputEncoding::kPlain, &input, sink)) {
    out.ok = PackVgm(std::move(input), &out.result, sink);
  }
  out.messages = sink.text();
  return out;
}

std::string Bar() { return std::string(10, '\xB1'); }

TEST(PackTest, SmallFileFromEndToEnd) {
  const ByteBuffer file = VgmBuilder().Add({0x50, 0x9F, 0x62, 0x66}).Build();
  ASSERT_EQ(file.size(), 68u);
  Packed out = Pack(file);
  ASSERT_TRUE(out.ok);
  EXPECT_TRUE(out.result.fits);
  const ByteBuffer& packed = out.result.packed;
  ASSERT_EQ(packed.size(), 73u);
  EXPECT_EQ(ByteBuffer(packed.begin() + 64, packed.end()),
            (ByteBuffer{0x01, 0x9F, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  EXPECT_EQ(ReadLe32(&packed[0x04]), 69u);
  EXPECT_EQ(ReadLe32(&packed[0x14]), 0u);
  EXPECT_EQ(ReadLe32(&packed[0x1C]), 0u);
  EXPECT_EQ(packed[0x08], 0x51);
  EXPECT_EQ(out.messages, "Packing in.vgm:" + Bar() + "\nInput size: 68 bytes, output size: 73 bytes\n");
}

TEST(PackTest, HeaderOffsetsPointIntoThePackedLayout) {
  // Loop after the first command, a GD3 tag after the end.
  VgmBuilder song;
  song.Add({0x50, 0x9F});
  for (int i = 0; i < 9; ++i) song.Add({0x62});
  song.Loop().Add({0x52, 0x25, 0x00, 0x50, 0x8F, 0x63}).End().Tag("title");
  Packed out = Pack(song.Build());
  ASSERT_TRUE(out.ok);
  const ByteBuffer& packed = out.result.packed;
  const std::uint32_t groups_end = ReadLe32(&packed[0x04]) + 4;
  const std::uint32_t tag = ReadLe32(&packed[0x14]) + 0x14;
  EXPECT_EQ(groups_end, tag);
  EXPECT_EQ(std::string(packed.begin() + tag, packed.end()), "Gd3 title");
  // First group: 0x50 and seven waits; the second holds two waits, cut at the loop.
  const std::uint32_t loop = ReadLe32(&packed[0x1C]) + 0x1C;
  EXPECT_EQ(loop, 0x40u + 9 + 9);
  EXPECT_EQ(packed[loop], 0x01) << "the loop group starts with the 0x50 after the dropped timer write";
  EXPECT_EQ(packed[loop + 1], 0x8F);
}

TEST(PackTest, EmptyTailMakesTheEndOffsetTheStreamEnd) {
  Packed out = Pack(VgmBuilder().Add({0x62}).End().Build());
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(ReadLe32(&out.result.packed[0x04]) + 4, out.result.packed.size());
}

TEST(PackTest, SizeLimitAcceptsExactly61120Bytes) {
  // Each group of eight 0x62 waits packs to 9 bytes; a final group of 0x62 0x66 and pads.
  auto song_of = [](std::uint32_t groups, std::uint32_t tag_bytes) {
    VgmBuilder song;
    song.Add(ByteBuffer(groups * 8, 0x62)).End();
    song.Add(ByteBuffer(tag_bytes, 'x'));
    return song.Build();
  };
  // 64 header + 9 * groups + 9 final + tail = 61120.
  const std::uint32_t groups = (61120 - 64 - 9) / 9;
  const std::uint32_t tail = 61120 - 64 - 9 - groups * 9;
  Packed exact = Pack(song_of(groups, tail));
  ASSERT_TRUE(exact.ok);
  EXPECT_EQ(exact.result.packed.size(), 61120u);
  EXPECT_TRUE(exact.result.fits);
  Packed over = Pack(song_of(groups, tail + 1));
  ASSERT_TRUE(over.ok);
  EXPECT_EQ(over.result.packed.size(), 61121u);
  EXPECT_FALSE(over.result.fits);
  const std::string report = "output size: 61121 bytes\n";
  const std::string error = "Error: the vgm data is too large to fit. the maximum size after packing is 61120 bytes\n";
  EXPECT_NE(over.messages.find(report + error), std::string::npos) << over.messages;
}

TEST(PackTest, WarningsFollowTheSizeReportInTheirOrder) {
  const std::string kNoEnd = "Warning: the vgm data has no end-of-data command; one was added\n";
  const std::string kNoLoop = "Warning: the loop offset does not point at a command; the output will not loop\n";
  const std::string kLeftOut = "Warning: the vgm data has commands for other chips; they were left out\n";
  ByteBuffer file = VgmBuilder().Add({0x61, 0x10, 0x00, 0xA0, 0x07, 0x38}).Build();
  WriteLe32(&file[0x1C], 0x41 - 0x1C);
  Packed out = Pack(file);
  ASSERT_TRUE(out.ok) << out.messages;
  EXPECT_EQ(ReadLe32(&out.result.packed[0x1C]), 0u) << "a loop that names no command is cleared";
  EXPECT_EQ(out.messages, "Packing in.vgm:" + Bar() + "\nInput size: 70 bytes, output size: 75 bytes\n" + kNoEnd +
                              kNoLoop + kLeftOut);

  // Alone, and before the size error.
  EXPECT_EQ(Pack(VgmBuilder().Add({0x30, 0x9F, 0x62}).End().Build()).messages,
            "Packing in.vgm:" + Bar() + "\nInput size: 68 bytes, output size: 73 bytes\n" + kLeftOut);
  Packed big = Pack(VgmBuilder().Add(ByteBuffer(70000, 0x62)).Add({0xB0, 0x01, 0x02}).End().Build());
  ASSERT_TRUE(big.ok);
  EXPECT_FALSE(big.result.fits);
  EXPECT_NE(big.messages.find(kLeftOut + "Error: the vgm data is too large to fit."), std::string::npos)
      << big.messages;
}

TEST(PackTest, AddedEndKeepsTheTagPointedAt) {
  Packed out = Pack(VgmBuilder().Add({0x50, 0x9F, 0x62}).Tag("abc").Build());
  ASSERT_TRUE(out.ok);
  const ByteBuffer& packed = out.result.packed;
  const std::uint32_t tag = ReadLe32(&packed[0x14]) + 0x14;
  ASSERT_LT(tag, packed.size());
  EXPECT_EQ(std::string(packed.begin() + tag, packed.end()), "Gd3 abc");
  EXPECT_EQ(ReadLe32(&packed[0x04]) + 4, tag);
}

}  // namespace
}  // namespace brevox
