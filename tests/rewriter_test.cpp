#include "packer/rewriter.h"

#include <gtest/gtest.h>

#include <vector>

#include "input/load_input.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::VgmBuilder;

struct Rewritten {
  bool ok = false;
  ByteBuffer commands;  // from the data start to the rewritten length
  RewriteResult result;
  ByteBuffer packed;
  std::string messages;
};

Rewritten Rewrite(const ByteBuffer& file) {
  Rewritten out;
  StringSink sink;
  LoadedInput input;
  if (!PrepareInput(file, "in.vgm", InputEncoding::kPlain, &input, sink)) return out;
  out.ok = RewriteCommands(&input, &out.packed, &out.result, sink);
  if (out.ok) {
    out.commands.assign(input.rewritten.begin() + input.data_start,
                        input.rewritten.begin() + out.result.length);
  }
  out.messages = sink.text();
  return out;
}

ByteBuffer RewriteCommandsOf(std::initializer_list<std::uint8_t> commands) {
  Rewritten out = Rewrite(VgmBuilder().Add(commands).End().Build());
  EXPECT_TRUE(out.ok) << out.messages;
  return out.commands;
}

TEST(RewriterTest, Ym2612TimerAndChannel3ModeFilter) {
  EXPECT_EQ(RewriteCommandsOf({0x52, 0x27, 0x15}), (ByteBuffer{0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x52, 0x27, 0x40, 0x52, 0x27, 0x4F, 0x52, 0x27, 0x05}),
            (ByteBuffer{0x52, 0x27, 0x40, 0x52, 0x27, 0x05, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x52, 0x24, 0x7F, 0x52, 0x25, 0x03, 0x52, 0x26, 0xC8, 0x53, 0x25, 0x03}),
            (ByteBuffer{0x52, 0x24, 0x7F, 0x53, 0x25, 0x03, 0x66}));
}

TEST(RewriterTest, DacWritesAbsorbFollowingWaits) {
  EXPECT_EQ(RewriteCommandsOf({0x82, 0x73, 0x74, 0x61, 0x10, 0x00}),
            (ByteBuffer{0x89, 0x61, 0x10, 0x00, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x80, 0x7F, 0x70, 0x62}), (ByteBuffer{0x8F, 0x62, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x8A, 0x77}), (ByteBuffer{0x8A, 0x77, 0x66}));
  // The forward merge wins over the backward one.
  EXPECT_EQ(RewriteCommandsOf({0x7A, 0x85, 0x71, 0x62}), (ByteBuffer{0x7A, 0x86, 0x62, 0x66}));
}

TEST(RewriterTest, DacWritesMergeIntoThePrecedingWait) {
  EXPECT_EQ(RewriteCommandsOf({0x7A, 0x85, 0x62}), (ByteBuffer{0x8F, 0x62, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x7A, 0x86, 0x62}), (ByteBuffer{0x7A, 0x86, 0x62, 0x66}));
  // Operand bytes that look like waits or DAC writes are not commands.
  EXPECT_EQ(RewriteCommandsOf({0x52, 0x4C, 0x7F, 0x80, 0x62}),
            (ByteBuffer{0x52, 0x4C, 0x7F, 0x80, 0x62, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x50, 0x85, 0x73}), (ByteBuffer{0x50, 0x85, 0x73, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0x83, 0x62}), (ByteBuffer{0x83, 0x62, 0x66}));
  // A dropped timer write between the wait and the DAC write does not stop the merge.
  EXPECT_EQ(RewriteCommandsOf({0x72, 0x52, 0x25, 0x01, 0x83, 0x62}), (ByteBuffer{0x85, 0x62, 0x66}));
  // A merged DAC write is no wait: the next DAC write is appended.
  EXPECT_EQ(RewriteCommandsOf({0x72, 0x83, 0x81, 0x62}), (ByteBuffer{0x85, 0x81, 0x62, 0x66}));
}

