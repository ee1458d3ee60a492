// The player binary that the build assembles: it fills sound RAM $0000-$10FF
// exactly, starts where the image starts it, reads the stream where the
// converter puts it, and its dispatch table reads every command of the packed
// stream with as many operand bytes as the converter's format table gives it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "assembler.h"
#include "flat_image.h"
#include "format/packed_stream.h"
#include "format/sound_ram.h"
#include "format/vgm_commands.h"

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

std::string Hex(unsigned value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << value;
  return out.str();
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
}

// What a handler class of the player's cmd_class table does with the bytes after
// a command byte. A class added to the player must be added here, with its count.
enum class Consumes { kOperands, kEndOfData, kDataBlock };
struct ClassReading {
  Consumes consumes;
  std::uint32_t operands;
};
const std::map<std::string, ClassReading> kClassReadings = {
    {"C_NONE", {Consumes::kOperands, 0}},        {"C_STEREO", {Consumes::kOperands, 1}},
    {"C_SKIP1", {Consumes::kOperands, 1}},       {"C_SKIP2", {Consumes::kOperands, 2}},
    {"C_SKIP4", {Consumes::kOperands, 4}},       {"C_SKIP5", {Consumes::kOperands, 5}},
    {"C_SKIP10", {Consumes::kOperands, 10}},     {"C_WAIT", {Consumes::kOperands, 2}},
    {"C_WAIT735", {Consumes::kOperands, 0}},     {"C_WAIT882", {Consumes::kOperands, 0}},
    {"C_WAIT_SHORT", {Consumes::kOperands, 0}},  {"C_WAIT_DAC", {Consumes::kOperands, 0}},
    {"C_END", {Consumes::kEndOfData, 0}},        {"C_DATA", {Consumes::kDataBlock, 0}},
};

// The C_ names that the player gives to a class value.
std::vector<std::string> ClassNames(const spcasm::AssemblyResult& player, std::int64_t value) {
  std::vector<std::string> names;
  for (const auto& [name, symbol_value] : player.symbols) {
    if (name.rfind("C_", 0) == 0 && symbol_value == value) names.push_back(name);
  }
  return names;
}

TEST(PlayerBinary, DispatchReadsEveryCommandAsTheFormatTableDoes) {
  const spcasm::AssemblyResult player = AssemblePlayer();
  ASSERT_TRUE(player.ok()) << player.errors.front();
  ASSERT_EQ(player.symbols.count("cmd_class"), 1u) << "the player has no cmd_class table";
  const std::int64_t table = player.symbols.at("cmd_class");
  ASSERT_GE(table, 0);
  ASSERT_LE(table + 256, std::int64_t{brevox::kPlayerSize});
  for (unsigned byte = 0; byte < 256; ++byte) {
    // An SN76489 write is a flag bit; its command byte never stands in the stream.
    if (byte == brevox::kSn76489Write) continue;
    const std::uint8_t value = player.image.bytes[static_cast<std::size_t>(table) + byte];
    const std::vector<std::string> names = ClassNames(player, value);
    const ClassReading* reading = nullptr;
    for (const std::string& name : names) {
      if (kClassReadings.count(name) != 0) reading = &kClassReadings.at(name);
    }
    ASSERT_NE(reading, nullptr) << "command " << Hex(byte) << ": the player's class " << int{value}
                                << (names.empty() ? std::string(" has no C_ name") : " (" + names.front() + ")")
                                << " is not known to this test; add it to kClassReadings with what it consumes";
    const std::string where = "command " + Hex(byte) + " (" + names.front() + ")";
    if (byte == brevox::kEndOfData) {
      EXPECT_EQ(reading->consumes, Consumes::kEndOfData) << where << " must end the music";
    } else if (byte == brevox::kDataBlock) {
      EXPECT_EQ(reading->consumes, Consumes::kDataBlock) << where << " must skip a data block";
    } else {
      ASSERT_EQ(reading->consumes, Consumes::kOperands) << where << " is no end and no data block";
      EXPECT_EQ(reading->operands, brevox::PackedOperandCount(static_cast<std::uint8_t>(byte)))
          << where << ": the player reads " << reading->operands << " operand bytes, the packed stream holds "
          << brevox::PackedOperandCount(static_cast<std::uint8_t>(byte));
    }
  }
}

}  // namespace
