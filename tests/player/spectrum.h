#pragma once
// Hann-windowed magnitude spectra of real signals, by a mixed-radix FFT of any length.

#include <complex>
#include <cstdint>
#include <vector>

namespace brevox::audio {

// Transforms of one fixed length; the window and twiddle factors are computed once.
class SpectrumAnalyzer {
 public:
  explicit SpectrumAnalyzer(std::uint32_t length);

  std::uint32_t length() const { return length_; }
  // Frequency of bin `k` for signals sampled at `rate`.
  double BinHz(std::uint32_t k, double rate) const { return static_cast<double>(k) * rate / length_; }

  // |X[k]| for k = 0 .. length/2 of the Hann-windowed `length` samples at `signal`.
  std::vector<double> Magnitudes(const float* signal);

 private:
  void Transform(const std::complex<double>* in, std::uint32_t stride, std::complex<double>* out,
                 std::uint32_t n, std::uint32_t factor_index);

  std::uint32_t length_;
  std::vector<double> window_;
  std::vector<std::complex<double>> twiddle_;  // exp(-2 pi i j / length)
  std::vector<std::uint32_t> factors_;           // prime factors of length, smallest first
  std::vector<std::complex<double>> input_, output_, scratch_;
};

}  // namespace brevox::audio
