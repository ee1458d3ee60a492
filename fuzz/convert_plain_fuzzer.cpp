// Any bytes as a plain .vgm file through the whole conversion.

#include <cstddef>
#include <cstdint>

#include "fuzz/conversion_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brevox::fuzz::CheckConversion(brevox::ByteBuffer(data, data + size), brevox::fuzz::InputKind::kPlain);
  return 0;
}
