#include "ym2612_songs.h"

#include <algorithm>
#include <cmath>

#include "test_songs.h"

namespace brevox::audio {
namespace {

constexpr std::uint8_t kCarrier = 4;
constexpr std::uint8_t kDacChannel = 5;
// Periodic noise shifted at clock / 512.
constexpr std::uint8_t kPeriodicNoise = 0x00;

// Keys `channel` on for `on` seconds, then off for `off` seconds.
void PlayNote(VgmWriter& vgm, Ym2612Writer& fm, std::uint8_t channel, double on, double off) {
  fm.Key(channel);
  vgm.WaitSeconds(on);
  fm.KeyOff(channel);
  vgm.WaitSeconds(off);
}

// `patch` on `channel` at `pitch`, heard on both sides.
void Prepare(Ym2612Writer& fm, std::uint8_t channel, const FmPatch& patch, const FmPitch& pitch) {
  fm.Patch(channel, patch).Pan(channel, true, true).Frequency(channel, pitch.block, pitch.fnumber);
}

}  // namespace

double FmHz(std::uint8_t block, std::uint16_t fnumber, std::uint8_t multiple, double clock) {
  const double times = multiple == 0 ? 0.5 : multiple;
  return fnumber * std::ldexp(1.0, block) * clock / (144.0 * std::ldexp(1.0, 21)) * times;
}

FmPatch SinePatch(std::uint8_t level, std::uint8_t multiple) {
  FmPatch patch;
  for (std::uint8_t op = 0; op < 3; ++op) patch.operators[op].total_level = 127;
  patch.operators[kCarrier - 1].total_level = level;
  patch.operators[kCarrier - 1].multiple = multiple;
  return patch;
}

std::vector<std::uint8_t> FmPitchSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  for (std::uint32_t pass = 0; pass < 2; ++pass) {
    for (std::uint32_t i = 0; i < kFmPitches.size(); ++i) {
      const auto channel = static_cast<std::uint8_t>(i % 6);
      Prepare(fm, channel, SinePatch(0, kFmPitches[i].multiple), kFmPitches[i]);
      PlayNote(vgm, fm, channel, kFmNoteSeconds - 0.05, 0.05);
    }
  }
  return vgm.Build();
}

std::vector<std::uint8_t> FmLevelSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  Prepare(fm, 0, SinePatch(), {4, 1083, 1});
  fm.Key(0);
  for (std::uint8_t level = 0; level <= kLastLevel; ++level) {
    fm.TotalLevel(0, kCarrier, level);
    vgm.WaitSeconds(kLevelStepSeconds);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> FmKeySong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  Prepare(fm, 1, SinePatch(), kEdgePitch);
  vgm.Wait(kVgmRate);
  PlayNote(vgm, fm, 1, 1.0, 0.5);
  return vgm.Build();
}

std::vector<std::uint8_t> FmPanSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  Prepare(fm, 0, SinePatch(), kLeftPitch);
  Prepare(fm, 4, SinePatch(), kRightPitch);
  fm.Pan(0, true, false).Pan(4, false, true).Key(0).Key(4);
  vgm.Wait(kVgmRate);
  return vgm.Build();
}

std::vector<std::uint8_t> FmAlgorithmSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  FmPatch patch;
  for (FmOperator& op : patch.operators) op.total_level = kAlgorithmLevel;
  for (const std::uint8_t algorithm : {7, 0}) {
    patch.algorithm = algorithm;
    Prepare(fm, 0, patch, kAlgorithmPitch);
    PlayNote(vgm, fm, 0, 0.5, 0.1);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> FmBrightnessSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  FmPatch patch = SinePatch();
  patch.algorithm = 0;
  for (const std::uint8_t modulator : {kBrightModulatorLevel, std::uint8_t{127}}) {
    patch.operators[2].total_level = modulator;
    Prepare(fm, 0, patch, kAlgorithmPitch);
    PlayNote(vgm, fm, 0, 0.5, 0.1);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> FmModulatorAttackSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  FmPatch patch = SinePatch();
  patch.algorithm = 0;
  patch.operators[2].total_level = kBrightModulatorLevel;
  patch.operators[2].attack_rate = kSlowModulatorAttack;
  Prepare(fm, 0, patch, kAlgorithmPitch);
  PlayNote(vgm, fm, 0, 0.5, kSecondAttackNote - 0.5);
  PlayNote(vgm, fm, 0, 0.5, 0.1);
  return vgm.Build();
}

std::vector<std::uint8_t> DacSines() {
  const double pi = std::acos(-1.0);
  std::vector<std::uint8_t> bank;
  for (const double hz : kDacSineHz) {
    for (std::uint32_t i = 0; i < kDacRate; ++i) {
      bank.push_back(static_cast<std::uint8_t>(std::lround(128 + 100 * std::sin(2 * pi * hz * i / kDacRate))));
    }
  }
  return bank;
}

std::vector<std::uint8_t> DacWriteSong() {
  static_assert(kVgmRate / 4 == kDacRate, "0x84 writes must play the bank at kDacRate");
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  fm.PcmBlock(DacSines()).Pan(kDacChannel, true, true).Dac(true);
  for (const std::uint32_t start : {kDacRate, 0u}) {
    fm.Seek(start);
    for (std::uint32_t i = 0; i < kDacRate; ++i) fm.DacWrite(4);
  }
  vgm.Wait(kVgmRate);
  return vgm.Build();
}

std::vector<std::uint8_t> DacStreamSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  const std::vector<std::uint8_t> bank = DacSines();
  fm.PcmBlock({bank.begin(), bank.begin() + kDacRate}).PcmBlock({bank.begin() + kDacRate, bank.end()});
  fm.Pan(kDacChannel, true, true).Dac(true).StreamSetup(0).StreamData(0).StreamFrequency(0, kDacRate);
  fm.StreamStart(0, kDacRate, StreamLength::kWrites, kDacRate);
  vgm.Wait(kVgmRate);
  fm.StreamBlock(0, 0);
  vgm.Wait(kVgmRate);
  fm.StreamBlock(0, 1, kStreamLoop);
  vgm.WaitSeconds(1.5);
  fm.StreamStop(0);
  vgm.Wait(kVgmRate);
  return vgm.Build();
}

