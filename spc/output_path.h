#pragma once
// Where the image goes for a given output path, and with which mode.

#include <sys/types.h>

#include <string>

namespace brevox {

struct OutputTarget {
  enum class Kind {
    kUnusable,  // a directory, a loop of links or an empty path: nothing can be written
    kReplace,   // a regular file, existing or not, replaced as a whole
    kDevice,    // an existing device or pipe such as /dev/null, written in place: a rename would replace it
  };
  Kind kind = Kind::kUnusable;
  // The output path with its symbolic links followed, dangling ones included,
  // so that a link keeps pointing at the new file.
  std::string path;
  // Permission bits for a replacing file: those of the file it replaces, or
  // 0666 less the umask for a new one, as a plain create gives.
  mode_t mode = 0;
};

OutputTarget ResolveOutputPath(const std::string& output_path);

}  // namespace brevox
