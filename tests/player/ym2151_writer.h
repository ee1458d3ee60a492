#pragma once
// Writes YM2151 commands (0x54 aa dd) into a VgmWriter's song: patches, key codes and key
// fractions, pan, and key on/off with its operator bits.

#include <array>
#include <cstdint>

#include "vgm_writer.h"
#include "ym2612_writer.h"

namespace brevox::audio {

// A YM2151 patch in the YM2612's terms, which the chip shares: `algorithm` is the
// connection (0-7) and operators[0..3] are the graph's operators 1-4, that is M1, C1, M2
// and C2. The YM2151 adds a coarse detune (DT2, 0-3) per operator, by the same index.
struct OpmPatch {
  FmPatch fm;
  std::array<std::uint8_t, 4> coarse_detune{};
};

class Ym2151Writer {
 public:
  // Sets the header's YM2151 clock to `clock`.
  explicit Ym2151Writer(VgmWriter& vgm, std::uint32_t clock = kYm2151Clock);

  // 0x54: register `reg` = `value`.
  Ym2151Writer& Write(std::uint8_t reg, std::uint8_t value);

  // Every register of `patch` for `channel` (0-7): the operators', then connection and
  // feedback with the channel's pan as it stands (both sides until Pan says otherwise).
  Ym2151Writer& Patch(std::uint8_t channel, const OpmPatch& patch);
  // TL of `op` (operator number 1-4: M1, C1, M2, C2) of `channel`.
  Ym2151Writer& TotalLevel(std::uint8_t channel, std::uint8_t op, std::uint8_t level);
  // 0x28 key code (octave 0-7, note code 0-14, of which 3, 7 and 11 name no note), then
  // 0x30 key fraction (0-63, 1/64 semitone), as drivers write them.
  Ym2151Writer& Pitch(std::uint8_t channel, std::uint8_t octave, std::uint8_t note, std::uint8_t fraction = 0);
  // 0x08: the operators of `mask` keyed on, the others off (bit 0 is operator 1, M1).
  Ym2151Writer& Key(std::uint8_t channel, std::uint8_t mask = kAllOperators);
  Ym2151Writer& KeyOff(std::uint8_t channel) { return Key(channel, 0); }
  // 0x20: output to the left and right sides, keeping connection and feedback.
  Ym2151Writer& Pan(std::uint8_t channel, bool left, bool right);

 private:
  // The register of `op` (1-4) of `channel` in the operator block at `base`.
  Ym2151Writer& OperatorWrite(std::uint8_t channel, std::uint8_t op, std::uint8_t base, std::uint8_t value);
  Ym2151Writer& WriteRouting(std::uint8_t channel);

  VgmWriter& vgm_;
  // Register 0x20 + channel: R (bit 7), L (bit 6), feedback, connection.
  std::array<std::uint8_t, 8> routing_;
};

}  // namespace brevox::audio