TEST(RewriterTest, SeeksDataBlocksAndOtherCommands) {
  EXPECT_EQ(RewriteCommandsOf({0xE0, 0, 0, 0, 0}), (ByteBuffer{0x4C, 0x66}));
  EXPECT_EQ(RewriteCommandsOf({0xE0, 0, 1, 0, 0}), (ByteBuffer{0xE0, 0, 1, 0, 0, 0x66}));
  const ByteBuffer block{0x67, 0x66, 0x00, 0x04, 0, 0, 0, 0x80, 0x81, 0x52, 0x66};
  ByteBuffer expected = block;
  expected.push_back(0x66);
  Rewritten out = Rewrite(VgmBuilder().Add(block).End().Build());
  EXPECT_EQ(out.commands, expected);
  EXPECT_FALSE(out.result.left_out);
}

TEST(RewriterTest, CopiesTheTailAfterEndOfDataUnchanged) {
  const ByteBuffer file = VgmBuilder().Add({0x62}).End().Add({0x52, 0x25, 0x00, 0x85, 0xE0, 0, 0, 0, 0}).Build();
  Rewritten out = Rewrite(file);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.commands, (ByteBuffer{0x62, 0x66, 0x52, 0x25, 0x00, 0x85, 0xE0, 0, 0, 0, 0}));
  EXPECT_EQ(out.result.length, file.size());
  EXPECT_FALSE(out.result.end_added);
}

TEST(RewriterTest, HeaderIsCopiedIntoPackedStreamWithMarkedVersion) {
  ByteBuffer file = VgmBuilder().Field(0x34, 0x4C).Add(ByteBuffer(0x40, 0xAA)).Add({0x62}).End().Build();
  Rewritten out = Rewrite(file);
  ASSERT_TRUE(out.ok) << out.messages;
  ASSERT_EQ(out.packed.size(), 0x80u);
  file[0x08] = 0x51;
  EXPECT_TRUE(std::equal(out.packed.begin(), out.packed.end(), file.begin()));
  EXPECT_EQ(out.commands, (ByteBuffer{0x62, 0x66}));
}

TEST(RewriterTest, LoopPositionFollowsTheCommands) {
  // No loop: 28.
  EXPECT_EQ(Rewrite(VgmBuilder().Add({0x62}).End().Build()).result.loop_position, 28u);
  // A loop at a dropped write lands on the next written command.
  Rewritten dropped = Rewrite(VgmBuilder().Add({0x62}).Loop().Add({0x52, 0x26, 0xC8, 0x63}).End().Build());
  EXPECT_EQ(dropped.result.loop_position, 0x41u);
  EXPECT_FALSE(dropped.result.loop_dropped);
  // After a shortened seek, the loop index moves back with the stream.
  Rewritten shifted = Rewrite(VgmBuilder().Add({0xE0, 0, 0, 0, 0}).Loop().Add({0x62}).End().Build());
  EXPECT_EQ(shifted.result.loop_position, 0x41u);
  // A DAC write at the loop point that merges backward: the loop is the next command.
  Rewritten merged = Rewrite(VgmBuilder().Add({0x72}).Loop().Add({0x83, 0x62}).End().Build());
  EXPECT_EQ(merged.commands, (ByteBuffer{0x85, 0x62, 0x66}));
  EXPECT_EQ(merged.result.loop_position, 0x41u);
}

TEST(RewriterTest, WaitAtTheLoopPointIsNeverAbsorbed) {
  Rewritten out = Rewrite(VgmBuilder().Add({0x82}).Loop().Add({0x73, 0x62}).End().Build());
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.commands, (ByteBuffer{0x82, 0x73, 0x62, 0x66}));
  EXPECT_EQ(out.result.loop_position, 0x41u);
  // Waits before the loop point are absorbed, the one at it is not.
  Rewritten partial = Rewrite(VgmBuilder().Add({0x82, 0x71}).Loop().Add({0x73}).End().Build());
  EXPECT_EQ(partial.commands, (ByteBuffer{0x83, 0x73, 0x66}));
  EXPECT_EQ(partial.result.loop_position, 0x41u);
}

TEST(RewriterTest, LoopOffsetThatNamesNoCommandIsDropped) {
  // Inside the operands of a command.
  ByteBuffer inside = VgmBuilder().Add({0x61, 0x10, 0x00}).End().Field(0x1C, 0x41 - 0x1C).Build();
  Rewritten out = Rewrite(inside);
  ASSERT_TRUE(out.ok);
  EXPECT_TRUE(out.result.loop_dropped);
  EXPECT_EQ(out.result.loop_position, 28u);
  // Inside the header, and far beyond the input.
  EXPECT_TRUE(Rewrite(VgmBuilder().Add({0x62}).End().Field(0x1C, 4).Build()).result.loop_dropped);
  EXPECT_TRUE(Rewrite(VgmBuilder().Add({0x62}).End().Field(0x1C, 0x7FFFFFF0).Build()).result.loop_dropped);
}

