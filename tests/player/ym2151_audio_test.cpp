// The YM2151 features, heard in the SPC image that brevox writes. libgme renders the
// YM2151 as silence, so unlike the PSG and YM2612 checks these cannot run on the VGM
// itself as well: they run on the SPC image only. The songs and checks were proven
// instead on the ymfm emulator's rendering of the same VGM files, which passes them all.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "analysis.h"
#include "harness.h"
#include "tone_checks.h"
#include "vgm_commands.h"
#include "ym2151_songs.h"
#include "ym2612_songs.h"

namespace brevox::audio {
namespace {

Rendering Render(const std::vector<std::uint8_t>& vgm, double seconds) {
  return RenderSong(Source::kSpc, vgm, seconds);
}

TEST(Ym2151, PitchFollowsKeyCodeKeyFractionAndTheCarriersMultiple) {
  const Rendering r = Render(OpmPitchSong(), kOpmNoteSeconds * kOpmPitches.size());
  ASSERT_EQ(r.error, "");
  for (std::uint32_t i = 0; i < kOpmPitches.size(); ++i) {
    const OpmPitch& p = kOpmPitches[i];
    char label[96];
    std::snprintf(label, sizeof label, "pitch octave %u code %u KF %u MUL %u (channel %u)", p.octave, p.note,
                  p.fraction, p.multiple, i % 8);
    ExpectPitch(r, i * kOpmNoteSeconds + 0.05, 0.35, OpmHz(p), label);
  }
}

TEST(Ym2151, CarrierTotalLevelStepsAreThreeQuartersOfADecibel) {
  const Rendering r = Render(OpmLevelSong(), (kLastLevel + 1) * kLevelStepSeconds);
  ASSERT_EQ(r.error, "");
  ExpectLevelSteps(r, kLevelStepSeconds, kLastLevel + 1, 0.75, "TL");
}

TEST(Ym2151, KeyOnAndKeyOffEdgesAreOnTime) {
  const Rendering r = Render(OpmKeySong(), 2.5);
  ASSERT_EQ(r.error, "");
  ExpectKeyEdges(r, 1.0, 2.0, "key");
}

// 432 writes to released channels in the 300 ms before a key-on: a player that worked
// on every write's channel as if it sounded (a waveform lookup and a pitch each) would
// still be busy with them at the key-on, hundreds of milliseconds late.
TEST(Ym2151, PatchesWrittenBetweenNotesLeaveTheNextKeyOnOnTime) {
  const Rendering r = Render(OpmPatchesBetweenNotesSong(), 2.5);
  ASSERT_EQ(r.error, "");
  ExpectKeyEdges(r, 1.0, 2.0, "key after patch writes");
}

// 216 writes to sounding notes, 3.6 ms apart, in the 0.8 s before a key-on: a new
// waveform for each costs more than that, so behind the song a sounding note keeps its
// waveform and the player catches up (with a new waveform for every write the key-on
// came 333 ms late).
TEST(Ym2151, PatchesRewrittenUnderSoundingNotesLeaveTheNextKeyOnOnTime) {
  const Rendering r = Render(OpmPatchesUnderNotesSong(), 2.5);
  ASSERT_EQ(r.error, "");
  ExpectKeyEdges(r, 1.0, 2.0, "key after patch writes under notes");
}

// Register 0x08 keys each operator by its own bit (M1, C1, M2, C2 in bits 3-6): with all
// four operators carriers at distinct multiples, keying one sounds only its partial.
TEST(Ym2151, KeyOnBitsSoundTheirOwnOperators) {
  const Rendering r = Render(OpmOperatorKeySong(), 8 * kKeyedSlotSeconds);
  ASSERT_EQ(r.error, "");
  const char* names[4] = {"M1", "C1", "M2", "C2"};
  for (std::uint32_t op = 0; op < 4; ++op) {
    OpmPitch pitch = kOpmKeyedPitch;
    pitch.multiple = kKeyedMultiples[op];
    const std::string label = std::string("operator ") + names[op] + " keyed alone (MUL " +
                              std::to_string(kKeyedMultiples[op]) + ")";
    ExpectPitch(r, (4 + op) * kKeyedSlotSeconds + 0.05, kKeyedSeconds - 0.1, OpmHz(pitch), label);
  }
}

TEST(Ym2151, RlBitsRouteEachChannelToItsSide) {
  const Rendering r = Render(OpmPanSong(), 1.0);
  ASSERT_EQ(r.error, "");
  ExpectSidesApart(r, 0.2, 0.6, OpmHz(kOpmLeftPitch), OpmHz(kOpmRightPitch), "pan");
}

// Every generated song reads command by command, by the VGM format's lengths, to its end
// command, and its waits add up to its header's length.
TEST(Ym2151Songs, ReadWholeByTheFormatsCommandLengths) {
  const std::vector<std::uint8_t> songs[] = {OpmPitchSong(),         OpmLevelSong(),       OpmKeySong(),
                                             OpmPatchesBetweenNotesSong(), OpmPatchesUnderNotesSong(), OpmOperatorKeySong(),
                                             OpmPanSong()};
  for (std::uint32_t s = 0; s < std::size(songs); ++s) EXPECT_TRUE(ReadsWhole(songs[s])) << "song " << s;
}

}  // namespace
}  // namespace brevox::audio
