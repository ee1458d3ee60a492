// The player binary that the build assembles: it fills sound RAM $0000-$10FF
// exactly, starts where the image starts it and reads the stream where the
// converter puts it. (That it reads every command with its operands is heard:
// tests/player, EveryCommandIsReadWithItsOperands.)
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "assembler.h"
#include "flat_image.h"
#include "format/sound_ram.h"

namespace {

std::vector<std::uint8_t> ReadBinary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

spcasm::AssemblyResult AssemblePlayer() {
  const std::optional<std::string> source = spcasm::ReadFileFromDisk(SPCASM_PLAYER_SOURCE);
  if (!source) {
    spcasm::AssemblyResult missing;
    missing.errors.push_back(std::string("cannot read ") + SPCASM_PLAYER_SOURCE);
    return missing;
  }
  return spcasm::Assemble(*source, SPCASM_PLAYER_SOURCE, spcasm::ReadFileFromDisk);
}

TEST(PlayerBinary, FillsThePlayerAreaAndMeetsTheConverterThere) {
  const std::vector<std::uint8_t> built = ReadBinary(SPCASM_PLAYER_FILE);
  EXPECT_EQ(built.size(), brevox::kPlayerSize) << SPCASM_PLAYER_FILE;
  const spcasm::AssemblyResult player = AssemblePlayer();
  ASSERT_TRUE(player.ok()) << player.errors.front();
  // The program checked below is the one the build ships.
  EXPECT_EQ(spcasm::FlatImage(player.image, brevox::kPlayerSize, 0), built);
  ASSERT_EQ(player.symbols.count("start"), 1u);
  EXPECT_EQ(player.symbols.at("start"), brevox::kPlayerEntryPoint);
  ASSERT_EQ(player.symbols.count("STREAM"), 1u);
  EXPECT_EQ(player.symbols.at("STREAM"), brevox::kPackedStreamAddress);
  // The TCALL vectors lie where the converter never puts the stream.
  ASSERT_EQ(player.symbols.count("BOOT_ROM"), 1u);
  EXPECT_EQ(player.symbols.at("BOOT_ROM"), brevox::kBootRomAddress);
}

}  // namespace
