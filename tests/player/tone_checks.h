#pragma once
// Checks that the chips' audio tests share, on generated tones: pitch, level steps, key
// edges and stereo sides. Each adds gtest failures to the running test and prints one
// line of what it measured, starting with `label`.

#include <cstdint>
#include <string>

#include "harness.h"

namespace brevox::audio {

// The strongest component of the tone from `start` for `seconds` (mono) lies within 0.5%
// of `expected_hz`; returns the measured frequency (0 when the tone is nearly silent).
double ExpectPitch(const Rendering& r, double start, double seconds, double expected_hz, const std::string& label);

// A tone whose level steps every `step_seconds` from 0 on, `steps` steps in all, each
// `db_per_step` quieter than the one before: every step, measured in its middle, lies
// within 1 dB of its place against the first (so that small errors may not add up).
void ExpectLevelSteps(const Rendering& r, double step_seconds, std::uint32_t steps, double db_per_step,
                      const std::string& label);

// Window of the level behind the edges: two cycles of the edge tests' tones (1.1-1.9 kHz).
constexpr std::uint32_t kEdgeWindow = 64;
// A note's key edges must lie this close to the song's times.
constexpr double kEdgeSeconds = 0.003;

// The tone heard from `on` to `off` seconds (and silent around them) starts and stops
// within kEdgeSeconds of those times.
void ExpectKeyEdges(const Rendering& r, double on, double off, const std::string& label);

// A tone at `left_hz` routed to the left only and one at `right_hz` to the right only,
// both from `start` for `seconds`: each leaks into the other side at least 30 dB down,
// and the two sides are within 3 dB of each other.
void ExpectSidesApart(const Rendering& r, double start, double seconds, double left_hz, double right_hz,
                      const std::string& label);

}  // namespace brevox::audio
