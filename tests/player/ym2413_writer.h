#pragma once
// Writes YM2413 commands (0x51 aa dd) into a VgmWriter's song: instruments and volumes,
// F-number, block, key and sustain, the custom instrument, and rhythm mode's drums.

#include <array>
#include <cstdint>

#include "vgm_writer.h"

namespace brevox::audio {

// The eight bytes of an instrument, in the layout of registers 0x00-0x07 and of the
// chip's ROM: modulator then carrier flags and MUL, levels, waveforms and feedback,
// attack/decay, sustain/release.
using OpllInstrument = std::array<std::uint8_t, 8>;

// Drum key bits of register 0x0E in rhythm mode.
constexpr std::uint8_t kBassDrum = 0x10;
constexpr std::uint8_t kSnareDrum = 0x08;
constexpr std::uint8_t kTomTom = 0x04;
constexpr std::uint8_t kTopCymbal = 0x02;
constexpr std::uint8_t kHiHat = 0x01;

// Volumes of the five drums (0 loudest, 15 quietest; 3 dB steps).
struct DrumVolumes {
  std::uint8_t bass_drum = 0, snare_drum = 0, tom_tom = 0, top_cymbal = 0, hi_hat = 0;
};

class Ym2413Writer {
 public:
  // Sets the header's YM2413 clock to `clock`.
  explicit Ym2413Writer(VgmWriter& vgm, std::uint32_t clock = kYm2413Clock);

  // 0x51: register `reg` = `value`.
  Ym2413Writer& Write(std::uint8_t reg, std::uint8_t value);

  // 0x00-0x07: the custom instrument (instrument 0).
  Ym2413Writer& CustomInstrument(const OpllInstrument& instrument);
  // 0x30: `channel` (0-8) plays `instrument` (0 custom, 1-15 the ROM's) at `volume`
  // (0 loudest, 15 quietest; 3 dB steps).
  Ym2413Writer& Instrument(std::uint8_t channel, std::uint8_t instrument, std::uint8_t volume = 0);
  // 0x10 F-number bits 7-0, then 0x20 sustain, key, block and F-number bit 8, as drivers
  // write them; `fnumber` is 9 bits.
  Ym2413Writer& Note(std::uint8_t channel, std::uint8_t block, std::uint16_t fnumber, bool key = true,
                     bool sustain = false);
  // 0x20: the key bit cleared, the rest as the last Note left it.
  Ym2413Writer& KeyOff(std::uint8_t channel);

  // 0x0E: rhythm mode on, with the drums of `keys` (kBassDrum ... kHiHat) keyed.
  Ym2413Writer& Rhythm(std::uint8_t keys = 0);
  // 0x36-0x38: the drums' volumes.
  Ym2413Writer& Drums(const DrumVolumes& volumes);

 private:
  VgmWriter& vgm_;
  // Register 0x20 + channel: sustain, key, block, F-number bit 8.
  std::array<std::uint8_t, 9> block_;
};

}  // namespace brevox::audio
