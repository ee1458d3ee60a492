// Flat binary output of an assembled memory image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "assembler.h"

namespace spcasm {

// Byte 0 is address $0000; unwritten bytes hold fill; the length is size when given, else one
// past the highest written address. Throws AsmError when the program does not fit in size.
std::vector<std::uint8_t> FlatImage(const MemoryImage& image, std::optional<std::uint32_t> size, std::uint8_t fill);

}  // namespace spcasm
