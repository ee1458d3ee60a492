// Any bytes through the gzip path. The first byte chooses: even, the rest is
// a song that goes in gzip-compressed; odd, the rest is the .vgz file itself,
// so that zlib meets damaged and truncated streams.

#include <cstddef>
#include <cstdint>

#include "fuzz/conversion_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto kind = (data[0] & 1u) == 0 ? brevox::fuzz::InputKind::kGzipOfBytes : brevox::fuzz::InputKind::kRawAsGzip;
  brevox::fuzz::CheckConversion(brevox::ByteBuffer(data + 1, data + size), kind);
  return 0;
}
