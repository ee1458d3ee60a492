#pragma once
// Header offsets and command bytes of VGM streams, named once for every stage.

#include <array>
#include <cstdint>

namespace brevox {

constexpr std::uint32_t kVgmHeaderSize = 0x40;
constexpr std::uint32_t kEofOffsetField = 0x04;
constexpr std::uint32_t kVersionField = 0x08;
constexpr std::uint8_t kMarkedVersionByte = 0x51;
constexpr std::uint32_t kGd3OffsetField = 0x14;
constexpr std::uint32_t kLoopOffsetField = 0x1C;
constexpr std::uint32_t kDataOffsetField = 0x34;
// A loop offset of 0 yields this loop position, which no command can have.
constexpr std::uint32_t kNoLoopPosition = kLoopOffsetField;

constexpr std::uint8_t kGameGearStereo = 0x4F;
constexpr std::uint8_t kSn76489Write = 0x50;
constexpr std::uint8_t kYm2413Write = 0x51;
constexpr std::uint8_t kYm2612Port0Write = 0x52;
constexpr std::uint8_t kYm2612Port1Write = 0x53;
constexpr std::uint8_t kYm2151Write = 0x54;
constexpr std::uint8_t kWaitSamples = 0x61;
constexpr std::uint8_t kEndOfData = 0x66;
constexpr std::uint8_t kDataBlock = 0x67;
constexpr std::uint8_t kShortWaitFirst = 0x70;
constexpr std::uint8_t kDacWriteFirst = 0x80;
constexpr std::uint8_t kPcmSeek = 0xE0;
// The seek to offset 0 of the PCM bank, shortened to one byte.
constexpr std::uint8_t kShortSeek = 0x4C;
// Fills a flag group that is cut short; a command without operands.
constexpr std::uint8_t kPadEntry = 0x4E;

// A data block: 0x67 0x66 type size32, then `size` bytes.
constexpr std::uint32_t kDataBlockHeaderSize = 7;

inline bool IsShortWait(std::uint8_t command) { return (command & 0xF0) == kShortWaitFirst; }
inline bool IsDacWrite(std::uint8_t command) { return (command & 0xF0) == kDacWriteFirst; }

// Operand bytes after each command byte of the rewritten stream, indexed by the command.
extern const std::array<std::uint8_t, 256> kOperandCounts;

// Operand bytes after a command byte of the rewritten stream; data blocks
// (0x67) carry 6 plus their size and are handled apart.
inline std::uint32_t OperandCount(std::uint8_t command) { return kOperandCounts[command]; }

}  // namespace brevox