TEST(RewriterTest, MissingEndOfDataIsAddedAtTheEndOrBeforeTheTag) {
  Rewritten at_end = Rewrite(VgmBuilder().Add({0x50, 0x9F, 0x62}).Build());
  ASSERT_TRUE(at_end.ok) << at_end.messages;
  EXPECT_TRUE(at_end.result.end_added);
  EXPECT_EQ(at_end.commands, (ByteBuffer{0x50, 0x9F, 0x62, 0x66}));
  EXPECT_EQ(at_end.result.length, 0x40u + 4);

  Rewritten before_tag = Rewrite(VgmBuilder().Add({0x62}).Tag("xy").Build());
  ASSERT_TRUE(before_tag.ok);
  EXPECT_TRUE(before_tag.result.end_added);
  EXPECT_EQ(before_tag.commands, (ByteBuffer{0x62, 0x66, 'G', 'd', '3', ' ', 'x', 'y'}));

  Rewritten with_end = Rewrite(VgmBuilder().Add({0x62}).End().Tag("xy").Build());
  EXPECT_FALSE(with_end.result.end_added);
}

TEST(RewriterTest, TruncatedOrMalformedInputIsRefusedWithoutReadingPastTheEnd) {
  const char* kUnexpectedEnd = "\nError: unexpected end of vgm data\n";
  const std::initializer_list<std::uint8_t> truncated[] = {
      {0x50}, {0x52, 0x2A}, {0x61, 0x00}, {0xE0, 0, 0, 0}, {0x67, 0x66, 0x00, 0x04, 0, 0},
      {0x67, 0x66, 0x00, 0x04, 0, 0, 0, 1, 2, 3}, {0x67, 0x66, 0x00, 0xFA, 0xFF, 0xFF, 0xFF}, {0x67},
  };
  for (const auto& commands : truncated) {
    ByteBuffer bytes(commands);
    Rewritten out = Rewrite(VgmBuilder().Add(bytes).Build());
    EXPECT_FALSE(out.ok) << ::testing::PrintToString(bytes);
    EXPECT_EQ(out.messages, std::string("Packing in.vgm:") + kUnexpectedEnd);
  }
  // No command data at all: the data start lies at the input's end.
  Rewritten empty = Rewrite(VgmBuilder().Build());
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(empty.messages, std::string("Packing in.vgm:") + kUnexpectedEnd);
  Rewritten beyond = Rewrite(VgmBuilder().Field(0x34, 0x1000).Add({0x62, 0x66}).Build());
  EXPECT_FALSE(beyond.ok);

  Rewritten illegal = Rewrite(VgmBuilder().Add({0x67, 0xAB, 0, 0}).End().Build());
  EXPECT_FALSE(illegal.ok);
  EXPECT_EQ(illegal.messages, "Packing in.vgm:Illegal command: 0x67 0xab\n");
}

TEST(RewriterTest, NothingToRewriteGivesTheInputBack) {
  const ByteBuffer file =
      VgmBuilder().Add({0x50, 0x9F, 0x61, 0x01, 0x00, 0x51, 0x10, 0x20, 0x2F}).End().Tag("t").Build();
  Rewritten out = Rewrite(file);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.result.length, file.size());
  EXPECT_TRUE(std::equal(out.commands.begin(), out.commands.end(), file.begin() + 0x40));
}

// Operand bytes that look like commands, so that a command not read whole goes astray:
// a data block, the end, a long wait, a DAC write.
ByteBuffer DecoyOperands(std::uint32_t count) {
  static const std::uint8_t kDecoys[] = {0x67, 0x45, 0x66, 0x7F, 0x61, 0x8F, 0x52, 0x27, 0x50, 0xE0, 0x62};
  ByteBuffer operands;
  for (std::uint32_t k = 0; k < count; ++k) operands.push_back(kDecoys[k % sizeof kDecoys]);
  return operands;
}

