#include "harness.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "analysis.h"
#include "render.h"

namespace brevox::audio {
namespace {

Rendering Play(const std::string& path, double seconds, double from) {
  Rendering out;
  const std::vector<std::int16_t> stereo = render::RenderFile(
      path, kRate, static_cast<std::uint32_t>(At(from)), static_cast<std::uint32_t>(At(seconds)), out.error);
  if (!out.error.empty()) return out;
  out.left = Channel(stereo, Side::kLeft);
  out.right = Channel(stereo, Side::kRight);
  out.mono = Channel(stereo, Side::kMono);
  return out;
}

}  // namespace

std::string ConvertWithBrevox(const testing::TempDirectory& directory, const std::string& vgm_path,
                              std::string& error) {
  std::error_code failed;
  std::filesystem::copy_file(BREVOX_PLAYER_FILE, directory.File("s-smp_player.bin"), failed);
  if (failed) {
    error = std::string("cannot copy ") + BREVOX_PLAYER_FILE + ": " + failed.message();
    return {};
  }
  const std::string spc = directory.File("song.spc");
  const testing::ProcessResult result = testing::RunProcess(BREVOX_EXECUTABLE, {vgm_path, spc}, directory.path());
  if (result.exit_status != 0) {
    error = "brevox exited with " + std::to_string(result.exit_status) + ": " + result.stdout_text +
            result.stderr_text;
    return {};
  }
  return spc;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* SourceName(Source source) { return source == Source::kVgm ? "Vgm" : "Spc"; }

void PrintTo(Source source, std::ostream* out) { *out << SourceName(source); }

std::uint32_t At(double seconds) { return static_cast<std::uint32_t>(std::llround(seconds * kRate)); }

Rendering RenderSong(Source source, const std::vector<std::uint8_t>& vgm, double seconds, double from) {
  const testing::TempDirectory directory;
  const std::string path = directory.File("song.vgm");
  if (!WriteBytes(path, vgm)) {
    Rendering failed;
    failed.error = "cannot write " + path;
    return failed;
  }
  return RenderPath(source, path, seconds, from);
}

Rendering RenderPath(Source source, const std::string& path, double seconds, double from) {
  if (source == Source::kVgm) return Play(path, seconds, from);
  const testing::TempDirectory directory;
  Rendering out;
  const std::string spc = ConvertWithBrevox(directory, path, out.error);
  return spc.empty() ? out : Play(spc, seconds, from);
}

}  // namespace brevox::audio
