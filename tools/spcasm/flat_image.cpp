#include "flat_image.h"

#include "asm_error.h"

namespace spcasm {

std::vector<std::uint8_t> FlatImage(const MemoryImage& image, std::optional<std::uint32_t> size, std::uint8_t fill) {
  const std::uint32_t length = size.value_or(image.end);
  if (image.end > length) {
    throw AsmError("program ends at address " + std::to_string(image.end) + ", beyond --size " + std::to_string(length));
  }
  std::vector<std::uint8_t> out(length, fill);
  for (std::uint32_t a = 0; a < image.end; ++a) {
    if (image.used[a]) out[a] = image.bytes[a];
  }
  return out;
}

}  // namespace spcasm
