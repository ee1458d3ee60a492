// The measurements themselves, on signals of known content.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "analysis.h"
#include "music_score.h"
#include "spectrum.h"

namespace brevox::audio {
namespace {

constexpr double kRateHz = 32000;
const double kPi = std::acos(-1.0);

std::vector<float> Sine(double hz, std::uint32_t count, double amplitude = 0.5) {
  std::vector<float> out(count);
  for (std::uint32_t i = 0; i < count; ++i) out[i] = static_cast<float>(amplitude * std::sin(2 * kPi * hz * i / kRateHz));
  return out;
}

std::vector<float> Square(double hz, std::uint32_t count, double amplitude = 0.5) {
  std::vector<float> out = Sine(hz, count, 1);
  for (float& v : out) v = static_cast<float>(v >= 0 ? amplitude : -amplitude);
  return out;
}

TEST(Spectrum, MatchesADirectTransformForMixedRadixLengths) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> uniform(-1, 1);
  for (const std::uint32_t n : {1u, 12u, 49u, 1600u, 1021u}) {
    std::vector<float> x(n);
    for (float& v : x) v = uniform(random);
    SpectrumAnalyzer analyzer(n);
    const std::vector<double> fast = analyzer.Magnitudes(x.data());
    ASSERT_EQ(fast.size(), n / 2 + 1);
    for (std::uint32_t k = 0; k < fast.size(); ++k) {
      std::complex<double> sum = 0;
      for (std::uint32_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
        sum += w * x[i] * std::polar(1.0, -2 * kPi * static_cast<double>(k * i % n) / n);
      }
      ASSERT_NEAR(fast[k], std::abs(sum), 1e-6 * (1 + std::abs(sum))) << "n = " << n << ", bin " << k;
    }
  }
}

TEST(PeakFrequency, FindsTheFundamentalBetweenBins) {
  for (const double hz : {110.1, 440.4, 1747.8, 6991.3}) {
    const std::vector<float> sine = Sine(hz, 24000);
    EXPECT_NEAR(PeakFrequency(sine, 0, 24000, kRateHz, 50, 15000), hz, 0.0005 * hz);
    const std::vector<float> square = Square(hz, 24000);
    EXPECT_NEAR(PeakFrequency(square, 0, 24000, kRateHz, 50, 15000), hz, 0.001 * hz) << "square at " << hz;
  }
}

TEST(Levels, RmsIgnoresOffsetAndDecibelsCompareAmplitudes) {
  std::vector<float> sine = Sine(1000, 32000, 0.5);
  EXPECT_NEAR(Rms(sine, 0, 32000), 0.5 / std::sqrt(2.0), 1e-4);
  for (float& v : sine) v += 0.25f;
  EXPECT_NEAR(Rms(sine, 0, 32000), 0.5 / std::sqrt(2.0), 1e-4);
  EXPECT_NEAR(Decibels(0.5, 1.0), -6.02, 0.01);
  const std::vector<float> quiet = Sine(1000, 32000, 0.5 * std::pow(10.0, -0.1));
  EXPECT_NEAR(Decibels(Rms(quiet, 0, 32000), Rms(Sine(1000, 32000, 0.5), 0, 32000)), -2.0, 0.01);
}

// The brightness measure, on a square wave's odd harmonics.
TEST(BandShare, GivesASquaresPowerAboveItsFundamental) {
  constexpr std::uint32_t kFrame = 6400;
  const std::vector<double> square = MeanPowerSpectrum(Square(400, 32000), 0, 32000, kFrame);
  const std::vector<double> sine = MeanPowerSpectrum(Sine(400, 32000), 0, 32000, kFrame);
  const double bin_hz = kRateHz / kFrame;
  // Harmonic n (odd) has 1 / n^2 of the fundamental's power; up to 8000 Hz, n = 19.
  double harmonics = 0;
  for (std::uint32_t n = 1; n <= 19; n += 2) harmonics += 1.0 / (n * n);
  EXPECT_NEAR(BandShare(square, bin_hz, 600, 8001), 1 - 1 / harmonics, 0.005);
  EXPECT_LT(BandShare(sine, bin_hz, 600, 8001), 1e-6);
  EXPECT_NEAR(BandShare(sine, bin_hz, 300, 500), 1.0, 1e-6);
  EXPECT_EQ(BandShare(std::vector<double>(100, 0.0), bin_hz, 0, 8000), 0.0);
}

TEST(MeasureSeparation, GivesEachTonesLeakToTheOtherSide) {
  std::vector<float> left = Sine(440, 16000), right = Sine(660, 16000, 0.25);
  const std::vector<float> left_leak = Sine(440, 16000, 0.005), right_leak = Sine(660, 16000, 0.0025 / 4);
  for (std::uint32_t i = 0; i < 16000; ++i) {
    right[i] += left_leak[i];
    left[i] += right_leak[i];
  }
  const StereoSeparation s = MeasureSeparation(left, right, 0, 16000, kRateHz, 440, 660);
  EXPECT_NEAR(s.left_leak, -40, 0.1);
  EXPECT_NEAR(s.right_leak, -52, 0.1);
  EXPECT_NEAR(s.balance, 6.02, 0.1);
}

TEST(LevelEdges, PlacesAToneBurstsStartAndStopWithinAQuarterMillisecond) {
  std::vector<float> signal(80000);
  const std::vector<float> tone = Square(1747.8, signal.size());
  for (std::uint32_t i = 32000; i < 64000; ++i) signal[i] = tone[i];
  const std::vector<LevelEdge> edges = LevelEdges(signal, kRateHz, 32, 0.5);
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_TRUE(edges[0].rising);
  EXPECT_FALSE(edges[1].rising);
  EXPECT_NEAR(edges[0].seconds, 1.0, 0.00025);
  EXPECT_NEAR(edges[1].seconds, 2.0, 0.00025);
}

TEST(MusicScore, SeparatesDifferentNotesAndSkipsQuietFrames) {
  std::vector<float> reference = Square(440, 32000);
  std::vector<float> candidate = Square(440, 32000, 0.1);
  // The second half: a different note in the candidate.
  const std::vector<float> other = Square(660, 32000);
  for (std::uint32_t i = 16000; i < 32000; ++i) candidate[i] = other[i];
  // Two of the twenty frames are quiet in the reference and must not count.
  for (std::uint32_t i = 0; i < 3200; ++i) reference[i] *= 0.02f;
  const MusicScore s = ScoreAgainst(reference, candidate, kRateHz);
  EXPECT_EQ(s.frames, 20u);
  EXPECT_EQ(s.counted, 18u);
  // Eight matching frames (scale does not matter), ten of a different note.
  EXPECT_LT(s.score, 0.5);
  const MusicScore matching = ScoreAgainst(reference, Square(440, 32000, 0.1), kRateHz);
  EXPECT_NEAR(matching.score, 1.0, 1e-6);
}

}  // namespace
}  // namespace brevox::audio
