#pragma once
// Little-endian 32-bit fields, as VGM headers store them.

#include <cstdint>

namespace brevox {

// Reads the 32-bit little-endian value at `bytes`.
std::uint32_t ReadLe32(const std::uint8_t* bytes);

// Writes `value` low byte first at `bytes`.
void WriteLe32(std::uint8_t* bytes, std::uint32_t value);

}  // namespace brevox
