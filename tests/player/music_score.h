#pragma once
// How closely one rendering of a song follows another, frame by frame.

#include <cstdint>
#include <vector>

namespace brevox::audio {

struct MusicScore {
  double score = 0;         // median cosine similarity over the counted frames
  std::uint32_t counted = 0;  // frames loud enough in the reference to count
  std::uint32_t frames = 0;   // frames compared
};

// Cuts both mono signals (at `rate`) into 50 ms frames; a frame counts when the
// reference's RMS exceeds 3% of its loudest frame, and scores the cosine similarity
// of the two Hann-windowed magnitude spectra from 60 to 8000 Hz.
MusicScore ScoreAgainst(const std::vector<float>& reference, const std::vector<float>& candidate, double rate);

}  // namespace brevox::audio
