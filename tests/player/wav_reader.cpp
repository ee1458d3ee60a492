#include "wav_reader.h"

#include <fstream>
#include <iterator>

namespace brevox::audio {
namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint32_t kFormatBytes = 16;

std::uint32_t Le(const std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t size) {
  std::uint32_t v = 0;
  for (std::uint32_t i = 0; i < size; ++i) v |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  return v;
}

bool Is(const std::vector<std::uint8_t>& bytes, std::size_t at, const char* id) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (bytes[at + i] != static_cast<std::uint8_t>(id[i])) return false;
  }
  return true;
}

}  // namespace

bool ParseWav(const std::vector<std::uint8_t>& bytes, WavAudio& audio, std::string& error) {
  if (bytes.size() < 12 || !Is(bytes, 0, "RIFF") || !Is(bytes, 8, "WAVE")) {
    error = "not a RIFF/WAVE file";
    return false;
  }
  bool have_format = false;
  for (std::size_t at = 12; bytes.size() - at >= 8;) {
    const std::uint32_t size = Le(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (size > bytes.size() - body) {
      error = "a chunk runs past the end of the file";
      return false;
    }
    if (Is(bytes, at, "fmt ")) {
      if (size < kFormatBytes) {
        error = "the format chunk is too short";
        return false;
      }
      audio.channels = static_cast<std::uint16_t>(Le(bytes, body + 2, 2));
      audio.rate = Le(bytes, body + 4, 4);
      const std::uint32_t bits = Le(bytes, body + 14, 2);
      if (Le(bytes, body, 2) != kPcm || bits != 16 || audio.channels < 1 || audio.channels > 2 ||
          Le(bytes, body + 12, 2) != 2u * audio.channels || audio.rate == 0) {
        error = "not 16-bit PCM in one or two channels";
        return false;
      }
      have_format = true;
    } else if (Is(bytes, at, "data")) {
      if (!have_format) {
        error = "the data chunk comes before the format chunk";
        return false;
      }
      audio.samples.resize(size / 2);
      for (std::size_t i = 0; i < audio.samples.size(); ++i) {
        audio.samples[i] = static_cast<std::int16_t>(Le(bytes, body + 2 * i, 2));
      }
      audio.samples.resize(audio.samples.size() - audio.samples.size() % audio.channels);
      return true;
    }
    // Chunks are padded to an even length.
    at = body + size + (size & 1);
    if (at > bytes.size()) break;
  }
  error = "no data chunk";
  return false;
}

bool ReadWav(const std::string& path, WavAudio& audio, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open";
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ParseWav(bytes, audio, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace brevox::audio
