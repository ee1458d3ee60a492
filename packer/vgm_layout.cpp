#include "packer/vgm_layout.h"

namespace brevox {
namespace {

// A table, not a switch: the passes look it up once per command.
constexpr std::array<std::uint8_t, 256> MakeOperandCounts() {
  std::array<std::uint8_t, 256> counts{};
  counts[kGameGearStereo] = 1;
  counts[kSn76489Write] = 1;
  counts[kYm2413Write] = 2;
  counts[kYm2612Port0Write] = 2;
  counts[kYm2612Port1Write] = 2;
  counts[kYm2151Write] = 2;
  counts[kWaitSamples] = 2;
  counts[kPcmSeek] = 4;
  return counts;
}

}  // namespace

const std::array<std::uint8_t, 256> kOperandCounts = MakeOperandCounts();

}  // namespace brevox
