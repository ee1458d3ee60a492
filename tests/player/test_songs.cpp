#include "test_songs.h"

#include "format/vgm_commands.h"
#include "vgm_writer.h"

namespace brevox::audio {
namespace {

constexpr std::uint32_t kHalfSecond = kVgmRate / 2;

// Half a second of waiting, spelt one of four ways by `kind`.
void WaitHalfSecond(VgmWriter& vgm, std::uint32_t kind) {
  switch (kind % 4) {
    case 0:
      for (int i = 0; i < 30; ++i) vgm.Wait62();
      break;
    case 1:
      for (int i = 0; i < 25; ++i) vgm.Wait63();
      break;
    case 2:
      vgm.Wait61(20000).Wait61(2000).WaitShort(16).WaitShort(16).WaitShort(16).WaitShort(2);
      break;
    default:
      for (int i = 0; i < 100; ++i) vgm.WaitShort(16);
      for (int i = 0; i < 50; ++i) vgm.WaitShort(9);
      vgm.Wait61(static_cast<std::uint16_t>(kHalfSecond - 1600 - 450));
      break;
  }
}

}  // namespace

VgmWriter Silent(std::uint32_t header_size, std::uint32_t clock) {
  VgmWriter vgm(header_size, clock);
  for (std::uint8_t channel = 0; channel < 4; ++channel) vgm.Attenuation(channel, 15);
  return vgm;
}

double ToneHz(std::uint16_t n, double clock) { return clock / (32.0 * n); }

std::vector<std::uint8_t> PitchSong() {
  VgmWriter vgm = Silent(0x100);
  for (std::uint8_t i = 0; i < kPitchPeriods.size(); ++i) {
    const auto channel = static_cast<std::uint8_t>(PitchChannel(i));
    if (i > 0) vgm.Attenuation(static_cast<std::uint8_t>(PitchChannel(i - 1)), 15);
    vgm.Tone(channel, kPitchPeriods[i]).Attenuation(channel, 0).Wait(kVgmRate);
  }
  return vgm.Build();
}

namespace {
// kLoudnessStepSeconds at each attenuation of `channel`, set up before in `vgm`.
std::vector<std::uint8_t> AttenuationSteps(VgmWriter& vgm, std::uint8_t channel) {
  const auto step = static_cast<std::uint32_t>(kLoudnessStepSeconds * kVgmRate);
  for (std::uint8_t level = 0; level < 16; ++level) vgm.Attenuation(channel, level).Wait(step);
  return vgm.Build();
}
}  // namespace

std::vector<std::uint8_t> LoudnessSong() {
  VgmWriter vgm = Silent();
  vgm.Tone(0, 254);
  return AttenuationSteps(vgm, 0);
}

std::vector<std::uint8_t> NoiseLoudnessSong(std::uint8_t control) {
  VgmWriter vgm = Silent();
  vgm.Noise(control).Wait(static_cast<std::uint32_t>(kLoudnessStepSeconds * kVgmRate));
  return AttenuationSteps(vgm, 3);
}

std::vector<std::uint8_t> OnOffSong() {
  VgmWriter vgm = Silent();
  vgm.Tone(0, 64).Wait(kVgmRate).Attenuation(0, 0).Wait(kVgmRate).Attenuation(0, 15).Wait(kHalfSecond);
  return vgm.Build();
}

std::vector<std::uint8_t> PalClockSong() {
  VgmWriter vgm = Silent(kVgmHeaderSize, kPalClock);
  vgm.Tone(0, 254).Attenuation(0, 0).Wait(kVgmRate);
  return vgm.Build();
}

namespace {

// The every-command song's commands, with the samples they wait.
VgmWriter EveryCommand(std::uint64_t* waited) {
  VgmWriter vgm = Silent();
  vgm.Tone(1, kEveryCommandTone).Attenuation(1, 0);
  const std::uint64_t before = vgm.samples();
  for (unsigned byte = 0; byte < 256; ++byte) {
    const auto command = static_cast<std::uint8_t>(byte);
    if (command == kSn76489Write || command == kEndOfData) continue;
    if (command == kDataBlock) {
      std::vector<std::uint8_t> block = {kDataBlock, 0x66, kYm2612PcmBlockType, 16, 0, 0, 0};
      block.insert(block.end(), 16, kEndOfData);
      vgm.Raw(block);
    } else if (command == kWaitSamples) {
      vgm.Raw({kWaitSamples, 0, 0});
    } else if (command == kWait735 || command == kWait882 || IsShortWait(command) || IsDacWrite(command)) {
      const std::uint8_t one[1] = {command};
      vgm.Raw({command}, WaitSamples(one));
    } else {
      std::vector<std::uint8_t> entry(1 + kVgmCommands[command].operands, kEndOfData);
      entry[0] = command;
      vgm.Raw(entry);
    }
  }
  *waited = vgm.samples() - before;
  return vgm;
}

}  // namespace

double EveryCommandSeconds() {
  std::uint64_t waited = 0;
  EveryCommand(&waited);
  return static_cast<double>(waited) / kVgmRate + 0.5;
}

std::vector<std::uint8_t> EveryCommandSong() {
  std::uint64_t waited = 0;
  VgmWriter vgm = EveryCommand(&waited);
  vgm.WaitSeconds(0.5).Tone(1, kEveryCommandLastTone).WaitSeconds(0.5);
  return vgm.Build();
}

std::vector<std::uint8_t> OtherChipsSong() {
  VgmWriter vgm = Silent();
  // With the chips' clocks set libgme plays their writes: none of these keys a note on.
  vgm.Header(kYm2413ClockField, kYm2413Clock)
      .Header(kYm2612ClockField, kYm2612Clock)
      .Header(kYm2151ClockField, kYm2151Clock);
  std::vector<std::uint8_t> block = {0x67, 0x66, 0x00, 0x2C, 0x01, 0x00, 0x00};  // 300 bytes of PCM
  // Bytes that look like commands, so that a block not skipped whole goes astray.
  for (std::uint32_t i = 0; i < 300; ++i) block.push_back(i % 3 == 0 ? 0x50 : i % 3 == 1 ? 0x90 : 0x61);
  vgm.Raw(block).Tone(0, 64);
  // The first second: FM writes and 2940 DAC waits of 15 samples.
  vgm.Raw({0x51, 0x0E, 0x00, 0x52, 0x22, 0x00, 0x53, 0x30, 0x71, 0x54, 0x0F, 0x00, 0xE0, 0x00, 0x00, 0x00, 0x00});
  for (std::uint32_t i = 0; i < 2940; ++i) vgm.Raw({0x8F}, 15);
  vgm.Attenuation(0, 0);
  // The second: FM writes between ordinary waits, and 0x80 (a DAC write with no wait).
  for (std::uint32_t i = 0; i < 60; ++i) {
    vgm.Raw({0x52, 0x2A, 0x80, 0x80, 0x80, 0x54, 0x20, 0xC7, 0x51, 0x10, 0x55}).Wait62();
  }
  vgm.Attenuation(0, 15).Wait(kHalfSecond);
  return vgm.Build();
}

std::vector<std::uint8_t> DriftSong() {
  VgmWriter vgm = Silent();
  vgm.Tone(0, 64);
  const auto halves = static_cast<std::uint32_t>(kDriftSeconds * 2);
  for (std::uint32_t half = 0; half < halves; ++half) {
    WaitHalfSecond(vgm, half);
    vgm.Attenuation(0, half % 2 == 0 ? 0 : 15);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> LoopSong(bool looping) {
  VgmWriter vgm = Silent();
  const auto segment = static_cast<std::uint32_t>(kLoopSegmentSeconds * kVgmRate);
  vgm.Attenuation(0, 0).Tone(0, kIntroPeriod).Wait(segment);
  if (looping) vgm.Loop();
  for (const std::uint16_t n : kLoopPeriods) vgm.Tone(0, n).Wait(segment);
  return vgm.Build();
}

std::vector<std::uint8_t> NoiseSong() {
  VgmWriter vgm = Silent();
  vgm.Attenuation(3, 0);
  std::uint16_t tone2_period = 0;
  for (const NoiseSegment& segment : kNoiseSegments) {
    if (segment.tone2_period != tone2_period) vgm.Tone(2, segment.tone2_period);
    tone2_period = segment.tone2_period;
    vgm.Noise(segment.control).Wait(kVgmRate);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> SlowPeriodicNoiseSong() {
  VgmWriter vgm = Silent();
  vgm.Tone(2, kSlowNoisePeriod);
  double at = 0;
  for (const double write : kNoiseWriteSeconds) {
    if (at < kTone2RewriteSeconds && kTone2RewriteSeconds < write) {
      vgm.WaitUntil(kTone2RewriteSeconds);
      vgm.Tone(2, kSlowNoisePeriod);
    }
    vgm.WaitUntil(write);
    vgm.Noise(0x3).Attenuation(3, 0);
    at = write;
  }
  vgm.WaitUntil(1.6);
  return vgm.Build();
}

std::vector<std::uint8_t> ShortPeriodSong(bool zero_means_1024) {
  VgmWriter vgm = Silent();
  vgm.Sn76489Flags(zero_means_1024 ? 0x01 : 0x00);
  vgm.Tone(0, 0).Attenuation(0, 0).Wait(kVgmRate);
  vgm.Attenuation(0, 15).Tone(1, kInaudiblePeriod).Attenuation(1, 0).Wait(kVgmRate);
  return vgm.Build();
}

std::vector<std::uint8_t> StereoSong() {
  VgmWriter vgm = Silent();
  vgm.Stereo(0x12).Tone(0, 254).Tone(1, 127).Attenuation(0, 0).Attenuation(1, 0).Wait(kVgmRate);
  return vgm.Build();
}

}  // namespace brevox::audio
