#include "analysis.h"

#include <algorithm>
#include <cmath>

#include "spectrum.h"

namespace brevox::audio {

std::vector<float> Channel(const std::vector<std::int16_t>& stereo, Side side) {
  std::vector<float> out(stereo.size() / 2);
  for (std::uint32_t i = 0; i < out.size(); ++i) {
    const float left = stereo[2 * i] / 32768.0f;
    const float right = stereo[2 * i + 1] / 32768.0f;
    out[i] = side == Side::kLeft ? left : side == Side::kRight ? right : 0.5f * (left + right);
  }
  return out;
}

double Rms(const std::vector<float>& signal, std::uint32_t begin, std::uint32_t count) {
  if (count == 0) return 0;
  double sum = 0, squares = 0;
  for (std::uint32_t i = begin; i < begin + count; ++i) {
    sum += signal[i];
    squares += static_cast<double>(signal[i]) * signal[i];
  }
  const double mean = sum / count;
  return std::sqrt(std::max(0.0, squares / count - mean * mean));
}

std::vector<double> FrameRms(const std::vector<float>& signal, std::uint32_t frame) {
  std::vector<double> levels;
  for (std::uint32_t begin = 0; begin + frame <= signal.size(); begin += frame) {
    levels.push_back(Rms(signal, begin, frame));
  }
  return levels;
}

double Decibels(double a, double b) {
  if (a <= 0) return -300;
  if (b <= 0) return 300;
  return std::clamp(20 * std::log10(a / b), -300.0, 300.0);
}

double PeakFrequency(const std::vector<float>& signal, std::uint32_t begin, std::uint32_t count, double rate,
                     double min_hz, double max_hz) {
  SpectrumAnalyzer analyzer(count);
  const std::vector<double> m = analyzer.Magnitudes(signal.data() + begin);
  const auto first = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(min_hz * count / rate));
  const auto last = std::min(static_cast<std::uint32_t>(m.size() - 2), static_cast<std::uint32_t>(max_hz * count / rate) + 1);
  std::uint32_t peak = first;
  for (std::uint32_t k = first; k <= last; ++k) {
    if (m[k] > m[peak]) peak = k;
  }
  const double a = std::log(m[peak - 1] + 1e-30), b = std::log(m[peak] + 1e-30),
               c = std::log(m[peak + 1] + 1e-30);
  const double curvature = a - 2 * b + c;
  const double offset = curvature < 0 ? 0.5 * (a - c) / curvature : 0;
  return (static_cast<double>(peak) + offset) * rate / count;
}

double MagnitudeAt(const std::vector<float>& signal, std::uint32_t begin, std::uint32_t count, double rate,
                   double hz) {
  SpectrumAnalyzer analyzer(count);
  const std::vector<double> m = analyzer.Magnitudes(signal.data() + begin);
  const auto center = static_cast<std::uint32_t>(std::lround(hz * count / rate));
  double best = 0;
  for (std::uint32_t k = center > 0 ? center - 1 : 0; k <= center + 1 && k < m.size(); ++k) {
    best = std::max(best, m[k]);
  }
  return best;
}

StereoSeparation MeasureSeparation(const std::vector<float>& left, const std::vector<float>& right,
                                   std::uint32_t begin, std::uint32_t count, double rate, double left_hz,
                                   double right_hz) {
  const double left_in_left = MagnitudeAt(left, begin, count, rate, left_hz);
  const double left_in_right = MagnitudeAt(right, begin, count, rate, left_hz);
  const double right_in_right = MagnitudeAt(right, begin, count, rate, right_hz);
  const double right_in_left = MagnitudeAt(left, begin, count, rate, right_hz);
  return {Decibels(left_in_right, left_in_left), Decibels(right_in_left, right_in_right),
          Decibels(left_in_left, right_in_right)};
}

