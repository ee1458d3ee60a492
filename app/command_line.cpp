#include "app/command_line.h"

namespace brevox {
namespace {

bool IsHelpOption(const std::string& argument) {
  return argument == "-h" || argument == "-help" || argument == "-?";
}

std::string Unquote(const std::string& argument) {
  if (argument.empty() || argument.front() != '"') return argument;
  return argument.size() < 2 ? std::string() : argument.substr(1, argument.size() - 2);
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  if (argc < 2) return line;
  int paths = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!argument.empty() && argument.front() == '-') {
      if (IsHelpOption(argument)) {
        line.action = CommandLine::Action::kHelp;
        return line;
      }
      continue;
    }
    if (paths == 0) line.input_path = Unquote(argument);
    if (paths == 1) line.output_path = Unquote(argument);
    ++paths;
  }
  // A third path would otherwise be dropped silently, and `brevox *.vgm out.spc`
  // would write over the second song.
  if (paths < 2) {
    line.action = CommandLine::Action::kMissingPath;
  } else if (paths > 2) {
    line.action = CommandLine::Action::kTooManyPaths;
  } else {
    line.action = CommandLine::Action::kConvert;
  }
  return line;
}

}  // namespace brevox