double ChordHz(std::uint32_t note) {
  const ChordNote& n = kChord[note];
  if (n.fm) return FmHz(4, n.pitch);
  // A periodic noise repeats every 16 shifts.
  return n.channel == 3 ? kPsgClock / 512.0 / 16 : ToneHz(n.pitch);
}

std::vector<std::uint8_t> ChordSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  for (const ChordNote& n : kChord) {
    if (n.fm) {
      Prepare(fm, n.channel, SinePatch(n.level), {4, n.pitch, 1});
    } else if (n.channel < 3) {
      vgm.Tone(n.channel, n.pitch);
    } else {
      vgm.Noise(kPeriodicNoise);
    }
  }
  const auto sound = [&vgm, &fm](const ChordNote& n, bool on) {
    if (n.fm) {
      fm.Key(n.channel, on ? kAllOperators : 0);
    } else {
      vgm.Attenuation(n.channel, on ? n.level : 15);
    }
  };
  for (const ChordNote& n : kChord) {
    sound(n, true);
    vgm.WaitSeconds(kChordAloneSeconds);
    sound(n, false);
    vgm.WaitSeconds(kChordSlotSeconds - kChordAloneSeconds);
  }
  vgm.WaitUntil(kChordTogether);
  for (const ChordNote& n : kChord) sound(n, true);
  vgm.Wait(kVgmRate);
  for (const ChordNote& n : kChord) sound(n, false);
  vgm.WaitUntil(kChordEnd);
  return vgm.Build();
}

std::vector<std::uint8_t> DenseSong() {
  constexpr std::uint8_t kBlock = 6;
  constexpr std::uint32_t kNotesPerLoop = 6;  // one per channel
  static_assert(DenseNoteOn(kNotesPerLoop) - DenseNoteOn(0) == kDenseLoopSeconds, "notes must repeat with the loop");
  constexpr std::uint16_t kFnumbers[6] = {700, 790, 880, 960, 1040, 1130};  // 1138-1837 Hz
  const double pi = std::acos(-1.0);
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  for (std::uint8_t channel = 0; channel < 6; ++channel) {
    Prepare(fm, channel, SinePatch(), {kBlock, kFnumbers[channel], 1});
  }
  vgm.Loop();
  const std::uint32_t end = VgmSamples(kDenseLoopSeconds);
  std::uint32_t next_write = 0, note = 0;
  bool sounding = false;
  for (;;) {
    const double key_seconds = DenseNoteOn(note) + (sounding ? kDenseNoteSeconds : 0);
    const std::uint32_t next_key = note < kNotesPerLoop ? VgmSamples(key_seconds) : end;
    const std::uint32_t now = std::min({next_write, next_key, end});
    vgm.Wait(now - static_cast<std::uint32_t>(vgm.samples()));
    if (now == end) break;
    if (now == next_write) {
      const auto step = static_cast<std::uint8_t>(now / kDenseStep % 2);
      for (std::uint8_t channel = 0; channel < 6; ++channel) {
        const bool vibrato = channel % 2 == 0;
        const double bend = vibrato ? 1 + 0.01 * std::sin(2 * pi * 5.5 * now / kVgmRate + channel) : 1;
        const auto fnumber = static_cast<std::uint16_t>(std::lround(kFnumbers[channel] * bend));
        fm.Frequency(channel, kBlock, fnumber).TotalLevel(channel, kCarrier, vibrato ? step : 0);
      }
      next_write += kDenseStep;
    }
    if (now == next_key) {
      fm.Key(static_cast<std::uint8_t>(note), sounding ? 0 : kAllOperators);
      if (sounding) ++note;
      sounding = !sounding;
    }
  }
  return vgm.Build();
}

}  // namespace brevox::audio
