#pragma once

namespace brevox {

// The process exit status; only main turns it into one.
enum class ExitStatus : int {
  kSuccess = 0,  // converted, or help asked for, or no argument at all
  kFailure = 1,  // an error message was printed
  kUsage = 2,    // not exactly two paths: one is missing, or there are too many
};

}  // namespace brevox
