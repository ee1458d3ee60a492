#pragma once
// Plays an SPC or VGM/VGZ file through libgme into 16-bit stereo samples.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brevox::render {

// An open song inside libgme, played from its start with nothing skipped or faded.
class Song {
 public:
  ~Song();
  Song(const Song&) = delete;
  Song& operator=(const Song&) = delete;

  // Opens `path` at `rate` samples per second; null with `error` set on failure.
  static std::unique_ptr<Song> Open(const std::string& path, std::uint32_t rate, std::string& error);

  // Plays the next `frames` stereo frames into `out` (left, right interleaved);
  // false with `error` set on failure.
  bool Play(std::int16_t* out, std::uint32_t frames, std::string& error);

 private:
  struct Emulator;
  explicit Song(Emulator* emulator) : emulator_(emulator) {}
  Emulator* emulator_;
};

// Stereo frames [first, first + frames) of `path` at `rate`, interleaved; empty with
// `error` set on failure. The frames before `first` are played and dropped: libgme's
// seeking is not sample-exact for VGM files.
std::vector<std::int16_t> RenderFile(const std::string& path, std::uint32_t rate, std::uint32_t first,
                                     std::uint32_t frames, std::string& error);

}  // namespace brevox::render
