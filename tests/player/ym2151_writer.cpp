#include "ym2151_writer.h"

#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::audio {
namespace {

constexpr std::uint8_t kKeyRegister = 0x08;
constexpr std::uint8_t kRoutingRegister = 0x20;
constexpr std::uint8_t kKeyCodeRegister = 0x28;
constexpr std::uint8_t kKeyFractionRegister = 0x30;
constexpr std::uint8_t kBothSides = 0xC0;

// Register offsets of operators 1-4 (M1, C1, M2, C2) within a block of operator
// registers: the chip orders them M1, M2, C1, C2.
constexpr std::uint8_t kOperatorSlot[4] = {0, 16, 8, 24};

}  // namespace

Ym2151Writer::Ym2151Writer(VgmWriter& vgm, std::uint32_t clock) : vgm_(vgm) {
  routing_.fill(kBothSides);
  vgm_.Header(kYm2151ClockField, clock);
}

Ym2151Writer& Ym2151Writer::Write(std::uint8_t reg, std::uint8_t value) {
  vgm_.Raw({kYm2151Write, reg, value});
  return *this;
}

Ym2151Writer& Ym2151Writer::OperatorWrite(std::uint8_t channel, std::uint8_t op, std::uint8_t base,
                                          std::uint8_t value) {
  return Write(static_cast<std::uint8_t>(base + kOperatorSlot[(op - 1) & 3] + (channel & 7)), value);
}

Ym2151Writer& Ym2151Writer::WriteRouting(std::uint8_t channel) {
  return Write(static_cast<std::uint8_t>(kRoutingRegister + (channel & 7)), routing_[channel & 7]);
}

Ym2151Writer& Ym2151Writer::Patch(std::uint8_t channel, const OpmPatch& patch) {
  for (std::uint8_t op = 1; op <= 4; ++op) {
    const FmOperator& o = patch.fm.operators[op - 1];
    OperatorWrite(channel, op, 0x40, static_cast<std::uint8_t>((o.detune & 7) << 4 | (o.multiple & 15)));
    OperatorWrite(channel, op, 0x60, o.total_level & 127);
    OperatorWrite(channel, op, 0x80, static_cast<std::uint8_t>((o.key_scale & 3) << 6 | (o.attack_rate & 31)));
    OperatorWrite(channel, op, 0xA0, o.decay_rate & 31);  // AM off
    OperatorWrite(channel, op, 0xC0,
                  static_cast<std::uint8_t>((patch.coarse_detune[op - 1] & 3) << 6 | (o.sustain_rate & 31)));
    OperatorWrite(channel, op, 0xE0, static_cast<std::uint8_t>((o.sustain_level & 15) << 4 | (o.release_rate & 15)));
  }
  std::uint8_t& routing = routing_[channel & 7];
  routing = static_cast<std::uint8_t>((routing & kBothSides) | (patch.fm.feedback & 7) << 3 | (patch.fm.algorithm & 7));
  return WriteRouting(channel);
}

Ym2151Writer& Ym2151Writer::TotalLevel(std::uint8_t channel, std::uint8_t op, std::uint8_t level) {
  return OperatorWrite(channel, op, 0x60, level & 127);
}

Ym2151Writer& Ym2151Writer::Pitch(std::uint8_t channel, std::uint8_t octave, std::uint8_t note,
                                  std::uint8_t fraction) {
  Write(static_cast<std::uint8_t>(kKeyCodeRegister + (channel & 7)), static_cast<std::uint8_t>((octave & 7) << 4 | (note & 15)));
  return Write(static_cast<std::uint8_t>(kKeyFractionRegister + (channel & 7)), static_cast<std::uint8_t>((fraction & 63) << 2));
}

Ym2151Writer& Ym2151Writer::Key(std::uint8_t channel, std::uint8_t mask) {
  // Operator bits 3-6 are M1, C1, M2, C2: operators 1-4 in the graph's order.
  return Write(kKeyRegister, static_cast<std::uint8_t>((mask & 15) << 3 | (channel & 7)));
}

Ym2151Writer& Ym2151Writer::Pan(std::uint8_t channel, bool left, bool right) {
  std::uint8_t& routing = routing_[channel & 7];
  routing = static_cast<std::uint8_t>((routing & 0x3F) | (right ? 0x80 : 0) | (left ? 0x40 : 0));
  return WriteRouting(channel);
}

}  // namespace brevox::audio
