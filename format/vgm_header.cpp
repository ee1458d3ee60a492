#include "format/vgm_header.h"

#include <cstring>

#include "format/byte_order.h"

namespace brevox {

bool HasVgmIdentification(const std::uint8_t* header) {
  return std::memcmp(header, kVgmIdentification, kVgmIdentificationSize) == 0;
}

std::uint32_t DataStart(const std::uint8_t* header) {
  const std::uint32_t start = ReadLe32(header + kDataOffsetField) + kDataOffsetField;
  return start < kVgmHeaderSize ? kVgmHeaderSize : start;
}

std::uint32_t LoopPosition(const std::uint8_t* header) {
  return ReadLe32(header + kLoopOffsetField) + kLoopOffsetField;
}

}  // namespace brevox
