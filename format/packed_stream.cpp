#include "format/packed_stream.h"

namespace brevox {

std::uint64_t PackedCommandLength(const std::uint8_t* command, std::uint64_t available) {
  if (available == 0) return 0;
  std::uint64_t length = 1 + std::uint64_t{PackedOperandCount(*command)};
  if (*command == kDataBlock && length <= available) length = DataBlockLength(command);
  return length <= available ? length : 0;
}

}  // namespace brevox
