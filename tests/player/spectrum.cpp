#include "spectrum.h"

#include <cmath>

namespace brevox::audio {

SpectrumAnalyzer::SpectrumAnalyzer(std::uint32_t length)
    : length_(length), window_(length), twiddle_(length), input_(length), output_(length) {
  const double pi = std::acos(-1.0);
  for (std::uint32_t i = 0; i < length; ++i) {
    window_[i] = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i) / static_cast<double>(length));
    twiddle_[i] = std::polar(1.0, -2 * pi * static_cast<double>(i) / static_cast<double>(length));
  }
  std::uint32_t largest = 1;
  for (std::uint32_t rest = length, p = 2; rest > 1;) {
    if (p * p > rest) p = rest;
    if (rest % p == 0) {
      factors_.push_back(p);
      largest = p > largest ? p : largest;
      rest /= p;
    } else {
      ++p;
    }
  }
  scratch_.resize(largest);
}

// Decimation in time: out[0..n) is the DFT of in[0], in[stride], ... split by the
// factor factors_[factor_index] into that many interleaved sub-transforms.
void SpectrumAnalyzer::Transform(const std::complex<double>* in, std::uint32_t stride,
                                 std::complex<double>* out, std::uint32_t n, std::uint32_t factor_index) {
  if (n == 1) {
    out[0] = in[0];
    return;
  }
  const std::uint32_t p = factors_[factor_index];
  const std::uint32_t m = n / p;
  for (std::uint32_t r = 0; r < p; ++r) Transform(in + r * stride, stride * p, out + r * m, m, factor_index + 1);
  // Twiddles of an n-point transform are every (length / n)-th of the full table.
  const std::uint32_t step = length_ / n;
  for (std::uint32_t k = 0; k < m; ++k) {
    for (std::uint32_t r = 0; r < p; ++r) scratch_[r] = out[r * m + k];
    for (std::uint32_t q = 0; q < p; ++q) {
      const std::uint32_t bin = k + q * m;
      std::complex<double> sum = scratch_[0];
      for (std::uint32_t r = 1; r < p; ++r) sum += scratch_[r] * twiddle_[(r * bin % n) * step];
      out[bin] = sum;
    }
  }
}

std::vector<double> SpectrumAnalyzer::Magnitudes(const float* signal) {
  for (std::uint32_t i = 0; i < length_; ++i) input_[i] = window_[i] * static_cast<double>(signal[i]);
  Transform(input_.data(), 1, output_.data(), length_, 0);
  std::vector<double> magnitudes(length_ / 2 + 1);
  for (std::uint32_t k = 0; k < magnitudes.size(); ++k) magnitudes[k] = std::abs(output_[k]);
  return magnitudes;
}

}  // namespace brevox::audio
