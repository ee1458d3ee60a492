// brevox-render: plays an SPC or VGM/VGZ file through libgme into a WAV file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "render.h"
#include "render_options.h"
#include "wav_file.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "brevox-render: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using brevox::render::RenderOptions;
  const RenderOptions options = brevox::render::ParseRenderOptions(argc, argv);
  if (options.action == RenderOptions::Action::kHelp) {
    std::fputs(brevox::render::HelpText().c_str(), stdout);
    return 0;
  }
  if (options.action == RenderOptions::Action::kUsageError) {
    std::fprintf(stderr, "brevox-render: %s (usage: %s)\n", options.error.c_str(), brevox::render::kUsage);
    return 2;
  }
  std::string error;
  const std::unique_ptr<brevox::render::Song> song =
      brevox::render::Song::Open(options.input_path, options.rate, error);
  if (!song) return Fail(error);
  brevox::render::WavWriter wav;
  if (!wav.Open(options.output_path, options.rate, error)) return Fail(error);
  // A second at a time keeps memory small for long renders.
  std::vector<std::int16_t> chunk(static_cast<std::size_t>(options.rate) * 2);
  for (std::uint32_t left = brevox::render::FrameCount(options.seconds, options.rate); left > 0;) {
    const std::uint32_t n = left < options.rate ? left : options.rate;
    if (!song->Play(chunk.data(), n, error) || !wav.Append(chunk.data(), n, error)) return Fail(error);
    left -= n;
  }
  if (!wav.Commit(error)) return Fail(error);
  return 0;
}
