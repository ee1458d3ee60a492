// The SN76489 features, heard through libgme: each check runs on the generated VGM
// itself (which proves the check right) and on the SPC image brevox writes from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "analysis.h"
#include "harness.h"
#include "test_songs.h"
#include "tone_checks.h"
#include "vgm_writer.h"

namespace brevox::audio {
namespace {

class Psg : public ::testing::TestWithParam<Source> {
 protected:
  // The first `seconds` of the song as this test's source plays it.
  Rendering Render(const std::vector<std::uint8_t>& vgm, double seconds) {
    return RenderSong(GetParam(), vgm, seconds);
  }
  const char* name() const { return SourceName(GetParam()); }
};

// Checks that PitchSong's tones, as `r` holds them, peak where the chip's do.
void ExpectPitchSongPitches(const Rendering& r, const char* name) {
  ASSERT_EQ(r.error, "");
  for (std::uint32_t i = 0; i < kPitchPeriods.size(); ++i) {
    const double expected = ToneHz(kPitchPeriods[i]);
    const double hz = PeakFrequency(r.mono, At(i + 0.125), At(0.75), kRate, 50, 15000);
    const double error = 100 * (hz - expected) / expected;
    std::printf("%s pitch tone %u N=%u: %.2f Hz, expected %.2f Hz, error %+.3f%%\n", name, PitchChannel(i),
                kPitchPeriods[i], hz, expected, error);
    EXPECT_NEAR(error, 0, 0.5) << "tone " << PitchChannel(i) << ", N = " << kPitchPeriods[i];
  }
}

TEST_P(Psg, TonesPeakAtClockOver32N) {
  ExpectPitchSongPitches(Render(PitchSong(), static_cast<double>(kPitchPeriods.size())), name());
}

// Bytes after the end command are kept in the image and no header field measures them;
// reaching the top of RAM, they must not be mistaken for pitches already computed.
TEST_P(Psg, BytesAfterTheEndThatReachTheTopOfRamLeaveThePitchesAlone) {
  std::vector<std::uint8_t> song = PitchSong();
  song.resize(song.size() + 60500, 0xFF);
  ExpectPitchSongPitches(Render(song, static_cast<double>(kPitchPeriods.size())), name());
}

TEST_P(Psg, ToneFollowsTheClockInTheHeader) {
  const Rendering r = Render(PalClockSong(), 1.0);
  ASSERT_EQ(r.error, "");
  const double expected = ToneHz(254, kPalClock);
  const double hz = PeakFrequency(r.mono, At(0.125), At(0.75), kRate, 50, 15000);
  std::printf("%s pitch at clock %u: %.2f Hz, expected %.2f Hz, error %+.3f%%\n", name(), kPalClock, hz, expected,
              100 * (hz - expected) / expected);
  EXPECT_NEAR(hz, expected, 0.005 * expected);
}

// Checks that 16 steps of kLoudnessStepSeconds from step `first`, as `r` holds them, fall
// 2 dB each down to silence; `what` names the sound stepped. `loudest`: the first's RMS.
void ExpectTwoDecibelSteps(const Rendering& r, Source source, std::uint32_t first, const std::string& what,
                           double& loudest) {
  ASSERT_EQ(r.error, "");
  std::vector<double> levels;
  for (std::uint32_t v = first; v < first + 16; ++v) {
    // The middle of each step, clear of the change at its start.
    levels.push_back(Rms(r.mono, At((v + 0.2) * kLoudnessStepSeconds), At(0.6 * kLoudnessStepSeconds)));
  }
  loudest = levels[0];
  ASSERT_GT(levels[0], 0.01) << what << ": attenuation 0 is (nearly) silent";
  // libgme's own SN76489 keeps its volumes as whole numbers out of 64 (64, 50, 39, ...
  // 3, 2, 1), so on the VGM only the steps down to attenuation 9 are 2 dB apart.
  const std::uint32_t checked = source == Source::kVgm ? 9 : 14;
  std::string steps;
  for (std::uint32_t v = 0; v < 14; ++v) {
    const double step = Decibels(levels[v], levels[v + 1]);
    steps += " " + std::to_string(step).substr(0, 4);
    if (v < checked) {
      EXPECT_NEAR(step, 2.0, 0.5) << what << " from attenuation " << v << " to " << v + 1;
    }
  }
  const double silent = Decibels(levels[15], levels[0]);
  std::printf("%s %s loudness: level 0 RMS %.4f; steps (dB):%s; level 15 at %.1f dB\n", SourceName(source),
              what.c_str(), levels[0], steps.c_str(), silent);
  EXPECT_LT(silent, -60) << what << ": attenuation 15 is not silent";
}

// The tones and both kinds of noise (each from its own sample) share the 2 dB steps, and
// the periodic noise's narrow pulse sits as far below a tone as libgme's (7.0 dB in RMS).
TEST_P(Psg, AttenuationFallsTwoDecibelsPerStep) {
  double tone = 0;
  double periodic = 0;
  double white = 0;
  ExpectTwoDecibelSteps(Render(LoudnessSong(), 16 * kLoudnessStepSeconds), GetParam(), 0, "tone", tone);
  ExpectTwoDecibelSteps(Render(NoiseLoudnessSong(0x0), 17 * kLoudnessStepSeconds), GetParam(), 1, "periodic noise",
                        periodic);
  ExpectTwoDecibelSteps(Render(NoiseLoudnessSong(0x4), 17 * kLoudnessStepSeconds), GetParam(), 1, "white noise",
                        white);
  std::printf("%s periodic noise against the tone: %.2f dB\n", name(), Decibels(periodic, tone));
  EXPECT_NEAR(Decibels(periodic, tone), -7.0, 0.5);
}

TEST_P(Psg, ToneSwitchedAtOneAndTwoSecondsHasEdgesThere) {
  const Rendering r = Render(OnOffSong(), 2.5);
  ASSERT_EQ(r.error, "");
  const double level = Rms(r.mono, At(1.25), At(0.5));
  ASSERT_GT(level, 0.01) << "the tone is (nearly) silent";
  const std::vector<LevelEdge> edges = LevelEdges(r.mono, kRate, 32, level);
  ASSERT_EQ(edges.size(), 2u) << "expected one start and one stop";
  std::printf("%s edges: on at %.4f s, off at %.4f s\n", name(), edges[0].seconds, edges[1].seconds);
  EXPECT_TRUE(edges[0].rising);
  EXPECT_NEAR(edges[0].seconds, 1.000, 0.002);
  EXPECT_NEAR(edges[1].seconds, 2.000, 0.002);
}

TEST_P(Psg, OtherChipsCommandsAreSkippedWithTheirOperands) {
  const Rendering r = Render(OtherChipsSong(), 2.5);
  ASSERT_EQ(r.error, "");
  const double level = Rms(r.mono, At(1.25), At(0.5));
  ASSERT_GT(level, 0.01) << "the tone is (nearly) silent";
  const double hz = PeakFrequency(r.mono, At(1.125), At(0.75), kRate, 50, 15000);
  const std::vector<LevelEdge> edges = LevelEdges(r.mono, kRate, 32, level);
  std::printf("%s other chips: %.2f Hz (expected %.2f), %u edges, first at %.4f s, last at %.4f s\n", name(), hz,
              ToneHz(64), static_cast<std::uint32_t>(edges.size()), edges.empty() ? 0.0 : edges.front().seconds,
              edges.empty() ? 0.0 : edges.back().seconds);
  EXPECT_NEAR(hz, ToneHz(64), 0.005 * ToneHz(64));
  ASSERT_EQ(edges.size(), 2u) << "expected one start and one stop";
  EXPECT_NEAR(edges[0].seconds, 1.000, 0.002);
  EXPECT_NEAR(edges[1].seconds, 2.000, 0.002);
}

// The player reads every command of the packed stream with as many operand bytes as the
// converter writes: a misread command would end the song early or swallow the tone change.
TEST_P(Psg, EveryCommandIsReadWithItsOperands) {
  if (GetParam() == Source::kVgm) GTEST_SKIP() << "libgme misreads some VGM commands' operands (the DAC streams')";
  const double change = EveryCommandSeconds();
  const Rendering r = Render(EveryCommandSong(), change + 0.5);
  ASSERT_EQ(r.error, "");
  const double first = PeakFrequency(r.mono, At(change - 0.45), At(0.4), kRate, 50, 15000);
  const double last = PeakFrequency(r.mono, At(change + 0.05), At(0.4), kRate, 50, 15000);
  std::printf("%s every command: %.2f Hz then %.2f Hz from %.3f s (expected %.2f, %.2f)\n", name(), first, last,
              change, ToneHz(kEveryCommandTone), ToneHz(kEveryCommandLastTone));
  ASSERT_GT(Rms(r.mono, At(change + 0.05), At(0.4)), 0.01) << "silent after the commands";
  EXPECT_NEAR(first, ToneHz(kEveryCommandTone), 0.005 * ToneHz(kEveryCommandTone));
  EXPECT_NEAR(last, ToneHz(kEveryCommandLastTone), 0.005 * ToneHz(kEveryCommandLastTone));
}

TEST_P(Psg, SixtySecondsOfWaitsDoNotDrift) {
  const Rendering r = Render(DriftSong(), kDriftSeconds + 0.25);
  ASSERT_EQ(r.error, "");
  const double level = Rms(r.mono, At(0.6), At(0.3));
  ASSERT_GT(level, 0.01) << "the first tone is (nearly) silent";
  const std::vector<LevelEdge> edges = LevelEdges(r.mono, kRate, 32, level);
  const auto expected_edges = static_cast<std::uint32_t>(2 * kDriftSeconds);
  double worst = 0;
  for (std::uint32_t i = 0; i < edges.size() && i < expected_edges; ++i) {
    worst = std::max(worst, std::fabs(edges[i].seconds - 0.5 * (i + 1)));
  }
  const double last_rise = kDriftSeconds - 0.5;
  const double measured = edges.size() >= expected_edges ? edges[expected_edges - 2].seconds : 0;
  std::printf("%s drift: %u edges (expected %u), last start at %.4f s (expected %.1f: %+.4f%%), worst edge "
              "%.1f ms off\n",
              name(), static_cast<std::uint32_t>(edges.size()), expected_edges, measured, last_rise,
              100 * (measured - last_rise) / last_rise, 1000 * worst);
  ASSERT_EQ(edges.size(), expected_edges);
  EXPECT_TRUE(edges[expected_edges - 2].rising);
  EXPECT_NEAR(measured, last_rise, 0.0005 * last_rise);
  EXPECT_NEAR(edges.back().seconds, kDriftSeconds, 0.0005 * kDriftSeconds);
}

TEST_P(Psg, LoopingSongRepeatsItsLoopAfterItsEnd) {
  const double end = kLoopSegmentSeconds * (1 + kLoopPeriods.size());
  const Rendering r = Render(LoopSong(true), end + 5 * kLoopSegmentSeconds);
  ASSERT_EQ(r.error, "");
  const double first_level = Rms(r.mono, At(kLoopSegmentSeconds + 0.1), At(0.3));
  for (std::uint32_t s = 0; s < 5; ++s) {
    const double start = end + s * kLoopSegmentSeconds;
    const double expected = ToneHz(kLoopPeriods[s % kLoopPeriods.size()]);
    const double hz = PeakFrequency(r.mono, At(start + 0.1), At(0.3), kRate, 50, 15000);
    const double level = Rms(r.mono, At(start + 0.1), At(0.3));
    std::printf("%s loop: %.1f s after the end: %.1f Hz (expected %.1f), %.1f dB against the first pass\n",
                name(), start - end, hz, expected, Decibels(level, first_level));
    EXPECT_NEAR(hz, expected, 0.01 * expected) << "at " << start << " s";
    EXPECT_GT(Decibels(level, first_level), -3) << "at " << start << " s";
  }
}

TEST_P(Psg, SongWithoutLoopFallsSilentAtItsEnd) {
  const double end = kLoopSegmentSeconds * (1 + kLoopPeriods.size());
  const Rendering r = Render(LoopSong(false), end + 1.0);
  ASSERT_EQ(r.error, "");
  const double playing = Rms(r.mono, At(end - 0.4), At(0.3));
  const double after = Rms(r.mono, At(end + 0.05), At(0.9));
  std::printf("%s no loop: after the end %.1f dB against the last tone\n", name(), Decibels(after, playing));
  ASSERT_GT(playing, 0.01) << "the last tone is (nearly) silent";
  if (GetParam() == Source::kVgm) {
    // libgme holds the chip's last state after the end, as the console would: the
    // song leaves its last tone on, so silence from the player is its own doing.
    EXPECT_GT(Decibels(after, playing), -6);
  } else {
    EXPECT_LT(Decibels(after, playing), -60);
  }
}

// Share of the power between 60 and 8000 Hz within 3% of a multiple of f0.
double HarmonicShare(const std::vector<double>& power, double bin_hz, double f0) {
  double total = 0, harmonic = 0;
  for (std::uint32_t k = 0; k < power.size(); ++k) {
    const double hz = k * bin_hz;
    if (hz < 60 || hz > 8000) continue;
    total += power[k];
    const double multiple = std::round(hz / f0);
    if (multiple >= 1 && std::fabs(hz - multiple * f0) <= 0.03 * f0) harmonic += power[k];
  }
  return total > 0 ? harmonic / total : 0;
}

// The noise's shift rate for its control byte: clock/512, /1024, /2048 or tone 2's rate.
double NoiseShiftHz(const NoiseSegment& segment) {
  const std::uint8_t rate = segment.control & 0x3;
  return ToneHz(rate == 3 ? segment.tone2_period : static_cast<std::uint16_t>(16 << rate));
}

TEST_P(Psg, WhiteNoiseIsBroadbandAndPeriodicNoiseHasAPitchAtEveryRate) {
  const Rendering r = Render(NoiseSong(), static_cast<double>(kNoiseSegments.size()));
  ASSERT_EQ(r.error, "");
  // 2.5 Hz bins: 3% of the lowest pitch, 109 Hz, spans more than a bin.
  constexpr std::uint32_t kFrame = 12800;
  const double bin_hz = static_cast<double>(kRate) / kFrame;
  for (std::uint32_t i = 0; i < kNoiseSegments.size(); ++i) {
    const NoiseSegment& segment = kNoiseSegments[i];
    const double start = i + 0.1;
    ASSERT_GT(Rms(r.mono, At(start), At(0.8)), 0.005) << "noise " << i << " is (nearly) silent";
    const std::vector<double> power = MeanPowerSpectrum(r.mono, At(start), At(0.8), kFrame);
    if (segment.control & 0x4) {
      // Broadband: every octave from 250 Hz to 4 kHz within 6 dB of the power density of
      // the whole 60-8000 Hz band.
      std::string bands;
      for (double lo = 250; lo < 4000; lo *= 2) {
        const double density = Decibels(std::sqrt(BandShare(power, bin_hz, lo, 2 * lo) / (lo / (8000 - 60))), 1);
        bands += " " + std::to_string(density).substr(0, 4);
        EXPECT_NEAR(density, 0, 6) << "white noise " << i << " between " << lo << " and " << 2 * lo << " Hz";
      }
      // Each bit holds for one shift: the spectrum has its first null at the shift rate.
      const double shift_hz = NoiseShiftHz(segment);
      const double null_density =
          Decibels(std::sqrt(BandShare(power, bin_hz, 0.9 * shift_hz, 1.1 * shift_hz) / (0.2 * shift_hz / (8000 - 60))), 1);
      const double peak = PeakFrequency(r.mono, At(start), At(0.8), kRate, 60, 8000);
      const double harmonic = HarmonicShare(power, bin_hz, peak);
      std::printf("%s white noise %u: octave densities from 250 Hz (dB against flat):%s; at the shift rate %.1f; "
                  "harmonic share at its peak %.3f\n",
                  name(), i, bands.c_str(), null_density, harmonic);
      EXPECT_LT(null_density, -10) << "white noise " << i << " does not shift at " << shift_hz << " Hz";
      EXPECT_LT(harmonic, 0.4) << "white noise " << i << " has a pitch";
      continue;
    }
    // Sega's periodic noise: one 1 in a 16-bit rotating register. A 1-in-16 pulse has its
    // first harmonics about as strong as its fundamental.
    const double expected = NoiseShiftHz(segment) / 16;
    const double hz = LowestStrongPeak(power, bin_hz, 60, 8000, 0.25);
    const double share = HarmonicShare(power, bin_hz, expected);
    const double octave_share = HarmonicShare(power, bin_hz, 2 * expected);
    std::printf("%s periodic noise %u: pitch %.1f Hz, expected %.1f Hz; harmonic share %.3f (%.3f an octave up)\n",
                name(), i, hz, expected, share, octave_share);
    EXPECT_NEAR(hz, expected, 0.02 * expected) << "periodic noise " << i;
    EXPECT_GT(share, 0.8) << "periodic noise " << i;
    EXPECT_LT(octave_share, share - 0.2) << "periodic noise " << i << ": the pitch is an octave higher";
  }
}

// Starts of the pulses of `signal` between `from` and `to` seconds: where it first
// passes half its peak after at least 20 ms below.
std::vector<double> PulseStarts(const std::vector<float>& signal, double from, double to) {
  float peak = 0;
  for (std::uint32_t i = At(from); i < At(to); ++i) peak = std::max(peak, std::fabs(signal[i]));
  std::vector<double> starts;
  std::uint32_t quiet = At(0.02);
  for (std::uint32_t i = At(from); i < At(to); ++i) {
    if (std::fabs(signal[i]) <= 0.5f * peak) {
      ++quiet;
      continue;
    }
    if (quiet >= At(0.02)) starts.push_back(static_cast<double>(i) / kRate);
    quiet = 0;
  }
  return starts;
}

TEST_P(Psg, PeriodicNoiseRestartsItsPulseAtEachNoiseWriteOnly) {
  const Rendering r = Render(SlowPeriodicNoiseSong(), 1.6);
  ASSERT_EQ(r.error, "");
  // A write sets the register to a single 1 at the top; it reaches the output bit
  // after 15 shifts (libgme counts the first shift at once: 14). Writing tone 2, which
  // clocks the register, leaves it as it is.
  const double shift = 1 / ToneHz(kSlowNoisePeriod);
  std::vector<double> expected;
  for (std::uint32_t w = 0; w < kNoiseWriteSeconds.size(); ++w) {
    const double end = w + 1 < kNoiseWriteSeconds.size() ? kNoiseWriteSeconds[w + 1] : 1.6;
    for (double t = kNoiseWriteSeconds[w] + 14.5 * shift; t < end; t += 16 * shift) expected.push_back(t);
  }
  const std::vector<double> starts = PulseStarts(r.mono, kNoiseWriteSeconds[0], 1.6);
  std::string shown;
  for (const double t : starts) shown += " " + std::to_string(t).substr(0, 6);
  std::printf("%s slow periodic noise: pulses at%s s (a shift is %.1f ms)\n", name(), shown.c_str(), 1000 * shift);
  EXPECT_EQ(starts.size(), expected.size());
  for (std::uint32_t i = 0; i < starts.size() && i < expected.size(); ++i) {
    EXPECT_NEAR(starts[i], expected[i], 0.5 * shift + 0.002) << "pulse " << i;
  }
}

// A period of 0 is 1024 on TI's chips and gives no tone on Sega's; a period below 9 (above
// 12 kHz) is not heard on either.
TEST_P(Psg, PeriodZeroIs1024OnTiChipsAndVeryShortPeriodsAreSilent) {
  for (const bool zero_means_1024 : {false, true}) {
    const Rendering r = Render(ShortPeriodSong(zero_means_1024), 2.0);
    ASSERT_EQ(r.error, "");
    const char* chip = zero_means_1024 ? "TI" : "Sega";
    const double zero_level = Rms(r.mono, At(0.125), At(0.75));
    const double short_level = Rms(r.mono, At(1.125), At(0.75));
    std::printf("%s %s chip: period 0 RMS %.4f, period %u RMS %.4f\n", name(), chip, zero_level, kInaudiblePeriod,
                short_level);
    if (zero_means_1024) {
      // libgme's own SN76489 ignores the header's flag: there, period 0 is silent on both.
      if (GetParam() == Source::kVgm) continue;
      ASSERT_GT(zero_level, 0.01) << "period 0 is (nearly) silent on a TI chip";
      const double hz = PeakFrequency(r.mono, At(0.125), At(0.75), kRate, 50, 15000);
      EXPECT_NEAR(hz, ToneHz(1024), 0.005 * ToneHz(1024));
    } else {
      EXPECT_LT(zero_level, 0.001) << "period 0 sounds on a Sega chip";
    }
    EXPECT_LT(short_level, 0.001) << "period " << kInaudiblePeriod << " sounds on a " << chip << " chip";
  }
}

TEST_P(Psg, GameGearStereoRoutesEachChannelToItsSide) {
  const Rendering r = Render(StereoSong(), 1.0);
  ASSERT_EQ(r.error, "");
  ExpectSidesApart(r, 0.2, 0.6, ToneHz(254), ToneHz(127), std::string(name()) + " stereo");
}

INSTANTIATE_TEST_SUITE_P(Through, Psg, ::testing::Values(Source::kVgm, Source::kSpc),
                         [](const ::testing::TestParamInfo<Source>& info) {
                           return std::string(SourceName(info.param));
                         });

}  // namespace
}  // namespace brevox::audio
