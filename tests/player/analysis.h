#pragma once
// Measurements on rendered audio: levels, envelopes, peak frequencies, spectrum similarity.

#include <cstdint>
#include <vector>

namespace brevox::audio {

enum class Side : std::uint8_t { kLeft, kRight, kMono };

// One side of interleaved stereo int16 samples (or their mean), scaled to [-1, 1).
std::vector<float> Channel(const std::vector<std::int16_t>& stereo, Side side);

// Root mean square of samples [begin, begin + count), after removing their mean.
double Rms(const std::vector<float>& signal, std::uint32_t begin, std::uint32_t count);

// Rms of consecutive frames of `frame` samples (a trailing partial frame is dropped).
std::vector<double> FrameRms(const std::vector<float>& signal, std::uint32_t frame);

// 20 log10(a / b), held within -300 and +300 (a or b is 0).
double Decibels(double a, double b);

// Frequency of the strongest component between min_hz and max_hz in the `count`
// samples from `begin`, refined by a parabola through the log magnitudes around the
// peak bin.
double PeakFrequency(const std::vector<float>& signal, std::uint32_t begin, std::uint32_t count, double rate,
                     double min_hz, double max_hz);

// Magnitude at `hz` in the Hann-windowed `count` samples from `begin` (the strongest
// bin within one bin of it), for comparing one frequency across signals.
double MagnitudeAt(const std::vector<float>& signal, std::uint32_t begin, std::uint32_t count, double rate,
                   double hz);

// How well two tones keep to their sides: one meant for the left at left_hz, one for the
// right at right_hz, measured by MagnitudeAt over [begin, begin + count) of each side.
struct StereoSeparation {
  double left_leak;   // the left tone on the right side against the left side, in dB
  double right_leak;  // the right tone on the left side against the right side, in dB
  double balance;     // the left tone on the left against the right tone on the right, in dB
};
StereoSeparation MeasureSeparation(const std::vector<float>& left, const std::vector<float>& right,
                                   std::uint32_t begin, std::uint32_t count, double rate, double left_hz,
                                   double right_hz);

// Mean Hann-windowed power spectrum of the frames of `frame` samples in [begin, begin + count).
std::vector<double> MeanPowerSpectrum(const std::vector<float>& signal, std::uint32_t begin,
                                      std::uint32_t count, std::uint32_t frame);

// Share of the power (bin k at k * bin_hz) between 60 and 8000 Hz that lies between lo
// and hi; 0 when there is none.
double BandShare(const std::vector<double>& power, double bin_hz, double lo, double hi);

// Cosine of the angle between two equally long vectors; 0 when either is all zero.
double CosineSimilarity(const std::vector<double>& a, const std::vector<double>& b);

// Median of the values (the mean of the middle two for an even count); 0 when empty.
double Median(std::vector<double> values);


// A moment where the level crosses half of `reference`: rising (off to on) or falling.
struct LevelEdge {
  double seconds;
  bool rising;
};

// Edges of the mean-square level over a sliding `window` samples (hop window/4), each
// placed where the level crosses reference^2 / 2, interpolated between hops; that is
// where a window centred on a sudden start or stop is half filled.
std::vector<LevelEdge> LevelEdges(const std::vector<float>& signal, double rate, std::uint32_t window,
                                  double reference);

// Seconds from `from` until the RMS over a sliding `window` samples (hop window/4, placed
// at the window's centre) first lies `drop_db` below `level`, searching up to `until`
// seconds; -1 when it does not fall that far in time.
double SecondsToFall(const std::vector<float>& signal, double rate, double from, double until,
                     std::uint32_t window, double level, double drop_db);

// The lowest local maximum of `power` (bin k at k * bin_hz) between min_hz and max_hz
// that reaches `fraction` of the strongest bin there, refined by a parabola through
// the log powers: the fundamental of a tone whose first harmonics are about as strong.
double LowestStrongPeak(const std::vector<double>& power, double bin_hz, double min_hz, double max_hz,
                        double fraction);

}  // namespace brevox::audio
