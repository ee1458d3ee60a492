#include "tone_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis.h"

namespace brevox::audio {

double ExpectPitch(const Rendering& r, double start, double seconds, double expected_hz, const std::string& label) {
  const double level = Rms(r.mono, At(start), At(seconds));
  if (level <= 0.01) {
    ADD_FAILURE() << label << ": (nearly) silent, RMS " << level;
    return 0;
  }
  const double hz = PeakFrequency(r.mono, At(start), At(seconds), kRate, 20, 15000);
  const double error = 100 * (hz - expected_hz) / expected_hz;
  std::printf("%s: %.2f Hz, expected %.2f Hz, error %+.3f%%\n", label.c_str(), hz, expected_hz, error);
  EXPECT_NEAR(error, 0, 0.5) << label;
  return hz;
}

void ExpectLevelSteps(const Rendering& r, double step_seconds, std::uint32_t steps, double db_per_step,
                      const std::string& label) {
  std::vector<double> levels;
  for (std::uint32_t step = 0; step < steps; ++step) {
    // The middle of each step, clear of the change at its start.
    levels.push_back(Rms(r.mono, At((step + 0.2) * step_seconds), At(0.6 * step_seconds)));
  }
  if (levels.empty() || levels[0] <= 0.01) {
    ADD_FAILURE() << label << ": the first step is (nearly) silent";
    return;
  }
  std::string shown;
  double worst = 0;
  for (std::uint32_t step = 1; step < steps; ++step) {
    shown += " " + std::to_string(Decibels(levels[step - 1], levels[step])).substr(0, 4);
    const double error = Decibels(levels[step], levels[0]) + db_per_step * step;
    worst = std::max(worst, std::fabs(error));
    EXPECT_NEAR(error, 0, 1.0) << label << ": step " << step << " against step 0";
  }
  std::printf("%s: first step RMS %.4f; steps (dB):%s; worst %.2f dB off %.2f dB per step\n", label.c_str(),
              levels[0], shown.c_str(), worst, db_per_step);
}

void ExpectKeyEdges(const Rendering& r, double on, double off, const std::string& label) {
  const double level = Rms(r.mono, At(on + 0.25 * (off - on)), At(0.5 * (off - on)));
  if (level <= 0.01) {
    ADD_FAILURE() << label << ": the note is (nearly) silent";
    return;
  }
  const std::vector<LevelEdge> edges = LevelEdges(r.mono, kRate, kEdgeWindow, level);
  if (edges.size() != 2) {
    ADD_FAILURE() << label << ": expected one start and one stop, found " << edges.size() << " edges";
    return;
  }
  std::printf("%s: on at %.4f s (expected %.4f), off at %.4f s (expected %.4f)\n", label.c_str(), edges[0].seconds, on,
              edges[1].seconds, off);
  EXPECT_TRUE(edges[0].rising) << label;
  EXPECT_NEAR(edges[0].seconds, on, kEdgeSeconds) << label;
  EXPECT_NEAR(edges[1].seconds, off, kEdgeSeconds) << label;
}

void ExpectSidesApart(const Rendering& r, double start, double seconds, double left_hz, double right_hz,
                      const std::string& label) {
  if (Rms(r.left, At(start), At(seconds)) <= 0.01 || Rms(r.right, At(start), At(seconds)) <= 0.01) {
    ADD_FAILURE() << label << ": a side is (nearly) silent";
    return;
  }
  const StereoSeparation s = MeasureSeparation(r.left, r.right, At(start), At(seconds), kRate, left_hz, right_hz);
  std::printf("%s: left-only tone on the right %.1f dB, right-only tone on the left %.1f dB\n", label.c_str(),
              s.left_leak, s.right_leak);
  EXPECT_LT(s.left_leak, -30) << label;
  EXPECT_LT(s.right_leak, -30) << label;
  EXPECT_NEAR(s.balance, 0, 3) << label << ": the two sides differ in level";
}

}  // namespace brevox::audio