std::vector<double> MeanPowerSpectrum(const std::vector<float>& signal, std::uint32_t begin,
                                      std::uint32_t count, std::uint32_t frame) {
  SpectrumAnalyzer analyzer(frame);
  std::vector<double> power(frame / 2 + 1, 0.0);
  std::uint32_t frames = 0;
  for (std::uint32_t at = begin; at + frame <= begin + count; at += frame, ++frames) {
    const std::vector<double> m = analyzer.Magnitudes(signal.data() + at);
    for (std::uint32_t k = 0; k < m.size(); ++k) power[k] += m[k] * m[k];
  }
  for (double& p : power) p /= frames > 0 ? static_cast<double>(frames) : 1.0;
  return power;
}

double BandShare(const std::vector<double>& power, double bin_hz, double lo, double hi) {
  double total = 0, band = 0;
  for (std::uint32_t k = 0; k < power.size(); ++k) {
    const double hz = k * bin_hz;
    if (hz < 60 || hz > 8000) continue;
    total += power[k];
    if (hz >= lo && hz < hi) band += power[k];
  }
  return total > 0 ? band / total : 0;
}

double CosineSimilarity(const std::vector<double>& a, const std::vector<double>& b) {
  double dot = 0, aa = 0, bb = 0;
  for (std::uint32_t i = 0; i < a.size() && i < b.size(); ++i) {
    dot += a[i] * b[i];
    aa += a[i] * a[i];
    bb += b[i] * b[i];
  }
  return aa > 0 && bb > 0 ? dot / std::sqrt(aa * bb) : 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const std::uint32_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + mid, values.end());
  if (values.size() % 2 == 1) return values[mid];
  const double upper = values[mid];
  return 0.5 * (upper + *std::max_element(values.begin(), values.begin() + mid));
}


std::vector<LevelEdge> LevelEdges(const std::vector<float>& signal, double rate, std::uint32_t window,
                                  double reference) {
  const std::uint32_t hop = std::max<std::uint32_t>(1, window / 4);
  const double threshold = reference * reference / 2;
  std::vector<LevelEdge> edges;
  bool on = false;
  double previous = 0;
  for (std::uint32_t begin = 0; begin + window <= signal.size(); begin += hop) {
    const double level = Rms(signal, begin, window);
    const double power = level * level;
    const double centre = static_cast<double>(begin) + static_cast<double>(window) / 2;
    if ((power >= threshold) != on && begin > 0) {
      const double fraction = (threshold - previous) / (power - previous);
      edges.push_back({(centre - static_cast<double>(hop) * (1 - fraction)) / rate, !on});
    }
    on = power >= threshold;
    previous = power;
  }
  return edges;
}

double SecondsToFall(const std::vector<float>& signal, double rate, double from, double until,
                     std::uint32_t window, double level, double drop_db) {
  const double threshold = level * std::pow(10.0, -drop_db / 20);
  const std::uint32_t hop = std::max<std::uint32_t>(1, window / 4);
  const auto first = static_cast<std::uint64_t>(std::max(0.0, std::ceil(from * rate)));
  const auto last = static_cast<std::uint64_t>(std::max(0.0, until * rate));
  for (std::uint64_t begin = first; begin + window <= signal.size() && begin + window <= last; begin += hop) {
    if (Rms(signal, static_cast<std::uint32_t>(begin), window) < threshold) {
      return (static_cast<double>(begin) + window / 2.0) / rate - from;
    }
  }
  return -1;
}

double LowestStrongPeak(const std::vector<double>& power, double bin_hz, double min_hz, double max_hz,
                        double fraction) {
  const auto first = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::ceil(min_hz / bin_hz)));
  const auto last = std::min(static_cast<std::uint32_t>(power.size() - 2), static_cast<std::uint32_t>(max_hz / bin_hz));
  double strongest = 0;
  for (std::uint32_t k = first; k <= last; ++k) strongest = std::max(strongest, power[k]);
  for (std::uint32_t k = first; k <= last; ++k) {
    if (power[k] < fraction * strongest || power[k] < power[k - 1] || power[k] < power[k + 1]) continue;
    const double a = std::log(power[k - 1] + 1e-30), b = std::log(power[k] + 1e-30),
                 c = std::log(power[k + 1] + 1e-30);
    const double curvature = a - 2 * b + c;
    return (static_cast<double>(k) + (curvature < 0 ? 0.5 * (a - c) / curvature : 0)) * bin_hz;
  }
  return 0;
}

}  // namespace brevox::audio
