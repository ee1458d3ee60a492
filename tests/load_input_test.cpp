#include "input/load_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/run_process.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::TempDirectory;
using testing::VgmBuilder;

struct Loaded {
  bool ok = false;
  LoadedInput input;
  std::string messages;
};

Loaded Load(const std::string& path) {
  Loaded out;
  StringSink sink;
  ByteBuffer read_back;
  out.ok = LoadInput(path, &read_back, &out.input, sink);
  EXPECT_TRUE(read_back.empty());
  out.messages = sink.text();
  return out;
}

TEST(LoadInputTest, CompressedPathsEndInZ) {
  EXPECT_TRUE(IsCompressedPath("song.vgz"));
  EXPECT_TRUE(IsCompressedPath("SONG.VGZ"));
  EXPECT_TRUE(IsCompressedPath("song.gz"));
  EXPECT_FALSE(IsCompressedPath("song.vgm"));
  EXPECT_FALSE(IsCompressedPath("song.vgz "));
  EXPECT_FALSE(IsCompressedPath(""));
}

TEST(LoadInputTest, HeaderValues) {
  struct Case {
    std::uint32_t data_field;
    std::uint32_t data_start;
  };
  for (const Case& c : {Case{0, 0x40}, Case{0x0C, 0x40}, Case{0x4C, 0x80}, Case{0xFFFFFFD0, 0x40}}) {
    ByteBuffer file = VgmBuilder().Field(0x34, c.data_field).Field(0x08, 0x171).Add({0x66}).Build();
    StringSink sink;
    LoadedInput input;
    ASSERT_TRUE(PrepareInput(file, "x.vgm", InputEncoding::kPlain, &input, sink));
    EXPECT_EQ(input.data_start, c.data_start) << c.data_field;
    EXPECT_EQ(input.loop_position, 0x1Cu);
    EXPECT_EQ(input.image[0x08], 0x51);
    EXPECT_EQ(input.image[0x09], 0x01);
    EXPECT_EQ(input.size, file.size());
    EXPECT_EQ(input.rewritten.size(), file.size() + 1);
    EXPECT_EQ(sink.text(), "Packing x.vgm:");
  }
}

TEST(LoadInputTest, ShortOrForeignInputIsRefusedBeforeThePackingLine) {
  struct Case {
    ByteBuffer image;
    std::string expected;
  };
  ByteBuffer text(200, 'a');
  ByteBuffer almost = VgmBuilder().Add({0x62}).End().Build();
  almost[3] = '_';
  const Case cases[] = {
      {ByteBuffer(63, 0), "Error: song.vgm is too short to be a VGM file\n"},
      {ByteBuffer{'V', 'g', 'm', ' '}, "Error: song.vgm is too short to be a VGM file\n"},
      {ByteBuffer(64, 0), "Error: song.vgm is not a VGM file\n"},
      {text, "Error: song.vgm is not a VGM file\n"},
      {almost, "Error: song.vgm is not a VGM file\n"},
  };
  for (const Case& c : cases) {
    for (const InputEncoding encoding : {InputEncoding::kPlain, InputEncoding::kGzip}) {
      StringSink sink;
      LoadedInput input;
      EXPECT_FALSE(PrepareInput(c.image, "song.vgm", encoding, &input, sink));
      EXPECT_EQ(sink.text(), c.expected);
    }
  }
}

TEST(LoadInputTest, GzipIsKnownByItsNameOrItsFirstTwoBytes) {
  TempDirectory dir;
  const ByteBuffer song = VgmBuilder().Add({0x62}).End().Build();
  testing::WriteGzipFile(dir.File("packed.vgm"), song);
  testing::WriteFile(dir.File("plain.vgz"), song);
  testing::WriteFile(dir.File("plain.vgm"), song);
  testing::WriteFile(dir.File("signature-only.vgm"), ByteBuffer{0x1F});
  testing::WriteFile(dir.File("other-magic.vgm"), ByteBuffer{0x1F, 0x8C, 0x08});
  EXPECT_EQ(EncodingOf(dir.File("packed.vgm")), InputEncoding::kGzip);
  EXPECT_EQ(EncodingOf(dir.File("plain.vgz")), InputEncoding::kGzip);
  EXPECT_EQ(EncodingOf(dir.File("plain.vgm")), InputEncoding::kPlain);
  EXPECT_EQ(EncodingOf(dir.File("signature-only.vgm")), InputEncoding::kPlain);
  EXPECT_EQ(EncodingOf(dir.File("other-magic.vgm")), InputEncoding::kPlain);
  EXPECT_EQ(EncodingOf(dir.File("missing.vgm")), InputEncoding::kPlain);
  ASSERT_EQ(mkdir(dir.File("album").c_str(), 0700), 0);
  EXPECT_EQ(EncodingOf(dir.File("album")), InputEncoding::kPlain) << "a directory has no first bytes";
}

