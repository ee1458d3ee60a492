#include "format/output_sink.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace brevox {

void OutputSink::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length > 0) {
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    Write(text.data(), static_cast<std::size_t>(length));
  }
  va_end(args);
}

void StdoutSink::Write(const char* data, std::size_t size) {
  std::fwrite(data, 1, size, stdout);
}

}  // namespace brevox
