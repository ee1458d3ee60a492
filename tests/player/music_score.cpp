#include "music_score.h"

#include <algorithm>
#include <cmath>

#include "analysis.h"
#include "spectrum.h"

namespace brevox::audio {

MusicScore ScoreAgainst(const std::vector<float>& reference, const std::vector<float>& candidate, double rate) {
  const auto frame = static_cast<std::uint32_t>(std::lround(rate * 0.050));
  const std::vector<double> levels = FrameRms(reference, frame);
  MusicScore result;
  result.frames = std::min(levels.size(), candidate.size() / frame);
  if (result.frames == 0) return result;
  const double loudest = *std::max_element(levels.begin(), levels.begin() + result.frames);
  SpectrumAnalyzer analyzer(frame);
  const auto first = static_cast<std::uint32_t>(std::ceil(60.0 * frame / rate));
  const auto last = static_cast<std::uint32_t>(std::floor(8000.0 * frame / rate));
  std::vector<double> similarities;
  for (std::uint32_t f = 0; f < result.frames; ++f) {
    if (levels[f] <= 0.03 * loudest) continue;
    const std::vector<double> a = analyzer.Magnitudes(reference.data() + f * frame);
    const std::vector<double> b = analyzer.Magnitudes(candidate.data() + f * frame);
    similarities.push_back(CosineSimilarity(std::vector<double>(a.begin() + first, a.begin() + last + 1),
                                            std::vector<double>(b.begin() + first, b.begin() + last + 1)));
  }
  result.counted = similarities.size();
  result.score = Median(std::move(similarities));
  return result;
}

}  // namespace brevox::audio
