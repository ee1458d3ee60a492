#pragma once
// Writes 16-bit stereo PCM WAV files, all or nothing.

#include <cstdint>
#include <string>
#include <vector>

namespace brevox::render {

// The 44-byte RIFF/WAVE header of `frames` 16-bit stereo frames at `rate`.
std::vector<std::uint8_t> WavHeader(std::uint32_t rate, std::uint32_t frames);

// A WAV file being written: the samples go to a temporary file beside the target,
// which replaces the target only at Commit. A target never committed stays as it was.
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the temporary file for `path`; false with `error` set on failure.
  bool Open(const std::string& path, std::uint32_t rate, std::string& error);
  // Appends interleaved stereo frames; false with `error` set on failure.
  bool Append(const std::int16_t* samples, std::uint32_t frames, std::string& error);
  // Completes the header and renames the file into place; false with `error` set on failure.
  bool Commit(std::string& error);

 private:
  void Discard();

  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  std::uint32_t rate_ = 0;
  std::uint32_t frames_ = 0;
};

// Writes interleaved stereo `samples` to `path` as a WAV file at `rate`; false with
// `error` set on failure, leaving `path` as it was.
bool WriteWav(const std::string& path, std::uint32_t rate, const std::vector<std::int16_t>& samples,
              std::string& error);

}  // namespace brevox::render
