#pragma once
// Where things lie in the 64 KB of sound RAM that an SPC image holds, as the
// converter fills it and the player reads it.

#include <cstdint>

namespace brevox {

constexpr std::uint32_t kSoundRamSize = 0x10000;
// The player program fills RAM from address 0 up to the stream and starts here.
constexpr std::uint32_t kPlayerSize = 0x1100;
constexpr std::uint16_t kPlayerEntryPoint = 0x0500;
// The packed stream follows the player.
constexpr std::uint16_t kPackedStreamAddress = 0x1100;
// The sound CPU's boot ROM area, 0xFFC0-0xFFFF, which the stream must not reach.
constexpr std::uint32_t kBootRomAddress = 0xFFC0;
// The longest packed stream: 61120 bytes.
constexpr std::uint32_t kMaxPackedSize = kBootRomAddress - kPackedStreamAddress;

}  // namespace brevox