TEST(LoadInputTest, PlainAndCompressedFilesLoadTheSameImage) {
  TempDirectory dir;
  ByteBuffer file = VgmBuilder().Add({0x50, 0x9F, 0x62}).End().Build();
  testing::WriteFile(dir.File("a.vgm"), file);
  testing::WriteGzipFile(dir.File("a.vgz"), file);
  testing::WriteFile(dir.File("plain.vgz"), file);
  testing::WriteGzipFile(dir.File("gzip-inside.vgm"), file);
  Loaded plain = Load(dir.File("a.vgm"));
  ASSERT_TRUE(plain.ok) << plain.messages;
  EXPECT_EQ(plain.messages, "Packing " + dir.File("a.vgm") + ":");
  for (const char* name : {"a.vgz", "plain.vgz", "gzip-inside.vgm"}) {
    Loaded packed = Load(dir.File(name));
    ASSERT_TRUE(packed.ok) << packed.messages;
    EXPECT_EQ(packed.input.image, plain.input.image);
    EXPECT_EQ(packed.input.size, file.size());
    EXPECT_EQ(packed.messages, "Unzipping file\nPacking " + dir.File(name) + ":");
  }
}

TEST(LoadInputTest, UnreadableInputsReportOneError) {
  TempDirectory dir;
  Loaded missing = Load(dir.File("none.vgm"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.messages, "Error: Failed to open " + dir.File("none.vgm") + "\n");
  Loaded missing_gz = Load(dir.File("none.vgz"));
  EXPECT_FALSE(missing_gz.ok);
  EXPECT_EQ(missing_gz.messages, "Unzipping file\nError: Failed to gzopen " + dir.File("none.vgz") + "\n");
  // A name of our own: the temporary directory's random name may end in z, which means gzip.
  const std::string folder = dir.File("album");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  Loaded directory = Load(folder);
  EXPECT_FALSE(directory.ok);
  EXPECT_EQ(directory.messages, "Error: Failed to read VGM data\n");
  Loaded empty = Load("");
  EXPECT_EQ(empty.messages, "Error: Failed to open \n");
}

TEST(LoadInputTest, CorruptOrTruncatedGzipIsAReadError) {
  TempDirectory dir;
  ByteBuffer song = VgmBuilder().Add(ByteBuffer(5000, 0x62)).End().Build();
  testing::WriteGzipFile(dir.File("good.vgz"), song);
  const ByteBuffer gz = testing::ReadFile(dir.File("good.vgz"));
  ASSERT_GT(gz.size(), 40u);
  testing::WriteFile(dir.File("cut.vgz"), ByteBuffer(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 2)));
  ByteBuffer corrupt = gz;
  for (std::size_t i = 12; i < corrupt.size() - 8; ++i) corrupt[i] ^= 0x5A;
  testing::WriteFile(dir.File("bad.vgz"), corrupt);
  // Under a plain name the same content is read the same way, with the same messages.
  testing::WriteFile(dir.File("cut.vgm"), testing::ReadFile(dir.File("cut.vgz")));
  for (const char* name : {"cut.vgz", "bad.vgz", "cut.vgm"}) {
    Loaded out = Load(dir.File(name));
    EXPECT_FALSE(out.ok) << name;
    EXPECT_EQ(out.messages, "Unzipping file\nError: Failed to read VGM data\n") << name;
  }
}

}  // namespace
}  // namespace brevox
