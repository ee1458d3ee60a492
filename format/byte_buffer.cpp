#include "format/byte_buffer.h"

#include <sys/mman.h>

namespace brevox {
namespace {

constexpr std::uintptr_t kHugePageSize = std::uintptr_t{2} << 20;
// Below this the advice is not worth a system call.
constexpr std::size_t kAdviseThreshold = std::size_t{4} << 20;

}  // namespace

void ReserveLarge(ByteBuffer* buffer, std::size_t size) {
  buffer->reserve(size);
  if (buffer->capacity() < kAdviseThreshold) return;
  // Only whole huge pages inside the block can be advised; the advice is a hint, so its
  // failure (a kernel without transparent huge pages) changes nothing but the speed.
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer->data());
  const std::uintptr_t first = (begin + kHugePageSize - 1) & ~(kHugePageSize - 1);
  const std::uintptr_t last = (begin + buffer->capacity()) & ~(kHugePageSize - 1);
  if (last > first) madvise(buffer->data() + (first - begin), last - first, MADV_HUGEPAGE);
}

}  // namespace brevox
