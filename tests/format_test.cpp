// The shared format layer: the command table against the VGM reference that
// others wrote (the length of every command byte), and the length readers
// built on it, which must never reach past the bytes they are given.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "format/packed_stream.h"
#include "format/vgm_commands.h"

namespace brevox {
namespace {

const std::string kCommandReference = std::string(BREVOX_REFERENCE_DIR) + "/vgm-commands.md";

// Lengths from the reference's command table, command byte included; -1 for an
// undefined byte, 0 for a byte the table does not list.
std::array<int, 256> ReferenceLengths() {
  std::array<int, 256> lengths{};
  std::ifstream in(kCommandReference);
  // "| 30 dd | 2 |", "| 56 / 57 | 3 |", "| A1-AF aa dd | 3 |", "| 01-2F | - |", "| 67 66 tt .. | 7 + ss |"
  const std::regex row(R"(^\| ([0-9A-F]{2}[^|]*)\| (-|\d+)[^|]*\|)");
  const std::regex byte_or_range(R"((?:^|/ )([0-9A-F]{2})(?:-([0-9A-F]{2}))?)");
  for (std::string line; std::getline(in, line);) {
    std::smatch cells;
    if (!std::regex_search(line, cells, row)) continue;
    const int length = cells[2] == "-" ? -1 : std::stoi(cells[2]);
    const std::string bytes = cells[1];
    const std::sregex_iterator end;
    for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), byte_or_range); it != end; ++it) {
      const int first = std::stoi((*it)[1], nullptr, 16);
      const int last = (*it)[2].matched ? std::stoi((*it)[2], nullptr, 16) : first;
      for (int byte = first; byte <= last; ++byte) lengths[byte] = length;
    }
  }
  return lengths;
}

TEST(VgmCommandTableTest, EveryByteHasTheLengthOfTheVgmReference) {
  std::ifstream probe(kCommandReference);
  if (!probe) GTEST_SKIP() << "no VGM command reference at " << kCommandReference;
  const std::array<int, 256> reference = ReferenceLengths();
  for (unsigned byte = 0; byte < 256; ++byte) {
    const CommandInfo& info = kVgmCommands[byte];
    ASSERT_NE(reference[byte], 0) << "the reference lists no row for 0x" << std::hex << byte;
    if (info.kind == CommandKind::kUndefined) {
      // 0x00 is listed as a one-byte no-op; the others have no length at all.
      EXPECT_TRUE(reference[byte] == -1 || (byte == 0x00 && reference[byte] == 1)) << std::hex << byte;
    } else {
      EXPECT_EQ(1 + info.operands, reference[byte]) << "command 0x" << std::hex << byte;
    }
  }
}

TEST(VgmCommandLengthTest, CommandsMustLieWholeInTheBytesGiven) {
  const std::uint8_t wait[] = {0x61, 0x10, 0x00};
  EXPECT_EQ(VgmCommandLength(wait, 3), 3u);
  EXPECT_EQ(VgmCommandLength(wait, 2), 0u);
  EXPECT_EQ(VgmCommandLength(wait, 0), 0u);
  const std::uint8_t pcm_write[] = {0x68, 0x66, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(VgmCommandLength(pcm_write, 12), 12u);
  EXPECT_EQ(VgmCommandLength(pcm_write, 11), 0u);
  // A data block: its header, then its size read from it; a size near 2^32 does not wrap.
  const std::uint8_t block[] = {0x67, 0x66, 0x00, 0x02, 0, 0, 0, 0xAA, 0xBB};
  EXPECT_EQ(VgmCommandLength(block, 9), 9u);
  EXPECT_EQ(VgmCommandLength(block, 8), 0u);
  EXPECT_EQ(VgmCommandLength(block, 6), 0u);
  const std::uint8_t huge[] = {0x67, 0x66, 0x00, 0xFA, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(DataBlockLength(huge), 0xFFFFFFFAull + 7);
  EXPECT_EQ(VgmCommandLength(huge, 7), 0u);
  // Packed streams: 0xA0 never stands there with operands.
  const std::uint8_t other[] = {0xA0};
  EXPECT_EQ(PackedCommandLength(other, 1), 1u);
  EXPECT_EQ(VgmCommandLength(other, 1), 0u);
  EXPECT_EQ(PackedCommandLength(block, 9), 9u);
  EXPECT_EQ(PackedCommandLength(block, 8), 0u);
}

}  // namespace
}  // namespace brevox
