#include "render_options.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace brevox::render {
namespace {

RenderOptions Refuse(const std::string& why) {
  RenderOptions refused;
  refused.action = RenderOptions::Action::kUsageError;
  refused.error = why;
  return refused;
}

bool ParseSeconds(const std::string& text, double& out) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v <= 0 || v > kMaxSeconds) return false;
  out = v;
  return true;
}

bool ParseRate(const std::string& text, std::uint32_t& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 7) {
    return false;
  }
  const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
  if (v < kMinRate || v > kMaxRate) return false;
  out = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace

std::string HelpText() {
  std::ostringstream text;
  text << "Usage: " << kUsage << "\n"
       << "Plays the song through libgme into a 16-bit stereo WAV file.\n"
       << "  --seconds S  length to render, above 0 and at most " << kMaxSeconds << " (default "
       << kDefaultSeconds << ")\n"
       << "  --rate R     sample rate in Hz, " << kMinRate << " to " << kMaxRate << " (default "
       << kDefaultRate << ")\n"
       << "An existing output file is replaced only when the whole WAV is written.\n";
  return text.str();
}

RenderOptions ParseRenderOptions(int argc, const char* const* argv) {
  RenderOptions options;
  std::uint32_t paths = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      if (argc != 2) return Refuse("--help takes nothing else");
      options.action = RenderOptions::Action::kHelp;
      return options;
    }
    std::string value;
    const std::size_t equals = arg.find('=');
    const bool is_option = arg.size() > 2 && arg.compare(0, 2, "--") == 0;
    if (is_option && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
    } else if (is_option) {
      if (i + 1 >= argc) return Refuse(arg + " needs a value");
      value = argv[++i];
    }
    if (arg == "--seconds") {
      if (!ParseSeconds(value, options.seconds)) return Refuse("bad --seconds value: " + value);
    } else if (arg == "--rate") {
      if (!ParseRate(value, options.rate)) return Refuse("bad --rate value: " + value);
    } else if (!is_option && !arg.empty() && arg[0] != '-' && paths < 2) {
      (paths++ == 0 ? options.input_path : options.output_path) = arg;
    } else {
      return Refuse(is_option || arg.empty() || arg[0] == '-' ? "unknown option: " + arg
                                                              : "unexpected argument: " + arg);
    }
  }
  if (paths < 2) return Refuse(paths == 0 ? "missing input and output paths" : "missing output path");
  options.action = RenderOptions::Action::kRender;
  return options;
}

std::uint32_t FrameCount(double seconds, std::uint32_t rate) {
  return static_cast<std::uint32_t>(std::llround(seconds * rate));
}

}  // namespace brevox::render
