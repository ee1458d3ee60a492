#include "ym2612_writer.h"

#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::audio {
namespace {

constexpr std::uint8_t kDacRegister = 0x2A;
constexpr std::uint8_t kDacEnableRegister = 0x2B;
constexpr std::uint8_t kKeyRegister = 0x28;
constexpr std::uint32_t kStreamVersion = 0x160;

// Register offsets of operators 1-4 within a block of operator registers: the chip
// orders them 1, 3, 2, 4.
constexpr std::uint8_t kOperatorSlot[4] = {0, 8, 4, 12};

std::uint8_t Port(std::uint8_t channel) { return channel < 3 ? 0 : 1; }
std::uint8_t Slot(std::uint8_t channel) { return static_cast<std::uint8_t>(channel % 3); }

void AppendLe(std::vector<std::uint8_t>& bytes, std::uint32_t value, std::uint32_t size) {
  for (std::uint32_t i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

Ym2612Writer::Ym2612Writer(VgmWriter& vgm, std::uint32_t clock) : vgm_(vgm) {
  vgm_.Header(kYm2612ClockField, clock);
}

Ym2612Writer& Ym2612Writer::Write(std::uint8_t port, std::uint8_t reg, std::uint8_t value) {
  vgm_.Raw({static_cast<std::uint8_t>(kYm2612Port0Write + (port & 1)), reg, value});
  return *this;
}

Ym2612Writer& Ym2612Writer::OperatorWrite(std::uint8_t channel, std::uint8_t op, std::uint8_t base,
                                          std::uint8_t value) {
  const auto reg = static_cast<std::uint8_t>(base + kOperatorSlot[(op - 1) & 3] + Slot(channel));
  return Write(Port(channel), reg, value);
}

Ym2612Writer& Ym2612Writer::Patch(std::uint8_t channel, const FmPatch& patch) {
  for (std::uint8_t op = 1; op <= 4; ++op) {
    const FmOperator& o = patch.operators[op - 1];
    OperatorWrite(channel, op, 0x30, static_cast<std::uint8_t>((o.detune & 7) << 4 | (o.multiple & 15)));
    OperatorWrite(channel, op, 0x40, o.total_level & 127);
    OperatorWrite(channel, op, 0x50, static_cast<std::uint8_t>((o.key_scale & 3) << 6 | (o.attack_rate & 31)));
    OperatorWrite(channel, op, 0x60, o.decay_rate & 31);
    OperatorWrite(channel, op, 0x70, o.sustain_rate & 31);
    OperatorWrite(channel, op, 0x80, static_cast<std::uint8_t>((o.sustain_level & 15) << 4 | (o.release_rate & 15)));
    OperatorWrite(channel, op, 0x90, 0);  // no SSG-EG
  }
  const auto algorithm = static_cast<std::uint8_t>((patch.feedback & 7) << 3 | (patch.algorithm & 7));
  return Write(Port(channel), static_cast<std::uint8_t>(0xB0 + Slot(channel)), algorithm);
}

Ym2612Writer& Ym2612Writer::TotalLevel(std::uint8_t channel, std::uint8_t op, std::uint8_t level) {
  return OperatorWrite(channel, op, 0x40, level & 127);
}

Ym2612Writer& Ym2612Writer::Frequency(std::uint8_t channel, std::uint8_t block, std::uint16_t fnumber) {
  const auto high = static_cast<std::uint8_t>((block & 7) << 3 | ((fnumber >> 8) & 7));
  Write(Port(channel), static_cast<std::uint8_t>(0xA4 + Slot(channel)), high);
  return Write(Port(channel), static_cast<std::uint8_t>(0xA0 + Slot(channel)), static_cast<std::uint8_t>(fnumber));
}

Ym2612Writer& Ym2612Writer::Key(std::uint8_t channel, std::uint8_t mask) {
  // Channel codes 0-2 and 4-6; 3 names no channel.
  const auto code = static_cast<std::uint8_t>(Port(channel) << 2 | Slot(channel));
  return Write(0, kKeyRegister, static_cast<std::uint8_t>((mask & 15) << 4 | code));
}

Ym2612Writer& Ym2612Writer::Pan(std::uint8_t channel, bool left, bool right) {
  const auto routing = static_cast<std::uint8_t>((left ? 0x80 : 0) | (right ? 0x40 : 0));
  return Write(Port(channel), static_cast<std::uint8_t>(0xB4 + Slot(channel)), routing);
}

Ym2612Writer& Ym2612Writer::Dac(bool enabled) { return Write(0, kDacEnableRegister, enabled ? 0x80 : 0x00); }

Ym2612Writer& Ym2612Writer::PcmBlock(const std::vector<std::uint8_t>& samples) {
  std::vector<std::uint8_t> block = {kDataBlock, 0x66, kYm2612PcmBlockType};
  AppendLe(block, static_cast<std::uint32_t>(samples.size()), 4);
  block.insert(block.end(), samples.begin(), samples.end());
  vgm_.Raw(block);
  return *this;
}

Ym2612Writer& Ym2612Writer::Seek(std::uint32_t offset) {
  std::vector<std::uint8_t> seek = {kPcmSeek};
  AppendLe(seek, offset, 4);
  vgm_.Raw(seek);
  return *this;
}

Ym2612Writer& Ym2612Writer::DacWrite(std::uint8_t samples) {
  vgm_.Raw({static_cast<std::uint8_t>(kDacWriteFirst | (samples & 15))}, samples & 15);
  return *this;
}

Ym2612Writer& Ym2612Writer::Stream(const std::vector<std::uint8_t>& bytes) {
  vgm_.RequireVersion(kStreamVersion).Raw(bytes);
  return *this;
}

Ym2612Writer& Ym2612Writer::StreamSetup(std::uint8_t stream) {
  return Stream({0x90, stream, kStreamChipYm2612, 0x00, kDacRegister});
}

Ym2612Writer& Ym2612Writer::StreamData(std::uint8_t stream, std::uint8_t bank, std::uint8_t step_size,
                                       std::uint8_t step_base) {
  return Stream({0x91, stream, bank, step_size, step_base});
}

Ym2612Writer& Ym2612Writer::StreamFrequency(std::uint8_t stream, std::uint32_t hz) {
  std::vector<std::uint8_t> command = {0x92, stream};
  AppendLe(command, hz, 4);
  return Stream(command);
}

Ym2612Writer& Ym2612Writer::StreamStart(std::uint8_t stream, std::uint32_t offset, StreamLength mode,
                                        std::uint32_t length, bool loop) {
  std::vector<std::uint8_t> command = {0x93, stream};
  AppendLe(command, offset, 4);
  command.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(mode) | (loop ? 0x80 : 0)));
  AppendLe(command, length, 4);
  return Stream(command);
}

Ym2612Writer& Ym2612Writer::StreamStop(std::uint8_t stream) { return Stream({0x94, stream}); }

Ym2612Writer& Ym2612Writer::StreamBlock(std::uint8_t stream, std::uint16_t block, std::uint8_t flags) {
  std::vector<std::uint8_t> command = {0x95, stream};
  AppendLe(command, block, 2);
  command.push_back(flags);
  return Stream(command);
}

}  // namespace brevox::audio
