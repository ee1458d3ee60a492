#pragma once
// The round-trip property of a packing: the packed stream reads back as the
// rewritten commands, and its header offsets point where they should.

#include <cstdint>
#include <string>

#include "packer/pack.h"

namespace brevox {

// Checks a packing that PackVgm completed for an input of `input_size`
// bytes. Returns an empty string when the property holds, else what failed.
std::string CheckRoundTrip(const PackResult& result, std::uint32_t input_size);

}  // namespace brevox
