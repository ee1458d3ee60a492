#pragma once
// Plays test songs the two ways the audio tests compare: the VGM itself through libgme,
// and the SPC image that brevox writes from it, through libgme too.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace brevox::audio {

// Every rendering is at the sound unit's own output rate.
constexpr std::uint32_t kRate = 32000;

enum class Source : std::uint8_t { kVgm, kSpc };

// "Vgm" or "Spc", for test names.
const char* SourceName(Source source);
// Shows a Source by its name in test output.
void PrintTo(Source source, std::ostream* out);

struct Rendering {
  std::vector<float> left, right, mono;
  std::string error;  // empty on success
};

// Seconds `from` to `from + seconds` of the VGM file `vgm` as `source` plays it.
Rendering RenderSong(Source source, const std::vector<std::uint8_t>& vgm, double seconds, double from = 0);

// The same for the VGM or VGZ file at `path`.
Rendering RenderPath(Source source, const std::string& path, double seconds, double from = 0);

// Converts `vgm_path` with brevox in `directory`, which gets a copy of the player
// program because brevox reads it from its working directory; the SPC's path, or
// empty with `error` set.
std::string ConvertWithBrevox(const testing::TempDirectory& directory, const std::string& vgm_path,
                              std::string& error);

// Writes `bytes` to `path`; false on failure.
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// The whole file at `path`; empty when it cannot be read.
std::vector<std::uint8_t> ReadBytes(const std::string& path);

// Sample index of `seconds` at kRate.
std::uint32_t At(double seconds);

}  // namespace brevox::audio
