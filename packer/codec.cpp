#include "packer/codec.h"

namespace brevox {

void FlagCodec::WriteRaw(std::uint8_t byte) {
  // A raw byte comes before the group under construction, also when part of
  // that group is already in the packed stream.
  if (flag_slot == kNoFlagSlot) {
    output.push_back(byte);
  } else {
    output.insert(output.begin() + static_cast<std::ptrdiff_t>(flag_slot), byte);
    ++flag_slot;
  }
}

void FlagCodec::AddOperands(const std::uint8_t* bytes, std::uint32_t count) {
  if (this->count == 0) {
    // Operands with no entry wait for the next group, as AddOperand's do.
    pending.insert(pending.end(), bytes, bytes + count);
    return;
  }
  if (flag_slot == kNoFlagSlot) {
    flag_slot = output.size();
    output.push_back(0);
  }
  output.insert(output.end(), pending.begin(), pending.end());
  pending.clear();
  output.insert(output.end(), bytes, bytes + count);
}

void FlagCodec::Flush() {
  if (count == 0) return;
  for (; count < kFullGroup; ++count) pending.push_back(kPadEntry);
  if (flag_slot == kNoFlagSlot) {
    output.push_back(flags);
  } else {
    output[flag_slot] = flags;
  }
  output.insert(output.end(), pending.begin(), pending.end());
  flags = 0;
  count = 0;
  pending.clear();
  flag_slot = kNoFlagSlot;
}

std::int32_t FlagCodec::Query(std::uint32_t /*value*/) { return 0; }

}  // namespace brevox
