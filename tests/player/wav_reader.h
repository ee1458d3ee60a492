#pragma once
// Reads 16-bit PCM WAV files (RIFF/WAVE, one or two channels), such as the reference
// renderings that the real-music tests score against. Every chunk is bounds-checked:
// a damaged file is refused, never read past its end.

#include <cstdint>
#include <string>
#include <vector>

namespace brevox::audio {

struct WavAudio {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  std::vector<std::int16_t> samples;  // interleaved
};

// The audio in `bytes`; false with `error` set when they are not a whole 16-bit PCM WAV.
// Chunks other than "fmt " and "data" are skipped.
bool ParseWav(const std::vector<std::uint8_t>& bytes, WavAudio& audio, std::string& error);

// The same for the file at `path`.
bool ReadWav(const std::string& path, WavAudio& audio, std::string& error);

}  // namespace brevox::audio
