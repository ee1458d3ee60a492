#include "format/packed_stream.h"

namespace brevox {

std::uint64_t PackedCommandLength(const std::uint8_t* command, std::uint64_t available) {
  return available == 0 ? 0 : CommandLength(command, PackedOperandCount(*command), available);
}

}  // namespace brevox
