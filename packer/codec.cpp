#include "packer/codec.h"

namespace brevox {

void FlagCodec::WriteRaw(std::uint8_t byte) { output.push_back(byte); }

void FlagCodec::Flush() {
  if (count == 0) return;
  for (; count < kFullGroup; ++count) pending.push_back(kPadEntry);
  output.push_back(flags);
  output.insert(output.end(), pending.begin(), pending.end());
  flags = 0;
  count = 0;
  pending.clear();
}

std::int32_t FlagCodec::Query(std::uint32_t /*value*/) { return 0; }

}  // namespace brevox
