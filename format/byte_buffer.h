#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brevox {

// A growable run of bytes indexed by unsigned 32-bit positions.
using ByteBuffer = std::vector<std::uint8_t>;

// Makes room for at least `size` bytes in *buffer, keeping its content. Large
// buffers are marked for the kernel's huge pages, since the faults on first
// touch of fresh 4 KiB pages cost more than the packing itself.
// Throws std::bad_alloc like reserve.
void ReserveLarge(ByteBuffer* buffer, std::size_t size);

}  // namespace brevox
