// The packed stream read back: hand-made streams with literal bytes, hostile
// streams that must be refused without a read past their end, and the
// round-trip property on built songs, random songs and the corpus.

#include "packer/decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "format/byte_order.h"
#include "input/load_input.h"
#include "packer/pack.h"
#include "packer/round_trip.h"
#include "support/corpus.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::VgmBuilder;

// A 64-byte header with data offset 0x0C, then `groups`.
ByteBuffer Stream(const ByteBuffer& groups, std::uint32_t loop_field = 0) {
  ByteBuffer stream(0x40, 0);
  WriteLe32(&stream[0x34], 0x0C);
  WriteLe32(&stream[0x1C], loop_field);
  stream.insert(stream.end(), groups.begin(), groups.end());
  return stream;
}

// Decodes from a heap copy of exactly the stream's size, so that AddressSanitizer
// sees any read past its end.
DecodedStream Decode(const ByteBuffer& stream) {
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[stream.size()]);
  std::copy(stream.begin(), stream.end(), copy.get());
  return DecodePackedStream(copy.get(), static_cast<std::uint32_t>(stream.size()));
}

struct Packed {
  bool ok = false;
  PackResult result;
  std::uint32_t input_size = 0;
};

Packed Pack(const ByteBuffer& file) {
  Packed out;
  StringSink sink;
  LoadedInput input;
  out.input_size = static_cast<std::uint32_t>(file.size());
  if (PrepareInput(file, "in.vgm", InputEncoding::kPlain, &input, sink)) {
    out.ok = PackVgm(std::move(input), &out.result, sink);
  }
  return out;
}

