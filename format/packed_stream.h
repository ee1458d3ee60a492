#pragma once
// The packed stream's own vocabulary, shared by the encoder, the decoder, the
// round-trip check and (through a test of its dispatch table) the player:
// flag groups of eight entries, the pad entry, the short seek, and how many
// operand bytes follow each entry's command byte.

#include <array>
#include <cstdint>

#include "format/vgm_commands.h"

namespace brevox {

// Entries in every flag group.
constexpr std::uint32_t kGroupEntries = 8;
// Fills a flag group that is cut short (at the loop point or after 0x66); no operands.
// The converter writes no other 0x4E: in a VGM file it is another chip's command.
constexpr std::uint8_t kPadEntry = 0x4E;
// The seek to offset 0 of the YM2612 PCM bank, shortened to one byte. Input 0x4C
// is another chip's command and never reaches the stream.
constexpr std::uint8_t kShortSeek = 0x4C;

namespace table_detail {

constexpr std::array<std::uint8_t, 256> MakePackedOperandCounts() {
  std::array<std::uint8_t, 256> counts{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    const CommandKind kind = kVgmCommands[byte].kind;
    const bool written_whole =
        kind == CommandKind::kKept || kind == CommandKind::kKeptStream || kind == CommandKind::kDataBlock;
    counts[byte] = written_whole ? kVgmCommands[byte].operands : 0;
  }
  return counts;
}

}  // namespace table_detail

// Operand bytes after each command byte of the rewritten and the packed stream:
// those of the VGM command for the commands the converter keeps (for a data block
// the fixed part, before its data bytes); none for every other byte, which the
// stream holds only as a one-byte command (undefined bytes, 0x4C, 0x4E).
inline constexpr std::array<std::uint8_t, 256> kPackedOperandCounts = table_detail::MakePackedOperandCounts();

inline std::uint32_t PackedOperandCount(std::uint8_t command) { return kPackedOperandCounts[command]; }

// Length of the command at `command` in a rewritten stream or in the commands
// that a packed stream decodes to, operands and a data block's data included;
// 0 when it does not lie whole within the `available` bytes there.
std::uint64_t PackedCommandLength(const std::uint8_t* command, std::uint64_t available);

}  // namespace brevox
