#pragma once
// The command line: `brevox <input> <output>`, help options, quoted paths.

#include <string>

namespace brevox {

constexpr const char* kBanner = "brevox - VGM to SPC converter\n";
constexpr const char* kUsageLine = "Usage: brevox <input> <output>\n";

// What the arguments ask for.
struct CommandLine {
  enum class Action {
    kNoArguments,  // nothing after the program name: show the usage line
    kHelp,         // -h, -help or -?: show the usage line
    kMissingPath,  // fewer than two paths: show the usage line, as an error
    kTooManyPaths,  // three or more paths, as a shell glob gives: the usage line, as an error
    kConvert,      // convert input_path into output_path
  };
  Action action = Action::kNoArguments;
  std::string input_path;
  std::string output_path;
};

// Reads argv[1..argc-1]. An argument starting with '-' is an option, the
// others are paths, exactly two of them; a path starting with '"' loses its
// first and last character. A help option ends the walk, so it wins over any
// count of paths.
CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace brevox
