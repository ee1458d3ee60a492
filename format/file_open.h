#pragma once
// The bounds-checked open that the C library here lacks: the stream comes back
// through an out parameter, and the caller tests the stream, not the code.

#include <cstdio>

namespace brevox {

// Opens `path` with `mode`; sets *stream (nullptr on failure) and returns 0 or errno.
int OpenFile(std::FILE** stream, const char* path, const char* mode);

}  // namespace brevox
