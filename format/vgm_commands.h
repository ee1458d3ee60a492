#pragma once
// The VGM command set as every stage reads it: for each command byte, what the
// converter does with it and how many operand bytes follow it in a VGM file.
// The VGM format gives every defined byte a fixed length so that a reader can
// skip what it does not play; this table is that knowledge, held once.

#include <array>
#include <cstdint>

namespace brevox {

// Command bytes that the stages name.
constexpr std::uint8_t kGameGearStereo = 0x4F;
constexpr std::uint8_t kSn76489Write = 0x50;
constexpr std::uint8_t kYm2413Write = 0x51;
constexpr std::uint8_t kYm2612Port0Write = 0x52;
constexpr std::uint8_t kYm2612Port1Write = 0x53;
constexpr std::uint8_t kYm2151Write = 0x54;
constexpr std::uint8_t kWaitSamples = 0x61;
constexpr std::uint8_t kWait735 = 0x62;
constexpr std::uint8_t kWait882 = 0x63;
constexpr std::uint8_t kEndOfData = 0x66;
constexpr std::uint8_t kDataBlock = 0x67;
constexpr std::uint8_t kShortWaitFirst = 0x70;
constexpr std::uint8_t kDacWriteFirst = 0x80;
constexpr std::uint8_t kDacStreamFirst = 0x90;
constexpr std::uint8_t kDacStreamLast = 0x95;
constexpr std::uint8_t kPcmSeek = 0xE0;

// A data block: 0x67 0x66 type size32, then `size` data bytes.
constexpr std::uint32_t kDataBlockHeaderSize = 7;
constexpr std::uint32_t kDataBlockTypeOffset = 2;
constexpr std::uint32_t kDataBlockSizeOffset = 3;
// The YM2612 PCM bank: the only block type that 0x80-0x8F, 0xE0 and the player read.
constexpr std::uint8_t kYm2612PcmBlockType = 0x00;

// What the converter does with a command byte met in command position.
enum class CommandKind : std::uint8_t {
  // One of the chips it plays: written on (0x52, 0x80-0x8F and 0xE0 may change on the way).
  kKept,
  // A DAC stream command 0x90-0x95, the YM2612's drums in many songs: written whole.
  kKeptStream,
  // A command of another chip: read with its operands, nothing written.
  kLeftOut,
  // 0x67: kept for the YM2612 PCM bank, left out for any other type.
  kDataBlock,
  // A byte that VGM leaves undefined: one byte, written as read.
  kUndefined,
};

struct CommandInfo {
  CommandKind kind = CommandKind::kUndefined;
  // Operand bytes after the command byte in a VGM file; for a data block the
  // fixed part (0x66, type, size) that comes before its data bytes.
  std::uint8_t operands = 0;
};

namespace table_detail {

constexpr std::array<CommandInfo, 256> MakeVgmCommandTable() {
  std::array<CommandInfo, 256> table{};
  auto set = [&table](unsigned first, unsigned last, CommandKind kind, unsigned operands) {
    for (unsigned byte = first; byte <= last; ++byte) table[byte] = {kind, static_cast<std::uint8_t>(operands)};
  };
  using K = CommandKind;
  set(0x30, 0x3F, K::kLeftOut, 1);   // second SN76489, AY8910 stereo mask, second Game Gear stereo
  set(0x40, 0x4E, K::kLeftOut, 2);   // reserved two-operand commands
  set(kGameGearStereo, kSn76489Write, K::kKept, 1);
  set(kYm2413Write, kYm2151Write, K::kKept, 2);
  set(0x55, 0x5F, K::kLeftOut, 2);   // YM2203, YM2608, YM2610, YM3812, YM3526, Y8950, YMZ280B, YMF262
  set(kWaitSamples, kWaitSamples, K::kKept, 2);
  set(kWait735, kWait882, K::kKept, 0);
  set(0x64, 0x64, K::kLeftOut, 3);   // wait override of the 1.70 text
  set(kEndOfData, kEndOfData, K::kKept, 0);
  set(kDataBlock, kDataBlock, K::kDataBlock, kDataBlockHeaderSize - 1);
  set(0x68, 0x68, K::kLeftOut, 11);  // PCM RAM write
  set(kShortWaitFirst, kDacWriteFirst + 0x0F, K::kKept, 0);
  set(0x90, 0x91, K::kKeptStream, 4);  // stream set-up, stream data bank
  set(0x92, 0x92, K::kKeptStream, 5);  // stream frequency
  set(0x93, 0x93, K::kKeptStream, 10); // stream start with length mode
  set(0x94, 0x94, K::kKeptStream, 1);  // stream stop
  set(0x95, 0x95, K::kKeptStream, 4);  // stream start of a data block
  set(0xA0, 0xBF, K::kLeftOut, 2);   // AY8910, second chips of 0x51-0x5F, other chips
  set(0xC0, 0xDF, K::kLeftOut, 3);   // chips with 16-bit addresses
  set(kPcmSeek, kPcmSeek, K::kKept, 4);
  set(0xE1, 0xFF, K::kLeftOut, 4);   // C352 and reserved four-operand commands
  return table;
}

}  // namespace table_detail

// Every command byte's kind and operand count; a table, not a switch, since
// the passes look it up once per command.
inline constexpr std::array<CommandInfo, 256> kVgmCommands = table_detail::MakeVgmCommandTable();

constexpr bool IsShortWait(std::uint8_t command) { return (command & 0xF0) == kShortWaitFirst; }
constexpr bool IsDacWrite(std::uint8_t command) { return (command & 0xF0) == kDacWriteFirst; }

// Length of the data block at `block` (its 0x67 first), from the 7 header bytes
// there: 7 + size, in 64 bits so that no size wraps round to a short block.
std::uint64_t DataBlockLength(const std::uint8_t* block);

// Length of the command at `command` whose command byte takes `operands`
// operand bytes, a data block's data included; 0 when it does not lie whole
// within the `available` bytes there. The VGM file and the packed stream each
// give their own operand counts.
std::uint64_t CommandLength(const std::uint8_t* command, std::uint32_t operands, std::uint64_t available);

// Length of the VGM command at `command`, operands and a data block's data
// included; 0 when it does not lie whole within the `available` bytes there.
std::uint64_t VgmCommandLength(const std::uint8_t* command, std::uint64_t available);

// Samples of 44100 Hz that the command at `command` waits (0x61 reads its two
// operand bytes, which must be there); 0 for a command that does not wait.
std::uint32_t WaitSamples(const std::uint8_t* command);

}  // namespace brevox
