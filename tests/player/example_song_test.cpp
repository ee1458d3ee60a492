// The bundled example song through libgme, from the VGM itself (which proves the check)
// and from the SPC image that brevox writes: the YM2612's melody and the SN76489's bass
// are both heard, each note at its pitch, through the first pass and the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis.h"
#include "example_song.h"
#include "harness.h"
#include "vgm_writer.h"

namespace brevox::audio {
namespace {

using example::Note;

constexpr double kStepSeconds = static_cast<double>(example::kSamplesPerStep) / kVgmRate;
constexpr double kSongSeconds = example::kSongSteps * kStepSeconds;
// A note is measured clear of its attack and of the key-off before the next one (and of
// libgme's lag on YM2612 songs, 0.06%: 15 ms by the end of the loop).
constexpr double kEdge = 0.03;
// Where a note's pitch is looked for: two semitones either side of it.
const double kSearchRatio = std::pow(2.0, 2.0 / 12);

// Each note of `part`, in the pass of the song that starts at `from` seconds: the
// strongest component near the note lies within 1% of it and at most 20 dB below the
// loudest component of the mix (a silent part leaves only the other part's overtones).
void ExpectNotesHeard(const Rendering& r, const std::vector<Note>& part, double from, const std::string& label) {
  double worst_error_percent = 0;
  double quietest_db = 0;
  double at = from;
  for (const Note& note : part) {
    const double seconds = note.steps * kStepSeconds;
    if (note.key != example::kRest) {
      const std::uint32_t begin = At(at + kEdge);
      // A length of small prime factors keeps the transforms fast.
      const std::uint32_t count = At(seconds - 2 * kEdge) / 512 * 512;
      const double hz = example::KeyHz(note.key);
      const double peak = PeakFrequency(r.mono, begin, count, kRate, hz / kSearchRatio, hz * kSearchRatio);
      const double loudest = PeakFrequency(r.mono, begin, count, kRate, 50, 8000);
      const double level =
          Decibels(MagnitudeAt(r.mono, begin, count, kRate, hz), MagnitudeAt(r.mono, begin, count, kRate, loudest));
      const double error_percent = 100 * (peak - hz) / hz;
      worst_error_percent = std::max(worst_error_percent, std::fabs(error_percent));
      quietest_db = std::min(quietest_db, level);
      EXPECT_NEAR(peak, hz, 0.01 * hz) << label << ": key " << +note.key << " at " << at << " s";
      EXPECT_GT(level, -20) << label << ": key " << +note.key << " at " << at << " s";
    }
    at += seconds;
  }
  std::printf("%s: worst pitch error %.2f%%, quietest note %+.1f dB against the loudest component\n", label.c_str(),
              worst_error_percent, quietest_db);
}

class ExampleSong : public ::testing::TestWithParam<Source> {};

TEST_P(ExampleSong, PlaysTheFmMelodyAndThePsgBassThroughTheLoop) {
  const Rendering r = RenderSong(GetParam(), example::ExampleSong(), 2 * kSongSeconds);
  ASSERT_EQ(r.error, "");
  for (const int pass : {0, 1}) {
    const std::string name = std::string(SourceName(GetParam())) + (pass == 0 ? " first pass" : " loop");
    ExpectNotesHeard(r, example::FmMelody(), pass * kSongSeconds, name + " YM2612 melody");
    ExpectNotesHeard(r, example::PsgBass(), pass * kSongSeconds, name + " SN76489 bass");
  }
}

INSTANTIATE_TEST_SUITE_P(Through, ExampleSong, ::testing::Values(Source::kVgm, Source::kSpc),
                         [](const ::testing::TestParamInfo<Source>& info) {
                           return std::string(SourceName(info.param));
                         });

}  // namespace
}  // namespace brevox::audio
