#include "format/file_open.h"

#include <cerrno>

namespace brevox {

int OpenFile(std::FILE** stream, const char* path, const char* mode) {
  if (stream == nullptr) return EINVAL;
  *stream = nullptr;
  if (path == nullptr || mode == nullptr) return EINVAL;
  errno = 0;
  *stream = std::fopen(path, mode);
  if (*stream == nullptr) return errno != 0 ? errno : EIO;
  return 0;
}

}  // namespace brevox
