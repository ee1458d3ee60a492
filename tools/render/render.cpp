#include "render.h"

#include <gme/gme.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace brevox::render {

struct Song::Emulator {
  Music_Emu* emu;
};

Song::~Song() {
  gme_delete(emulator_->emu);
  delete emulator_;
}

std::unique_ptr<Song> Song::Open(const std::string& path, std::uint32_t rate, std::string& error) {
  // libgme's own message for a missing file does not say why; ask the system first.
  std::FILE* probe = std::fopen(path.c_str(), "rb");
  if (probe == nullptr) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::fclose(probe);
  gme_type_t type = nullptr;
  if (gme_err_t e = gme_identify_file(path.c_str(), &type); e != nullptr || type == nullptr) {
    error = path + ": not a file libgme can play" + (e != nullptr ? std::string(" (") + e + ")" : "");
    return nullptr;
  }
  Music_Emu* emu = gme_new_emu(type, static_cast<int>(rate));
  if (emu == nullptr) {
    error = path + ": out of memory";
    return nullptr;
  }
  // Render what the file holds: no skipped leading silence, no end at a stretch of
  // silence, no fade-out at a length taken from the tags.
  gme_ignore_silence(emu, 1);
  gme_set_autoload_playback_limit(emu, 0);
  gme_err_t e = gme_load_file(emu, path.c_str());
  if (e == nullptr) e = gme_start_track(emu, 0);
  if (e != nullptr) {
    error = path + ": " + e;
    gme_delete(emu);
    return nullptr;
  }
  return std::unique_ptr<Song>(new Song(new Emulator{emu}));
}

bool Song::Play(std::int16_t* out, std::uint32_t frames, std::string& error) {
  // gme_play takes a count of int16 values, so split long requests.
  constexpr std::uint32_t kChunkFrames = 1u << 16;
  while (frames > 0) {
    const std::uint32_t n = frames < kChunkFrames ? frames : kChunkFrames;
    if (gme_err_t e = gme_play(emulator_->emu, static_cast<int>(n * 2), out); e != nullptr) {
      error = std::string("playback failed: ") + e;
      return false;
    }
    out += static_cast<std::size_t>(n) * 2;
    frames -= n;
  }
  return true;
}

std::vector<std::int16_t> RenderFile(const std::string& path, std::uint32_t rate, std::uint32_t first,
                                     std::uint32_t frames, std::string& error) {
  std::unique_ptr<Song> song = Song::Open(path, rate, error);
  if (!song) return {};
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames > rate ? frames : rate) * 2);
  for (std::uint32_t left = first; left > 0;) {
    const std::uint32_t n = left < rate ? left : rate;
    if (!song->Play(samples.data(), n, error)) return {};
    left -= n;
  }
  samples.resize(static_cast<std::size_t>(frames) * 2);
  if (!song->Play(samples.data(), frames, error)) return {};
  return samples;
}

}  // namespace brevox::render
