#include "ym2151_songs.h"

#include <cmath>

#include "test_songs.h"
#include "ym2151_writer.h"
#include "ym2612_songs.h"

namespace brevox::audio {
namespace {

constexpr std::uint8_t kCarrier = 4;  // C2

// A carrier at `multiple` and TL `level` alone (see SinePatch).
OpmPatch Sine(std::uint8_t level = 0, std::uint8_t multiple = 1) { return {SinePatch(level, multiple), {}}; }

// `patch` on `channel` at `pitch`, heard on both sides.
void Prepare(Ym2151Writer& opm, std::uint8_t channel, const OpmPatch& patch, const OpmPitch& pitch) {
  opm.Patch(channel, patch).Pan(channel, true, true).Pitch(channel, pitch.octave, pitch.note, pitch.fraction);
}

}  // namespace

double OpmHz(const OpmPitch& pitch, double clock) {
  const int semitones = 12 * pitch.octave + pitch.note - pitch.note / 4;
  const double times = pitch.multiple == 0 ? 0.5 : pitch.multiple;
  return 440 * std::exp2((semitones - 56 + pitch.fraction / 64.0) / 12) * clock / kYm2151Clock * times;
}

std::vector<std::uint8_t> OpmPitchSong() {
  VgmWriter vgm = Silent();
  Ym2151Writer opm(vgm);
  for (std::uint32_t i = 0; i < kOpmPitches.size(); ++i) {
    const auto channel = static_cast<std::uint8_t>(i % 8);
    Prepare(opm, channel, Sine(0, kOpmPitches[i].multiple), kOpmPitches[i]);
    opm.Key(channel);
    vgm.WaitSeconds(kOpmNoteSeconds - 0.05);
    opm.KeyOff(channel);
    vgm.WaitSeconds(0.05);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> OpmLevelSong() {
  VgmWriter vgm = Silent();
  Ym2151Writer opm(vgm);
  Prepare(opm, 0, Sine(), {4, 10, 0, 1});
  opm.Key(0);
  for (std::uint8_t level = 0; level <= kLastLevel; ++level) {
    opm.TotalLevel(0, kCarrier, level);
    vgm.WaitSeconds(kLevelStepSeconds);
  }
  return vgm.Build();
}

namespace {

// OpmKeySong's note, prepared now: kOpmEdgePitch on channel 2 from 1 s to 2 s; the song
// ends at 2.5 s.
std::vector<std::uint8_t> EndWithTheKeyNote(VgmWriter& vgm, Ym2151Writer& opm) {
  Prepare(opm, 2, Sine(), kOpmEdgePitch);
  vgm.WaitUntil(1.0);
  opm.Key(2);
  vgm.WaitUntil(2.0);
  opm.KeyOff(2);
  vgm.WaitUntil(2.5);
  return vgm.Build();
}

}  // namespace

std::vector<std::uint8_t> OpmKeySong() {
  VgmWriter vgm = Silent();
  Ym2151Writer opm(vgm);
  return EndWithTheKeyNote(vgm, opm);
}

namespace {

struct PatchBurst {
  double key_off;  // the eight notes' release
  std::uint32_t passes;
  double start;
  std::uint32_t spacing;  // samples from one write to the next
};

std::vector<std::uint8_t> PatchBurstSong(const PatchBurst& burst) {
  VgmWriter vgm = Silent();
  Ym2151Writer opm(vgm);
  for (std::uint8_t channel = 0; channel < 8; ++channel) {
    Prepare(opm, channel, Sine(127), kOpmEdgePitch);
    opm.Key(channel);
  }
  const auto release_the_notes = [&] {
    vgm.WaitUntil(burst.key_off);
    for (std::uint8_t channel = 0; channel < 8; ++channel) opm.KeyOff(channel);
  };
  const bool released_first = burst.key_off < burst.start;
  if (released_first) release_the_notes();
  vgm.WaitUntil(burst.start);
  // Per pass, the value of each operator register block (0x40 DT1/MUL ... 0xE0 D1L/RR),
  // then of 0x20 (both sides kept), 0x28 and 0x30.
  constexpr std::uint8_t kOperatorValues[2][6] = {{0x02, 0x60, 0x1E, 0x03, 0x01, 0x1E},
                                                  {0x13, 0x50, 0x5F, 0x05, 0x42, 0x2F}};
  constexpr std::uint8_t kChannelValues[2][3] = {{0xC5, 0x3A, 0x10}, {0xFC, 0x4E, 0x80}};
  for (std::uint32_t pass = 0; pass < burst.passes; ++pass) {
    for (std::uint8_t channel = 0; channel < 8; ++channel) {
      for (std::uint8_t block = 0; block < 6; ++block) {
        for (std::uint8_t op = 0; op < 4; ++op) {
          opm.Write(static_cast<std::uint8_t>(0x40 + 0x20 * block + 8 * op + channel), kOperatorValues[pass % 2][block]);
          vgm.Wait(burst.spacing);
        }
      }
      for (std::uint8_t reg = 0; reg < 3; ++reg) {
        opm.Write(static_cast<std::uint8_t>(0x20 + 8 * reg + channel), kChannelValues[pass % 2][reg]);
        vgm.Wait(burst.spacing);
      }
    }
  }
  if (!released_first) release_the_notes();
  vgm.WaitUntil(kTestNotePrepared);  // channel 2's release over
  return EndWithTheKeyNote(vgm, opm);
}

}  // namespace

std::vector<std::uint8_t> OpmPatchesBetweenNotesSong() { return PatchBurstSong({0.3, 2, 0.65, 30}); }

std::vector<std::uint8_t> OpmPatchesUnderNotesSong() { return PatchBurstSong({kSoundingKeyOff, 1, 0, 160}); }

std::vector<std::uint8_t> OpmOperatorKeySong() {
  VgmWriter vgm = Silent();
  Ym2151Writer opm(vgm);
  OpmPatch patch;
  for (std::uint32_t op = 0; op < 4; ++op) patch.fm.operators[op].multiple = kKeyedMultiples[op];
  Prepare(opm, 0, patch, kOpmKeyedPitch);
  for (std::uint32_t slot = 0; slot < 8; ++slot) {
    vgm.WaitUntil(slot * kKeyedSlotSeconds);
    opm.Key(0, static_cast<std::uint8_t>(1u << (slot % 4)));
    vgm.WaitUntil(slot * kKeyedSlotSeconds + kKeyedSeconds);
    opm.KeyOff(0);
  }
  vgm.WaitUntil(8 * kKeyedSlotSeconds);
  return vgm.Build();
}

std::vector<std::uint8_t> OpmPanSong() {
  VgmWriter vgm = Silent();
  Ym2151Writer opm(vgm);
  Prepare(opm, 0, Sine(), kOpmLeftPitch);
  Prepare(opm, 5, Sine(), kOpmRightPitch);
  opm.Pan(0, true, false).Pan(5, false, true).Key(0).Key(5);
  vgm.WaitSeconds(1.0);
  return vgm.Build();
}

}  // namespace brevox::audio
