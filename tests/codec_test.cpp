#include "packer/codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "format/vgm_commands.h"
#include "packer/encoder_pass.h"

namespace brevox {
namespace {

// Encodes the commands (bytes after a 0x40-byte header) and closes the last group.
struct Encoded {
  bool ok = false;
  ByteBuffer groups;
  EncodeResult result;
  std::string messages;
};

Encoded Encode(const ByteBuffer& commands, std::uint32_t loop_position = 28) {
  ByteBuffer stream(0x40 + commands.size(), 0);
  std::copy(commands.begin(), commands.end(), stream.begin() + 0x40);
  ByteBuffer packed(0x40, 0);
  StringSink sink;
  std::unique_ptr<Codec> codec = std::make_unique<FlagCodec>(packed);
  Encoded out;
  out.ok = EncodeCommands(stream, static_cast<std::uint32_t>(stream.size()), 0x40, loop_position,
                          packed, *codec, &out.result, sink);
  codec->Flush();
  out.groups.assign(packed.begin() + 0x40, packed.end());
  out.messages = sink.text();
  return out;
}

TEST(FlagCodecTest, GroupsHoldEightEntriesWithFlagBitsForSn76489Writes) {
  ByteBuffer out;
  FlagCodec codec(out);
  for (int i = 0; i < 8; ++i) {
    codec.AddCommand(0x50);
    codec.AddOperand(static_cast<std::uint8_t>(i));
  }
  EXPECT_TRUE(out.empty()) << "a full group waits for the ninth command";
  codec.AddCommand(0x62);
  EXPECT_EQ(out, (ByteBuffer{0xFF, 0, 1, 2, 3, 4, 5, 6, 7}));
  codec.Flush();
  EXPECT_EQ(out.size(), 9u + 9u);
  EXPECT_EQ(ByteBuffer(out.begin() + 9, out.end()), (ByteBuffer{0x00, 0x62, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  codec.Flush();
  EXPECT_EQ(out.size(), 18u) << "an empty group is never written";
}

TEST(FlagCodecTest, RawBytesAndQueriesLeaveTheGroupAlone) {
  ByteBuffer out;
  FlagCodec codec(out);
  codec.AddCommand(0x50);
  codec.AddOperand(0x9F);
  codec.WriteRaw(0xAA);
  EXPECT_EQ(codec.Query(12345), 0);
  codec.Flush();
  EXPECT_EQ(out, (ByteBuffer{0xAA, 0x01, 0x9F, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
}

// A data block goes to the packed stream at once, not through the group
// buffer, and the bytes come out as if it had gone operand by operand.
TEST(FlagCodecTest, DataBlocksGoStraightToThePackedStreamWithTheSameBytes) {
  ByteBuffer out;
  FlagCodec codec(out);
  codec.AddCommand(0x62);
  codec.AddCommand(0x67);
  const ByteBuffer block(1000, 0xD5);
  codec.AddOperands(block.data(), static_cast<std::uint32_t>(block.size()));
  EXPECT_EQ(out.size(), 1 + 2 + block.size()) << "a place for the flag byte, the entries so far and the block";

  // Against the same calls with the operands one by one: commands, 0x50 writes
  // and raw bytes before, between and after blocks, blocks in every position of
  // a group and groups cut at random.
  std::uint32_t state = 12345;
  const auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  for (int round = 0; round < 200; ++round) {
    ByteBuffer direct;
    ByteBuffer one_by_one;
    FlagCodec fast(direct);
    FlagCodec slow(one_by_one);
    for (int step = 0; step < 40; ++step) {
      const std::uint32_t pick = next(10);
      const auto byte = static_cast<std::uint8_t>(next(256));
      if (pick < 3) {
        fast.AddCommand(kSn76489Write);
        slow.AddCommand(kSn76489Write);
      } else if (pick < 6) {
        fast.AddCommand(byte);
        slow.AddCommand(byte);
      } else if (pick < 8) {
        ByteBuffer operands(next(20), byte);
        fast.AddOperands(operands.data(), static_cast<std::uint32_t>(operands.size()));
        for (const std::uint8_t operand : operands) slow.AddOperand(operand);
      } else if (pick == 8) {
        fast.WriteRaw(byte);
        slow.WriteRaw(byte);
      } else {
        fast.Flush();
        slow.Flush();
        ASSERT_EQ(direct, one_by_one) << "round " << round << ", step " << step;
      }
    }
    fast.Flush();
    slow.Flush();
    ASSERT_EQ(direct, one_by_one) << "round " << round;
  }
}

TEST(EncoderPassTest, WorkedExampleGroup) {
  Encoded out = Encode({0x52, 0x2A, 0x80, 0x50, 0x9F, 0x61, 0x10, 0x00, 0x50, 0xBF, 0x66});
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.groups, (ByteBuffer{0x0A, 0x52, 0x2A, 0x80, 0x9F, 0x61, 0x10, 0x00, 0xBF, 0x66, 0x4E, 0x4E, 0x4E}));
  EXPECT_EQ(out.result.tail_start, 0x40u + 11);
}

TEST(EncoderPassTest, NineCommandsMakeTwoGroups) {
  Encoded out = Encode({0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x66});
  EXPECT_EQ(out.groups, (ByteBuffer{0x00, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62,
                                    0x00, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
}

TEST(EncoderPassTest, LoopPointStartsAGroup) {
  // Loop at the first command: nothing to flush, the loop is the header's length.
  Encoded first = Encode({0x62, 0x66}, 0x40);
  EXPECT_EQ(first.result.loop_position, 0x40u);
  EXPECT_EQ(first.groups, (ByteBuffer{0x00, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  // Loop after a 0x50: its operand is followed directly by pads.
  Encoded cut = Encode({0x50, 0x9F, 0x62, 0x66}, 0x42);
  EXPECT_EQ(cut.groups, (ByteBuffer{0x01, 0x9F, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E,
                                    0x00, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  EXPECT_EQ(cut.result.loop_position, 0x40u + 9);
  // Loop while eight entries are pending: that group is written whole.
  Encoded full = Encode({0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x63, 0x66}, 0x48);
  EXPECT_EQ(full.result.loop_position, 0x40u + 9);
  EXPECT_EQ(full.groups[9 + 1], 0x63);
  // A loop position that is no command boundary leaves the value unchanged.
  Encoded inside = Encode({0x61, 0x01, 0x00, 0x66}, 0x41);
  EXPECT_EQ(inside.result.loop_position, 0x41u);
}

TEST(EncoderPassTest, DataBlocksTravelWholeInTheirEntry) {
  Encoded empty_block = Encode({0x67, 0x66, 0x00, 0, 0, 0, 0, 0x66});
  EXPECT_EQ(empty_block.groups, (ByteBuffer{0x00, 0x67, 0x66, 0x00, 0, 0, 0, 0, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  Encoded block = Encode({0x67, 0x66, 0x00, 2, 0, 0, 0, 0x50, 0x66, 0x50, 0x11, 0x66});
  EXPECT_EQ(block.groups, (ByteBuffer{0x02, 0x67, 0x66, 0x00, 2, 0, 0, 0, 0x50, 0x66, 0x11, 0x66,
                                      0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  // Bytes that the rewriter does not keep are one-byte entries, should the stream hold one.
  Encoded unknown = Encode({0xA0, 0x62, 0x66});
  EXPECT_EQ(unknown.groups, (ByteBuffer{0x00, 0xA0, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
}

TEST(EncoderPassTest, DacStreamCommandsTravelWithTheirOperandsAcrossGroups) {
  // Seven waits, then 0x93 and its ten operands as the eighth entry: they close the group.
  ByteBuffer commands(7, 0x62);
  commands.insert(commands.end(), {0x93, 0x00, 0x66, 0x66, 0x67, 0x67, 0x01, 0x50, 0x00, 0x00, 0x00});
  commands.insert(commands.end(), {0x94, 0x66, 0x92, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x90, 0x00, 0x02, 0x00, 0x2A,
                                   0x91, 0x00, 0x00, 0x01, 0x00, 0x95, 0x00, 0x03, 0x00, 0x00, 0x66});
  Encoded out = Encode(commands);
  ASSERT_TRUE(out.ok) << out.messages;
  ByteBuffer expected{0x00};
  expected.insert(expected.end(), commands.begin(), commands.begin() + 18);
  expected.push_back(0x00);
  expected.insert(expected.end(), commands.begin() + 18, commands.end());
  expected.insert(expected.end(), {0x4E, 0x4E});
  EXPECT_EQ(out.groups, expected);
  // Cut short by its end: 0x93 needs ten operand bytes.
  Encoded cut = Encode({0x62, 0x93, 0x00, 0x66, 0x66});
  EXPECT_FALSE(cut.ok);
  EXPECT_NE(cut.messages.find("Error: unexpected end of vgm data\n"), std::string::npos) << cut.messages;
}

TEST(EncoderPassTest, MalformedStreamsStopWithoutReadingPastTheEnd) {
  Encoded illegal = Encode({0x67, 0xAB, 0x66});
  EXPECT_FALSE(illegal.ok);
  // The header is most of this short stream, so the first command already earns a mark.
  EXPECT_EQ(illegal.messages, "\xB1Illegal command: 0x67 0xab\n");
  const std::initializer_list<std::uint8_t> cases[] = {
      {0x62}, {0x50}, {0x61, 0x00}, {0x67, 0x66, 0x00, 0x02, 0, 0, 0, 1},
      {0x67, 0x66, 0x00, 0xFA, 0xFF, 0xFF, 0xFF, 0x66}, {0x67},
  };
  for (const auto& commands : cases) {
    Encoded out = Encode(commands);
    EXPECT_FALSE(out.ok) << ::testing::PrintToString(ByteBuffer(commands));
    EXPECT_NE(out.messages.find("Error: unexpected end of vgm data\n"), std::string::npos);
  }
}

TEST(EncoderPassTest, ProgressMarksAdvanceAtMostOnePerCommand) {
  // A large data block spans many tenths; the bar catches up one mark per command.
  ByteBuffer commands{0x67, 0x66, 0x00, 0x00, 0x01, 0, 0};
  commands.resize(commands.size() + 0x100, 0);
  commands.insert(commands.end(), {0x62, 0x62, 0x62, 0x66});
  Encoded out = Encode(commands);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.result.marks, 5u);
  EXPECT_EQ(out.messages, std::string(5, '\xB1'));
  // Many small commands: at most nine marks from the pass.
  ByteBuffer waits(1000, 0x62);
  waits.push_back(0x66);
  Encoded many = Encode(waits);
  EXPECT_EQ(many.result.marks, 9u);
}

}  // namespace
}  // namespace brevox
