#include "ym2413_writer.h"

#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::audio {
namespace {

constexpr std::uint8_t kRhythmRegister = 0x0E;
constexpr std::uint8_t kRhythmOn = 0x20;
constexpr std::uint8_t kFnumberRegister = 0x10;
constexpr std::uint8_t kBlockRegister = 0x20;
constexpr std::uint8_t kInstrumentRegister = 0x30;
constexpr std::uint8_t kBassDrumVolume = 0x36;
constexpr std::uint8_t kSustainBit = 0x20;
constexpr std::uint8_t kKeyBit = 0x10;

std::uint8_t Nibbles(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::uint8_t>((high & 15) << 4 | (low & 15));
}

}  // namespace

Ym2413Writer::Ym2413Writer(VgmWriter& vgm, std::uint32_t clock) : vgm_(vgm) {
  block_.fill(0);
  vgm_.Header(kYm2413ClockField, clock);
}

Ym2413Writer& Ym2413Writer::Write(std::uint8_t reg, std::uint8_t value) {
  vgm_.Raw({kYm2413Write, reg, value});
  return *this;
}

Ym2413Writer& Ym2413Writer::CustomInstrument(const OpllInstrument& instrument) {
  for (std::uint32_t reg = 0; reg < instrument.size(); ++reg) Write(static_cast<std::uint8_t>(reg), instrument[reg]);
  return *this;
}

Ym2413Writer& Ym2413Writer::Instrument(std::uint8_t channel, std::uint8_t instrument, std::uint8_t volume) {
  return Write(static_cast<std::uint8_t>(kInstrumentRegister + channel % 9), Nibbles(instrument, volume));
}

Ym2413Writer& Ym2413Writer::Note(std::uint8_t channel, std::uint8_t block, std::uint16_t fnumber, bool key,
                                 bool sustain) {
  std::uint8_t& high = block_[channel % 9];
  high = static_cast<std::uint8_t>((sustain ? kSustainBit : 0) | (key ? kKeyBit : 0) | (block & 7) << 1 |
                                   ((fnumber >> 8) & 1));
  Write(static_cast<std::uint8_t>(kFnumberRegister + channel % 9), static_cast<std::uint8_t>(fnumber));
  return Write(static_cast<std::uint8_t>(kBlockRegister + channel % 9), high);
}

Ym2413Writer& Ym2413Writer::KeyOff(std::uint8_t channel) {
  std::uint8_t& high = block_[channel % 9];
  high = static_cast<std::uint8_t>(high & ~kKeyBit);
  return Write(static_cast<std::uint8_t>(kBlockRegister + channel % 9), high);
}

Ym2413Writer& Ym2413Writer::Rhythm(std::uint8_t keys) {
  return Write(kRhythmRegister, static_cast<std::uint8_t>(kRhythmOn | (keys & 0x1F)));
}

Ym2413Writer& Ym2413Writer::Drums(const DrumVolumes& volumes) {
  Write(kBassDrumVolume, Nibbles(0, volumes.bass_drum));
  Write(kBassDrumVolume + 1, Nibbles(volumes.hi_hat, volumes.snare_drum));
  return Write(kBassDrumVolume + 2, Nibbles(volumes.tom_tom, volumes.top_cymbal));
}

}  // namespace brevox::audio