TEST(DecoderTest, ReadsGroupsBackIntoCommands) {
  // One group: 0x50 from its flag bit, one-byte commands, pads after 0x66.
  DecodedStream small = Decode(Stream({0x01, 0x9F, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  ASSERT_EQ(small.error, DecodeError::kNone);
  EXPECT_EQ(small.commands, (ByteBuffer{0x50, 0x9F, 0x62, 0x66}));
  EXPECT_EQ(small.groups_end, 73u);
  EXPECT_EQ(small.group_count, 1u);
  EXPECT_FALSE(small.loops);

  // Flag bits 1 and 3, operands of two and three bytes; the tail is not read.
  DecodedStream mixed = Decode(Stream({0x0A, 0x52, 0x2A, 0x80, 0x9F, 0x61, 0x10, 0x00, 0xBF, 0x66, 0x4E,
                                       0x4E, 0x4E, 'G', 'd', '3'}));
  ASSERT_EQ(mixed.error, DecodeError::kNone);
  EXPECT_EQ(mixed.commands, (ByteBuffer{0x52, 0x2A, 0x80, 0x50, 0x9F, 0x61, 0x10, 0x00, 0x50, 0xBF, 0x66}));
  EXPECT_EQ(mixed.groups_end, 77u);

  // A full group of SN76489 writes, then a data block and a seek in the next.
  DecodedStream blocks = Decode(Stream({0xFF, 1, 2, 3, 4, 5, 6, 7, 8,
                                        0x00, 0x67, 0x66, 0x00, 0x02, 0x00, 0x00, 0x00, 0xAA, 0xBB,
                                        0xE0, 1, 2, 3, 4, 0x4C, 0x66, 0x4E, 0x4E, 0x4E, 0x4E}));
  ASSERT_EQ(blocks.error, DecodeError::kNone);
  EXPECT_EQ(blocks.group_count, 2u);
  EXPECT_EQ(blocks.commands, (ByteBuffer{0x50, 1, 0x50, 2, 0x50, 3, 0x50, 4, 0x50, 5, 0x50, 6, 0x50, 7, 0x50, 8,
                                         0x67, 0x66, 0x00, 0x02, 0x00, 0x00, 0x00, 0xAA, 0xBB,
                                         0xE0, 1, 2, 3, 4, 0x4C, 0x66}));

  // DAC stream commands carry 4, 4, 5, 10, 1 and 4 operand bytes; the eighth
  // entry's operands close its group.
  const ByteBuffer streams = {0x90, 0, 2, 0, 0x2A, 0x91, 0, 0, 1, 0, 0x92, 0, 0x40, 0x1F, 0, 0,
                              0x93, 0, 0x66, 0x66, 0x67, 0x67, 1, 0x50, 0, 0, 0, 0x94, 0x66,
                              0x95, 0, 0x61, 0, 0, 0x62, 0x93, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x66};
  ByteBuffer groups{0x00};
  groups.insert(groups.end(), streams.begin(), streams.end() - 1);
  groups.insert(groups.end(), {0x00, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E});
  DecodedStream stream_commands = Decode(Stream(groups));
  ASSERT_EQ(stream_commands.error, DecodeError::kNone) << DecodeErrorName(stream_commands.error);
  EXPECT_EQ(stream_commands.group_count, 2u);
  EXPECT_EQ(stream_commands.commands, streams);
}

TEST(DecoderTest, OnlyTheGroupCutAtTheLoopLosesItsClosing4E) {
  // Group 1 holds a real 0x4E in the middle and at the end of a full group;
  // group 2 is cut at the loop: 62 4E 62, then five pads; group 3 is the loop.
  const ByteBuffer groups = {0x00, 0x4E, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x4E,
                             0x00, 0x62, 0x4E, 0x62, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E,
                             0x00, 0x63, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E};
  DecodedStream looped = Decode(Stream(groups, 0x40 + 18 - 0x1C));
  ASSERT_EQ(looped.error, DecodeError::kNone);
  EXPECT_TRUE(looped.loops);
  EXPECT_EQ(looped.loop_group, 0x40u + 18);
  EXPECT_EQ(looped.commands, (ByteBuffer{0x4E, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x4E,
                                         0x62, 0x4E, 0x62, 0x63, 0x66}));
  EXPECT_EQ(looped.loop_command, 11u);

  // Without the loop the same 0x4E entries are commands.
  DecodedStream plain = Decode(Stream(groups));
  ASSERT_EQ(plain.error, DecodeError::kNone);
  EXPECT_EQ(plain.commands.size(), 8u + 8u + 2u);

  // A loop on the first group: nothing before it is cut.
  DecodedStream first = Decode(Stream(groups, 0x40 - 0x1C));
  ASSERT_EQ(first.error, DecodeError::kNone);
  EXPECT_EQ(first.loop_command, 0u);
  EXPECT_EQ(first.commands.size(), 18u);
}

TEST(DecoderTest, RefusesStreamsThatAreNotOurs) {
  struct Case {
    const char* what;
    ByteBuffer stream;
    DecodeError error;
    std::uint32_t offset;
  };
  ByteBuffer beyond = Stream({});
  WriteLe32(&beyond[0x34], 0x100);
  ByteBuffer wrapped_start = Stream({0x00, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E});
  WriteLe32(&wrapped_start[0x34], 0xFFFFFFF0);  // + 0x34 wraps to 0x24, raised to 0x40
  const std::vector<Case> cases = {
      {"header only", ByteBuffer(63, 0), DecodeError::kNoHeader, 63},
      {"data start past the end", beyond, DecodeError::kDataStartOutside, 0x134},
      {"no 0x66 before the end", Stream({0x00, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62}),
       DecodeError::kTruncated, 73},
      {"operand cut off", Stream({0x00, 0x52, 0x2A}), DecodeError::kTruncated, 66},
      {"flagged entry without its operand", Stream({0x01}), DecodeError::kTruncated, 65},
      {"data block header cut off", Stream({0x00, 0x67, 0x66, 0x00, 0x01}), DecodeError::kTruncated, 66},
      {"data block size wraps in 32 bits",
       Stream({0x00, 0x67, 0x66, 0x00, 0xFA, 0xFF, 0xFF, 0xFF, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}),
       DecodeError::kTruncated, 66},
      {"data block without 0x66", Stream({0x00, 0x67, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}),
       DecodeError::kBadDataBlock, 66},
      {"stored 0x50", Stream({0x00, 0x50, 0x9F}), DecodeError::kStoredSnWrite, 65},
      {"command after 0x66", Stream({0x00, 0x66, 0x62, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}),
       DecodeError::kBadPadding, 66},
      {"flag bit after 0x66", Stream({0x02, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}),
       DecodeError::kBadPadding, 64},
      {"pads cut off", Stream({0x00, 0x66, 0x4E, 0x4E}), DecodeError::kTruncated, 68},
      {"loop inside a group", Stream({0x00, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}, 0x41 - 0x1C),
       DecodeError::kLoopNotAtGroup, 0x41},
      {"loop past the groups",
       Stream({0x00, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x00}, 0x49 - 0x1C),
       DecodeError::kLoopNotAtGroup, 0x49},
  };
  for (const Case& c : cases) {
    const DecodedStream decoded = Decode(c.stream);
    EXPECT_EQ(decoded.error, c.error) << c.what << ": " << DecodeErrorName(decoded.error);
    EXPECT_EQ(decoded.error_offset, c.offset) << c.what;
  }
  EXPECT_EQ(Decode(wrapped_start).error, DecodeError::kNone);
}

TEST(DecoderTest, EveryPrefixOfAStreamIsRefusedWithinItsBounds) {
  VgmBuilder song;
  song.Add({0x50, 0x9F, 0x67, 0x66, 0x00, 0x03, 0x00, 0x00, 0x00, 1, 2, 3, 0xE0, 1, 0, 0, 0});
  for (int i = 0; i < 7; ++i) song.Add({0x61, 0x10, 0x00});
  song.Loop().Add({0x52, 0x2B, 0x80, 0x80}).End().Tag("t");
  Packed packed = Pack(song.Build());
  ASSERT_TRUE(packed.ok);
  const ByteBuffer& whole = packed.result.packed;
  const std::uint32_t groups_end = Decode(whole).groups_end;
  for (std::uint32_t size = 0; size < groups_end; ++size) {
    const DecodedStream decoded = Decode(ByteBuffer(whole.begin(), whole.begin() + size));
    EXPECT_NE(decoded.error, DecodeError::kNone) << size;
    EXPECT_LE(decoded.error_offset, std::max<std::uint32_t>(size, decoded.loop_group)) << size;
  }
}

// Songs that reach every rule of the packing that the decoder must undo.
std::vector<std::pair<const char*, ByteBuffer>> BuiltSongs() {
  std::vector<std::pair<const char*, ByteBuffer>> songs;
  songs.emplace_back("one group", VgmBuilder().Add({0x50, 0x9F, 0x62}).End().Build());
  songs.emplace_back("loop on the first command",
                     VgmBuilder().Loop().Add({0x50, 0x9F, 0x62}).End().Tag("x").Build());
  VgmBuilder full;
  for (int i = 0; i < 8; ++i) full.Add({0x50, static_cast<std::uint8_t>(0x90 + i)});
  songs.emplace_back("loop after a full group", full.Loop().Add({0x63}).End().Build());
  songs.emplace_back("input 0x4E before and at the loop",
                     VgmBuilder().Add({0x62, 0x4E, 0x4E, 0x4E}).Loop().Add({0x4E, 0x62, 0x4E, 0x62}).End().Build());
  VgmBuilder left_out_run;
  for (int i = 0; i < 11; ++i) left_out_run.Add({0x4E, 0x4E, 0x4E});
  songs.emplace_back("left-out run before the loop", left_out_run.Loop().Add({0x62}).End().Build());
  songs.emplace_back("input 0x4E after the loop and before 0x66",
                     VgmBuilder().Loop().Add({0x62, 0x4E, 0x01, 0x02}).End().Build());
  VgmBuilder streams;
  for (int i = 0; i < 7; ++i) streams.Add({0x62});
  streams.Add({0x93, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Loop().Add({0x94, 0x4E, 0x90, 0, 2, 0, 0x2A});
  songs.emplace_back("DAC stream commands closing a group and at the loop", streams.End().Build());
  songs.emplace_back("data blocks of other types",
                     VgmBuilder().Add({0x67, 0x66, 0x8B, 0x01, 0, 0, 0, 0x66, 0x62})
                         .Loop().Add({0x67, 0x66, 0x01, 0x00, 0, 0, 0, 0x63}).End().Build());
  songs.emplace_back("data blocks and seeks",
                     VgmBuilder().Add({0x67, 0x66, 0x00, 0x00, 0x00, 0x00, 0x00})
                         .Add({0x67, 0x66, 0x00, 0x02, 0x00, 0x00, 0x00, 0x66, 0x50})
                         .Add({0xE0, 0, 0, 0, 0, 0xE0, 1, 0, 0, 0, 0x81, 0x72, 0x80})
                         .Loop().Add({0x7A, 0x85, 0x62}).End().Build());
  songs.emplace_back("timer writes dropped at the loop",
                     VgmBuilder().Add({0x52, 0x27, 0x40, 0x62}).Loop().Add({0x52, 0x26, 0x01, 0x52, 0x27, 0x45})
                         .Add({0x53, 0x25, 0x03, 0x54, 0x20, 0x01, 0x51, 0x10, 0x20, 0x4F, 0xFF}).End().Build());
  songs.emplace_back("commands of no chip of ours",
                     VgmBuilder().Add({0xA0, 0x50, 0x01, 0xB4, 0x00, 0x66, 0x2F, 0x60}).End().Build());
  songs.emplace_back("no end-of-data command", VgmBuilder().Add({0x50, 0x9F, 0x62, 0x62}).Build());
  songs.emplace_back("tag without end-of-data command",
                     VgmBuilder().Loop().Add({0x50, 0x9F, 0x62}).Tag("song").Build());
  songs.emplace_back("bytes between 0x66 and the tag",
                     VgmBuilder().Add({0x62}).End().Add({0x52, 0x80}).Tag("after").Build());
  return songs;
}

TEST(RoundTripTest, BuiltSongsDecodeToTheirRewrittenCommands) {
  for (const auto& [what, file] : BuiltSongs()) {
    Packed packed = Pack(file);
    ASSERT_TRUE(packed.ok) << what;
    EXPECT_EQ(CheckRoundTrip(packed.result, packed.input_size), "") << what;
  }
}

TEST(RoundTripTest, TheCheckCatchesABrokenPacking) {
  VgmBuilder song;
  for (int i = 0; i < 10; ++i) song.Add({0x50, static_cast<std::uint8_t>(i), 0x62});
  song.Loop().Add({0x61, 0x00, 0x01}).End().Tag("tag");
  Packed good = Pack(song.Build());
  ASSERT_TRUE(good.ok);
  ASSERT_EQ(CheckRoundTrip(good.result, good.input_size), "");
  const std::uint32_t groups_end = ReadLe32(&good.result.packed[0x04]) + 4;
  const std::uint32_t loop_group = ReadLe32(&good.result.packed[0x1C]) + 0x1C;

  struct Fault {
    const char* what;
    std::uint32_t offset;
    std::uint8_t value;
  };
  const std::vector<Fault> faults = {
      {"flag bit lost", 0x40, 0x00},
      {"operand changed", 0x41, 0x77},
      {"end-of-file offset one short", 0x04, static_cast<std::uint8_t>(groups_end - 5)},
      {"GD3 offset one long", 0x14, static_cast<std::uint8_t>(good.result.packed[0x14] + 1)},
      {"loop offset on the group before", 0x1C, static_cast<std::uint8_t>(loop_group - 9 - 0x1C)},
      {"header byte changed", 0x0C, 0x12},
      {"tail byte changed", groups_end + 1, 0x00},
  };
  for (const Fault& fault : faults) {
    PackResult broken = good.result;
    ASSERT_NE(broken.packed[fault.offset], fault.value) << fault.what;
    broken.packed[fault.offset] = fault.value;
    EXPECT_NE(CheckRoundTrip(broken, good.input_size), "") << fault.what;
  }
  PackResult lost_loop = good.result;
  WriteLe32(&lost_loop.packed[0x1C], 0);
  EXPECT_NE(CheckRoundTrip(lost_loop, good.input_size), "");
}

// A random song: commands of every length, data blocks, loops anywhere.
ByteBuffer RandomSong(std::mt19937& random) {
  static const std::vector<ByteBuffer> vocabulary = {
      {0x50, 0x9F}, {0x4E, 0x4E, 0x66}, {0x62}, {0x63}, {0x70}, {0x7F}, {0x80}, {0x8F}, {0x52, 0x27, 0x40},
      {0x52, 0x25, 0x00}, {0x52, 0x2A, 0x66}, {0x53, 0x30, 0x01}, {0x61, 0x66, 0x00}, {0x4F, 0x50},
      {0xE0, 0, 0, 0, 0}, {0xE0, 0, 1, 0, 0}, {0x67, 0x66, 0x00, 0x01, 0x00, 0x00, 0x00, 0x66},
      {0x67, 0x66, 0x82, 0x01, 0x00, 0x00, 0x00, 0x4E}, {0xA0, 0x4E, 0x66}, {0x30, 0x66}, {0x2F}, {0x96},
      {0x93, 0x4E, 0x66, 0, 0, 0, 0, 0, 0, 0, 0}, {0x94, 0x66}, {0x92, 0, 0x44, 0xAC, 0, 0},
  };
  VgmBuilder song;
  const std::uint32_t commands = random() % 40;
  const std::uint32_t loop_at = random() % (commands + 2);
  for (std::uint32_t i = 0; i < commands; ++i) {
    if (i == loop_at) song.Loop();
    song.Add(vocabulary[random() % vocabulary.size()]);
  }
  // Without a command at all the file has no data; that refusal is tested elsewhere.
  if (commands == 0 || random() % 4 != 0) song.End();
  if (random() % 2 != 0) song.Tag("random");
  return song.Build();
}

TEST(RoundTripTest, RandomSongsDecodeToTheirRewrittenCommands) {
  std::mt19937 random(4);
  for (int n = 0; n < 2000; ++n) {
    const ByteBuffer file = RandomSong(random);
    Packed packed = Pack(file);
    ASSERT_TRUE(packed.ok) << n;
    ASSERT_EQ(CheckRoundTrip(packed.result, packed.input_size), "") << n;
  }
}

TEST(RoundTripTest, EveryCorpusFileDecodesToItsRewrittenCommands) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  std::uint32_t looping = 0;
  for (const std::string& file : testing::CorpusFiles()) {
    StringSink sink;
    ByteBuffer read_back;
    LoadedInput input;
    ASSERT_TRUE(LoadInput(testing::CorpusFile(file), &read_back, &input, sink)) << file;
    const std::uint32_t input_size = input.size;
    PackResult result;
    ASSERT_TRUE(PackVgm(std::move(input), &result, sink)) << file << ": " << sink.text();
    EXPECT_EQ(CheckRoundTrip(result, input_size), "") << file;
    if (ReadLe32(&result.packed[0x1C]) != 0) ++looping;
  }
  EXPECT_GE(looping, 3u);
}

}  // namespace
}  // namespace brevox
