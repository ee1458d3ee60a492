#pragma once

#include <cstdint>
#include <vector>

namespace brevox {

// A growable run of bytes indexed by unsigned 32-bit positions.
using ByteBuffer = std::vector<std::uint8_t>;

}  // namespace brevox
