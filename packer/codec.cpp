#include "packer/codec.h"

#include "packer/vgm_layout.h"

namespace brevox {

void FlagCodec::WriteRaw(std::uint8_t byte) { output.push_back(byte); }

void FlagCodec::AddCommand(std::uint8_t command) {
  // A full group waits for the ninth command, so the eighth entry's operands still join it.
  if (count == kGroupEntries) Flush();
  if (command == kSn76489Write) {
    flags = static_cast<std::uint8_t>(flags | (1u << count));
  } else {
    pending.push_back(command);
  }
  ++count;
}

void FlagCodec::Flush() {
  if (count == 0) return;
  for (; count < kGroupEntries; ++count) pending.push_back(kPadEntry);
  output.push_back(flags);
  output.insert(output.end(), pending.begin(), pending.end());
  flags = 0;
  count = 0;
  pending.clear();
}

std::int32_t FlagCodec::Query(std::uint32_t /*value*/) { return 0; }

void FlagCodec::AddOperand(std::uint8_t byte) { pending.push_back(byte); }

void FlagCodec::AddOperands(const std::uint8_t* bytes, std::uint32_t count) {
  pending.insert(pending.end(), bytes, bytes + count);
}

}  // namespace brevox
