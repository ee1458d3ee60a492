#pragma once

namespace brevox {

// The process exit status; only main turns it into one.
enum class ExitStatus : int {
  kSuccess = 0,  // converted, or help asked for, or no argument at all
  kFailure = 1,  // an error message was printed
  kUsage = 2,    // the input or the output path is missing
};

}  // namespace brevox
