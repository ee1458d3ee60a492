#include "spc/spc_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "spc/spc_file.h"
#include "support/run_process.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::TempDirectory;

TEST(SpcImageTest, HeaderRamAndDspLayout) {
  ByteBuffer player(5000);
  for (std::size_t i = 0; i < player.size(); ++i) player[i] = static_cast<std::uint8_t>(i * 7 + 1);
  ByteBuffer packed(300);
  for (std::size_t i = 0; i < packed.size(); ++i) packed[i] = static_cast<std::uint8_t>(i ^ 0x5C);
  const ByteBuffer image = BuildSpcImage(player, packed);
  ASSERT_EQ(image.size(), 66048u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 33), "SNES-SPC700 Sound File Data v0.30");
  EXPECT_EQ(ByteBuffer(image.begin() + 33, image.begin() + 0x27), (ByteBuffer{0x1A, 0x1A, 0x1B, 0x1E, 0x00, 0x05}));
  EXPECT_EQ(ByteBuffer(image.begin() + 0x27, image.begin() + 0x100), ByteBuffer(0xD9, 0));
  for (std::size_t a = 0; a < 0x1100; ++a) {
    ASSERT_EQ(image[0x100 + a], a == 0xF0 ? 0x0A : player[a]) << "RAM " << a;
  }
  EXPECT_TRUE(std::equal(packed.begin(), packed.end(), image.begin() + 0x1200));
  EXPECT_EQ(ByteBuffer(image.begin() + 0x1200 + 300, image.begin() + 0x10100), ByteBuffer(61184 - 300, 0));
  for (std::size_t r = 0; r < 256; ++r) {
    ASSERT_EQ(image[0x10100 + r], r == 0x6C ? 0x20 : 0) << "DSP byte " << r;
  }
}

TEST(SpcImageTest, ShortPlayerIsPaddedAndLargestStreamLeavesTheTopFree) {
  const ByteBuffer image = BuildSpcImage(ByteBuffer{}, ByteBuffer(61120, 0x77));
  for (std::size_t a = 0; a < 0x1100; ++a) ASSERT_EQ(image[0x100 + a], a == 0xF0 ? 0x0A : 0xFF);
  EXPECT_EQ(image[0x100 + 0xFFBF], 0x77);
  EXPECT_EQ(ByteBuffer(image.begin() + 0x100 + 0xFFC0, image.begin() + 0x10100), ByteBuffer(64, 0));
}

struct WriteOutcome {
  bool ok;
  std::string messages;
};

WriteOutcome Write(const std::string& output, const std::string& player) {
  StringSink sink;
  const bool ok = WriteSpcFile(output, ByteBuffer{1, 2, 3}, player, sink);
  return {ok, sink.text()};
}

TEST(SpcFileTest, WritesTheWholeImageOrLeavesTheOutputAsItWas) {
  TempDirectory dir;
  testing::WriteFile(dir.File("player.bin"), ByteBuffer(4352, 0x11));
  const WriteOutcome written = Write(dir.File("out.spc"), dir.File("player.bin"));
  ASSERT_TRUE(written.ok) << written.messages;
  EXPECT_EQ(written.messages, "");
  const ByteBuffer image = testing::ReadFile(dir.File("out.spc"));
  EXPECT_EQ(image, BuildSpcImage(ByteBuffer(4352, 0x11), ByteBuffer{1, 2, 3}));

  testing::WriteFile(dir.File("keep.spc"), ByteBuffer{9, 9, 9});
  const WriteOutcome no_player = Write(dir.File("keep.spc"), "missing-player.bin");
  EXPECT_FALSE(no_player.ok);
  EXPECT_EQ(no_player.messages, "Error: unable to open missing-player.bin\n");
  EXPECT_EQ(testing::ReadFile(dir.File("keep.spc")), (ByteBuffer{9, 9, 9}));

  const WriteOutcome no_dir = Write(dir.File("nowhere/out.spc"), dir.File("player.bin"));
  EXPECT_EQ(no_dir.messages, "Error: unable to open " + dir.File("nowhere/out.spc") + "\n");
  const WriteOutcome onto_dir = Write(dir.path(), dir.File("player.bin"));
  EXPECT_EQ(onto_dir.messages, "Error: unable to open " + dir.path() + "\n");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"keep.spc", "out.spc", "player.bin"}))
      << "no temporary file stays behind";
}

TEST(SpcFileTest, DevicesAreWrittenInPlaceAndWriteErrorsReported) {
  TempDirectory dir;
  testing::WriteFile(dir.File("player.bin"), ByteBuffer(4352, 0x11));
  const WriteOutcome null_device = Write("/dev/null", dir.File("player.bin"));
  EXPECT_TRUE(null_device.ok) << null_device.messages;
  struct stat status {};
  ASSERT_EQ(stat("/dev/null", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode)) << "the device is not replaced by a file";
  const WriteOutcome full = Write("/dev/full", dir.File("player.bin"));
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.messages, "Error: unable to write /dev/full\n");
}

TEST(SpcFileTest, ALinkedOutputReplacesTheFileItPointsAt) {
  TempDirectory dir;
  testing::WriteFile(dir.File("player.bin"), ByteBuffer(4352, 0x11));
  testing::WriteFile(dir.File("real.spc"), ByteBuffer{1});
  ASSERT_EQ(symlink("real.spc", dir.File("link.spc").c_str()), 0);
  ASSERT_TRUE(Write(dir.File("link.spc"), dir.File("player.bin")).ok);
  struct stat status {};
  ASSERT_EQ(lstat(dir.File("link.spc").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(testing::ReadFile(dir.File("real.spc")).size(), 66048u);
}

}  // namespace
}  // namespace brevox
