#include "spc/spc_image.h"

#include <algorithm>
#include <cstring>

namespace brevox {
namespace {

constexpr char kSignature[] = "SNES-SPC700 Sound File Data v0.30";
constexpr std::uint8_t kSignatureEnd[] = {26, 26};
// 27: the header holds no ID666 tag; 30: minor version of the format.
constexpr std::uint8_t kTagFlag = 27;
constexpr std::uint8_t kMinorVersion = 30;
constexpr std::size_t kProgramCounterOffset = 0x25;

}  // namespace

ByteBuffer BuildSpcImage(const ByteBuffer& player, const ByteBuffer& packed) {
  ByteBuffer image(kSpcFileSize, 0);
  const std::size_t signature_length = sizeof(kSignature) - 1;
  std::memcpy(image.data(), kSignature, signature_length);
  image[signature_length] = kSignatureEnd[0];
  image[signature_length + 1] = kSignatureEnd[1];
  image[signature_length + 2] = kTagFlag;
  image[signature_length + 3] = kMinorVersion;
  image[kProgramCounterOffset] = static_cast<std::uint8_t>(kPlayerEntryPoint & 0xFF);
  image[kProgramCounterOffset + 1] = static_cast<std::uint8_t>(kPlayerEntryPoint >> 8);

  std::uint8_t* ram = &image[kSpcHeaderSize];
  const std::size_t player_bytes = std::min<std::size_t>(player.size(), kPlayerSize);
  std::copy_n(player.begin(), player_bytes, ram);
  std::fill(ram + player_bytes, ram + kPlayerSize, kMissingPlayerByte);
  ram[kTestRegisterAddress] = kTestRegisterValue;
  const std::size_t packed_bytes = std::min<std::size_t>(packed.size(), kSoundRamSize - kPackedStreamAddress);
  std::copy_n(packed.begin(), packed_bytes, ram + kPackedStreamAddress);

  image[kSpcDspOffset + kDspFlagRegister] = kDspFlagEchoWritesOff;
  return image;
}

}  // namespace brevox
