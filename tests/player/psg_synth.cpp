#include "psg_synth.h"

#include <cmath>

#include "format/vgm_commands.h"
#include "format/vgm_header.h"
#include "vgm_commands.h"

namespace brevox::audio {
namespace {

struct Psg {
  double clock = 3579545;
  std::uint16_t period[3] = {0x3FF, 0x3FF, 0x3FF};
  std::uint8_t level[4] = {15, 15, 15, 15};
  std::uint8_t noise = 0;
  std::uint8_t latched = 0;
  std::uint8_t routing = 0xFF;
  double phase[4] = {0, 0, 0, 0};
  std::uint16_t shifter = 0x8000;

  void Write(std::uint8_t v) {
    if (v & 0x80) {
      latched = (v >> 4) & 7;
      Set(v & 0x0F, false);
    } else {
      Set(v & 0x3F, true);
    }
  }

  void Set(std::uint8_t data, bool high) {
    const std::uint8_t channel = latched >> 1;
    if (latched & 1) {
      level[channel] = data & 0x0F;
    } else if (channel < 3) {
      period[channel] = high ? static_cast<std::uint16_t>((period[channel] & 0x0F) | (data & 0x3F) << 4)
                             : static_cast<std::uint16_t>((period[channel] & 0x3F0) | data);
    } else {
      noise = data & 7;
      shifter = 0x8000;
    }
  }

  // Frequency of tone `channel`, 0 for none: period 0 counts as 1024, and tones the
  // ear cannot hear are left out, as emulators do.
  double ToneHz(std::uint8_t channel) const {
    const double hz = clock / (32.0 * (period[channel] == 0 ? 1024 : period[channel]));
    return hz > 16000 ? 0 : hz;
  }

  // The mix advanced by `dt` seconds: mean of the left and right outputs.
  double Step(double dt) {
    double out = 0;
    for (std::uint8_t c = 0; c < 4; ++c) {
      const double amplitude = level[c] == 15 ? 0 : std::pow(10.0, -level[c] / 10.0);
      const double side = ((routing >> (c + 4) & 1) + (routing >> c & 1)) / 2.0;
      if (c < 3) {
        const double hz = ToneHz(c);
        phase[c] = std::fmod(phase[c] + hz * dt, 1.0);
        if (hz > 0) out += side * amplitude * (phase[c] < 0.5 ? 1 : -1);
        continue;
      }
      const double rate = (noise & 3) == 3 ? ToneHz(2) : clock / (512 << (noise & 3));
      phase[3] += rate * dt;
      for (; phase[3] >= 1; phase[3] -= 1) {
        const std::uint16_t in = (noise & 4) ? ((shifter ^ shifter >> 3) & 1) : (shifter & 1);
        shifter = static_cast<std::uint16_t>(shifter >> 1 | in << 15);
      }
      out += side * amplitude * (shifter & 1);
    }
    return out / 4;
  }
};

}  // namespace

std::vector<float> SynthesizePsg(const std::vector<std::uint8_t>& vgm, double seconds, double rate,
                                 std::string& error) {
  if (vgm.size() < kVgmHeaderSize || !HasVgmIdentification(vgm.data())) {
    error = "not a VGM file";
    return {};
  }
  Psg psg;
  // Bits 31 and 30 of a clock are flags.
  if (const std::uint32_t clock = ReadLe32(vgm, kSn76489ClockField) & 0x3FFFFFFF; clock != 0) psg.clock = clock;
  const std::uint32_t start = DataStart(vgm);
  const std::uint32_t loop_field = ReadLe32(vgm, kLoopOffsetField);
  const std::uint32_t loop = loop_field != 0 ? kLoopOffsetField + loop_field : 0;
  constexpr int kOversample = 4;
  const auto count = static_cast<std::uint32_t>(seconds * rate);
  std::vector<float> out(count, 0.0f);
  std::uint32_t at = start;
  double pending = 0;  // VGM samples to wait before the next command
  bool ended = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    while (!ended && pending <= 0 && at < vgm.size()) {
      const std::uint8_t c = vgm[at];
      if (c == kEndOfData) {
        ended = loop == 0 || loop < start;
        at = loop;
        continue;
      }
      const std::uint32_t length = CommandLength(vgm, at);
      if (length == 0) {
        at = static_cast<std::uint32_t>(vgm.size());  // a command cut off by the end ends the song
        break;
      }
      if (c == kSn76489Write) psg.Write(vgm[at + 1]);
      if (c == kGameGearStereo) psg.routing = vgm[at + 1];
      pending += WaitSamples(&vgm[at]);
      at += length;
    }
    if (ended || at >= vgm.size()) break;
    double sum = 0;
    for (int k = 0; k < kOversample; ++k) sum += psg.Step(1.0 / (rate * kOversample));
    out[i] = static_cast<float>(sum / kOversample);
    pending -= 44100.0 / rate;
  }
  return out;
}

}  // namespace brevox::audio
