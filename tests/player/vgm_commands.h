#pragma once
// Reading the command stream of VGM files in the tests' own tools.

#include <cstdint>
#include <vector>

namespace brevox::audio {

// Little-endian 32-bit value at `at`; 0 past the end.
std::uint32_t ReadLe32(const std::vector<std::uint8_t>& bytes, std::uint32_t at);

// Where the commands start, as the converter reads it (0x40 for a file shorter than that).
std::uint32_t DataStart(const std::vector<std::uint8_t>& vgm);

// Length with operands of the command at `at`, by the converter's command table; 0 for
// 0x66 and for a command that runs past the end.
std::uint32_t CommandLength(const std::vector<std::uint8_t>& vgm, std::uint32_t at);

// True when the commands, read one after another by their lengths, end exactly at the
// file's last byte, an end command, and their waits add up to the header's total.
bool ReadsWhole(const std::vector<std::uint8_t>& vgm);

// The song with only its SN76489 writes, Game Gear stereo writes and waits (0x80-0x8F
// become plain waits of as long), the loop point kept, the other chips' clocks cleared.
std::vector<std::uint8_t> PsgPart(const std::vector<std::uint8_t>& vgm);

}  // namespace brevox::audio
