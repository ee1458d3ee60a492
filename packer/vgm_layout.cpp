#include "packer/vgm_layout.h"

namespace brevox {

std::uint32_t OperandCount(std::uint8_t command) {
  switch (command) {
    case kGameGearStereo:
    case kSn76489Write:
      return 1;
    case kYm2413Write:
    case kYm2612Port0Write:
    case kYm2612Port1Write:
    case kYm2151Write:
    case kWaitSamples:
      return 2;
    case kPcmSeek:
      return 4;
    default:
      return 0;
  }
}

}  // namespace brevox
