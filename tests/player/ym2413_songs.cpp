#include "ym2413_songs.h"

#include <cmath>

#include "test_songs.h"
#include "ym2612_songs.h"
#include "ym2612_writer.h"

namespace brevox::audio {
namespace {

// `instrument` at `volume` on `channel`, keyed at `pitch` for `seconds` less 50 ms.
void PlayNote(VgmWriter& vgm, Ym2413Writer& opll, std::uint8_t channel, std::uint8_t instrument,
              const OpllPitch& pitch, double seconds) {
  opll.Instrument(channel, instrument).Note(channel, pitch.block, pitch.fnumber);
  vgm.WaitSeconds(seconds - 0.05);
  opll.KeyOff(channel);
  vgm.WaitSeconds(0.05);
}

}  // namespace

double OpllMultiple(std::uint8_t multiple) {
  constexpr double kTimes[16] = {0.5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 12, 12, 15, 15};
  return kTimes[multiple & 15];
}

double OpllHz(std::uint8_t block, std::uint16_t fnumber, std::uint8_t multiple, double clock) {
  return fnumber * std::ldexp(1.0, block) * clock / (72.0 * std::ldexp(1.0, 19)) * OpllMultiple(multiple);
}

std::vector<std::uint8_t> OpllPitchSong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  opll.CustomInstrument(kSineInstrument);
  for (std::uint32_t i = 0; i < 2 * kOpllPitches.size(); ++i) {
    const std::uint32_t note = i % kOpllPitches.size();
    PlayNote(vgm, opll, static_cast<std::uint8_t>(note), 0, kOpllPitches[note], kOpllNoteSeconds);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> RomInstrumentSong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  for (std::uint32_t i = 0; i < kRomInstrumentNotes.size(); ++i) {
    const RomInstrumentNote& n = kRomInstrumentNotes[i];
    PlayNote(vgm, opll, static_cast<std::uint8_t>(i % 9), n.instrument, n.pitch, kOpllNoteSeconds);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> OpllVolumeSong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  opll.CustomInstrument(kSineInstrument).Note(0, 4, 290);
  for (std::uint8_t volume = 0; volume <= kLastVolume; ++volume) {
    opll.Instrument(0, 0, volume);
    vgm.WaitSeconds(kVolumeStepSeconds);
  }
  return vgm.Build();
}

std::vector<std::uint8_t> OpllKeySong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  opll.CustomInstrument(kSineInstrument).Instrument(3, 0);
  vgm.WaitUntil(1.0);
  opll.Note(3, kOpllEdgePitch.block, kOpllEdgePitch.fnumber);
  vgm.WaitUntil(2.0);
  opll.KeyOff(3);
  vgm.WaitUntil(2.5);
  return vgm.Build();
}

std::vector<std::uint8_t> OpllAttackSong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  opll.CustomInstrument(kAttackInstrument).Instrument(0, 0);
  vgm.WaitUntil(kAttackKeyOn);
  opll.Note(0, kAttackPitch.block, kAttackPitch.fnumber);
  vgm.WaitUntil(kAttackKeyOff);
  opll.KeyOff(0);
  return vgm.Build();
}

std::vector<std::uint8_t> FmAttackYardstickSong() {
  VgmWriter vgm = Silent();
  Ym2612Writer fm(vgm);
  FmPatch patch = SinePatch();
  patch.operators[3].attack_rate = 17;
  fm.Patch(0, patch).Pan(0, true, true).Frequency(0, 5, 1120);  // 910 Hz, key code 22
  vgm.WaitUntil(kAttackKeyOn);
  fm.Key(0);
  vgm.WaitUntil(kAttackKeyOff);
  fm.KeyOff(0);
  return vgm.Build();
}

std::vector<std::uint8_t> SustainSong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  opll.CustomInstrument(kReleaseInstrument).Instrument(1, 0).Note(1, 4, 290);
  vgm.WaitUntil(kReleaseKeyOff[0]);
  opll.KeyOff(1);
  vgm.WaitUntil(kSustainKeyOn);
  opll.Note(1, 4, 290, true, true);
  vgm.WaitUntil(kReleaseKeyOff[1]);
  opll.KeyOff(1);
  vgm.WaitUntil(kReleaseSongEnd);
  return vgm.Build();
}

double DrumStart(std::uint32_t pass, std::uint32_t drum) {
  return kFirstDrum + (pass * kDrums.size() + drum) * kDrumSlotSeconds;
}

std::vector<std::uint8_t> RhythmSong() {
  VgmWriter vgm = Silent();
  Ym2413Writer opll(vgm);
  opll.CustomInstrument(kSineInstrument);
  PlayNote(vgm, opll, 0, 0, {4, 290}, 0.35);
  for (std::uint8_t channel = 6; channel < 9; ++channel) {
    opll.Note(channel, kDrumPitches[channel - 6].block, kDrumPitches[channel - 6].fnumber, false);
  }
  opll.Rhythm();
  for (std::uint32_t pass = 0; pass < 2; ++pass) {
    const std::uint8_t volume = pass == 0 ? 0 : kQuietDrumVolume;
    opll.Drums({volume, volume, volume, volume, volume});
    for (std::uint32_t drum = 0; drum < kDrums.size(); ++drum) {
      vgm.WaitUntil(DrumStart(pass, drum));
      opll.Rhythm(kDrums[drum].key);
      vgm.WaitSeconds(kDrumKeySeconds);
      opll.Rhythm();
    }
  }
  vgm.WaitUntil(DrumStart(2, 0));
  return vgm.Build();
}

}  // namespace brevox::audio