struct CommandRange {
  std::uint8_t first;
  std::uint8_t last;
  std::uint32_t operands;
};

// Other chips' commands, by their VGM length.
const CommandRange kLeftOutRanges[] = {
    {0x30, 0x3F, 1}, {0x40, 0x4E, 2}, {0x55, 0x5F, 2}, {0x64, 0x64, 3},
    {0x68, 0x68, 11}, {0xA0, 0xBF, 2}, {0xC0, 0xDF, 3}, {0xE1, 0xFF, 4},
};

TEST(RewriterTest, OtherChipsCommandsAreLeftOutWithTheirOperands) {
  for (const CommandRange& range : kLeftOutRanges) {
    for (unsigned byte = range.first; byte <= range.last; ++byte) {
      ByteBuffer command{static_cast<std::uint8_t>(byte)};
      const ByteBuffer operands = DecoyOperands(range.operands);
      command.insert(command.end(), operands.begin(), operands.end());
      Rewritten out = Rewrite(VgmBuilder().Add({0x50, 0x9F}).Add(command).Add({0x62}).End().Build());
      ASSERT_TRUE(out.ok) << std::hex << byte << ": " << out.messages;
      EXPECT_EQ(out.commands, (ByteBuffer{0x50, 0x9F, 0x62, 0x66})) << std::hex << byte;
      EXPECT_TRUE(out.result.left_out) << std::hex << byte;
    }
  }
  // Input 0x4C and 0x4E are other chips' commands too; the short seek stays the rewriter's own.
  EXPECT_EQ(RewriteCommandsOf({0x4C, 0x01, 0x02, 0x4E, 0x03, 0x04, 0xE0, 0, 0, 0, 0}), (ByteBuffer{0x4C, 0x66}));
}

TEST(RewriterTest, DacStreamCommandsAreKeptWhole) {
  const CommandRange kStreamCommands[] = {{0x90, 0x91, 4}, {0x92, 0x92, 5}, {0x93, 0x93, 10},
                                          {0x94, 0x94, 1}, {0x95, 0x95, 4}};
  for (const CommandRange& range : kStreamCommands) {
    for (unsigned byte = range.first; byte <= range.last; ++byte) {
      ByteBuffer command{static_cast<std::uint8_t>(byte)};
      const ByteBuffer operands = DecoyOperands(range.operands);
      command.insert(command.end(), operands.begin(), operands.end());
      Rewritten out = Rewrite(VgmBuilder().Add(command).Add({0x62}).End().Build());
      ASSERT_TRUE(out.ok) << std::hex << byte << ": " << out.messages;
      ByteBuffer expected = command;
      expected.insert(expected.end(), {0x62, 0x66});
      EXPECT_EQ(out.commands, expected) << std::hex << byte;
      EXPECT_FALSE(out.result.left_out);
    }
  }
}

TEST(RewriterTest, UndefinedBytesStayOneByteCommands) {
  const ByteBuffer undefined{0x00, 0x01, 0x2F, 0x60, 0x65, 0x69, 0x6F, 0x96, 0x9F};
  ByteBuffer expected = undefined;
  expected.push_back(0x66);
  Rewritten out = Rewrite(VgmBuilder().Add(undefined).End().Build());
  ASSERT_TRUE(out.ok) << out.messages;
  EXPECT_EQ(out.commands, expected);
  EXPECT_FALSE(out.result.left_out);
}

TEST(RewriterTest, LeftOutCommandsAreInvisibleToLoopsAndMerges) {
  // At the loop point: the loop lands on the next command written.
  Rewritten at_loop = Rewrite(VgmBuilder().Add({0x62}).Loop().Add({0xA0, 0x07, 0x38, 0x63}).End().Build());
  ASSERT_TRUE(at_loop.ok);
  EXPECT_EQ(at_loop.commands, (ByteBuffer{0x62, 0x63, 0x66}));
  EXPECT_EQ(at_loop.result.loop_position, 0x41u);
  EXPECT_FALSE(at_loop.result.loop_dropped);
  // Between a wait and a DAC write: the backward merge looks past it.
  EXPECT_EQ(RewriteCommandsOf({0x72, 0xB4, 0x15, 0x80, 0x83, 0x62}), (ByteBuffer{0x85, 0x62, 0x66}));
  // Between a DAC write and a wait: the forward merge stops at it, as at any command.
  EXPECT_EQ(RewriteCommandsOf({0x82, 0xC0, 0x00, 0x10, 0x7F, 0x73}), (ByteBuffer{0x82, 0x73, 0x66}));
}

