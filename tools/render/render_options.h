#pragma once
// The command line of brevox-render.

#include <cstdint>
#include <string>

namespace brevox::render {

constexpr double kDefaultSeconds = 30.0;
constexpr std::uint32_t kDefaultRate = 44100;
constexpr double kMaxSeconds = 3600.0;
constexpr std::uint32_t kMinRate = 8000;
constexpr std::uint32_t kMaxRate = 192000;

constexpr const char* kUsage = "brevox-render <in.spc|in.vgm|in.vgz> <out.wav> [--seconds S] [--rate R]";

// The help text, with the defaults and limits.
std::string HelpText();

struct RenderOptions {
  enum class Action { kRender, kHelp, kUsageError };
  Action action = Action::kUsageError;
  std::string error;  // why the arguments were refused, for kUsageError
  std::string input_path;
  std::string output_path;
  double seconds = kDefaultSeconds;
  std::uint32_t rate = kDefaultRate;
};

// Reads argv[1..argc-1]: two paths, then --seconds S and --rate R in any order
// (also as --seconds=S), or -h/--help alone.
RenderOptions ParseRenderOptions(int argc, const char* const* argv);

// The frame count of `seconds` at `rate`, rounded to the nearest frame.
std::uint32_t FrameCount(double seconds, std::uint32_t rate);

}  // namespace brevox::render