TEST(RewriterTest, LeftOutCommandsNearTheEndOfTheData) {
  // Operands past the end of the input.
  for (const ByteBuffer& cut : {ByteBuffer{0x30}, ByteBuffer{0xA0, 0x01}, ByteBuffer{0xE1, 1, 2, 3},
                                ByteBuffer{0x68, 0x66, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ByteBuffer{0x93, 0, 1}}) {
    Rewritten out = Rewrite(VgmBuilder().Add({0x62}).Add(cut).Build());
    EXPECT_FALSE(out.ok) << ::testing::PrintToString(cut);
    EXPECT_EQ(out.messages, "Packing in.vgm:\nError: unexpected end of vgm data\n");
  }
  // Operands across the start of the GD3 tag: read whole, and no end is taken to stand at the tag.
  VgmBuilder across;
  across.Add({0x62, 0xA0, 0x01});
  const std::uint32_t tag_inside = across.Position() - 1;
  across.Add({0x02, 0x63}).End().Field(0x14, tag_inside - 0x14);
  Rewritten read_whole = Rewrite(across.Build());
  ASSERT_TRUE(read_whole.ok) << read_whole.messages;
  EXPECT_EQ(read_whole.commands, (ByteBuffer{0x62, 0x63, 0x66}));
  EXPECT_FALSE(read_whole.result.end_added);
  // A left-out command where the tag begins is tail: the end is added before it.
  VgmBuilder at_tag;
  at_tag.Add({0x62});
  const std::uint32_t tag_start = at_tag.Position();
  at_tag.Add({0xA0, 0x01, 0x02}).Field(0x14, tag_start - 0x14);
  Rewritten before_tag = Rewrite(at_tag.Build());
  ASSERT_TRUE(before_tag.ok) << before_tag.messages;
  EXPECT_EQ(before_tag.commands, (ByteBuffer{0x62, 0x66, 0xA0, 0x01, 0x02}));
  EXPECT_TRUE(before_tag.result.end_added);
  EXPECT_FALSE(before_tag.result.left_out);
}

TEST(RewriterTest, DataBlocksOfOtherTypesAreLeftOut) {
  const ByteBuffer pcm{0x67, 0x66, 0x00, 0x02, 0, 0, 0, 0x11, 0x22};
  for (const std::uint8_t type : {0x01, 0x07, 0x40, 0x7F, 0x80, 0x8B, 0xC0, 0xFF}) {
    Rewritten out = Rewrite(VgmBuilder().Add(pcm).Add({0x67, 0x66, type, 0x03, 0, 0, 0, 0x66, 0x67, 0x66})
                                .Add({0x81}).End().Build());
    ASSERT_TRUE(out.ok) << int{type} << ": " << out.messages;
    ByteBuffer expected = pcm;
    expected.insert(expected.end(), {0x81, 0x66});
    EXPECT_EQ(out.commands, expected) << int{type};
    EXPECT_TRUE(out.result.left_out);
  }
  // The checks of every block come first: its second byte, then its size against the end.
  const std::initializer_list<std::uint8_t> cut[] = {
      {0x67, 0x66, 0x01, 0x04, 0, 0, 0, 1, 2}, {0x67, 0x66, 0x02, 0xFA, 0xFF, 0xFF, 0xFF}, {0x67, 0x66, 0x01, 0x00}};
  for (const auto& block : cut) {
    Rewritten out = Rewrite(VgmBuilder().Add(ByteBuffer(block)).Build());
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.messages, "Packing in.vgm:\nError: unexpected end of vgm data\n")
        << ::testing::PrintToString(ByteBuffer(block));
  }
  Rewritten illegal = Rewrite(VgmBuilder().Add({0x67, 0x45, 0x01, 0, 0, 0, 0}).End().Build());
  EXPECT_EQ(illegal.messages, "Packing in.vgm:Illegal command: 0x67 0x45\n");
}

}  // namespace
}  // namespace brevox
