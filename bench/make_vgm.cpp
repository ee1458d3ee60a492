// Writes a generated song: make_vgm <psg|fm|pcm|block> <megabytes> <output.vgm>.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/stream_generator.h"

int main(int argc, char** argv) {
  brevox::StreamKind kind;
  if (argc != 4 || !brevox::ParseStreamKind(argv[1], &kind)) {
    std::fprintf(stderr, "usage: make_vgm <psg|fm|pcm|block> <megabytes> <output.vgm>\n");
    return 2;
  }
  const unsigned long megabytes = std::strtoul(argv[2], nullptr, 10);
  if (megabytes == 0 || megabytes > 4000) {
    std::fprintf(stderr, "make_vgm: size must be 1 to 4000 megabytes\n");
    return 2;
  }
  const brevox::ByteBuffer song = brevox::GenerateVgm(kind, static_cast<std::uint32_t>(megabytes << 20));
  std::FILE* file = std::fopen(argv[3], "wb");
  if (file == nullptr) {
    std::perror(argv[3]);
    return 1;
  }
  const bool wrote = std::fwrite(song.data(), 1, song.size(), file) == song.size();
  if (std::fclose(file) != 0 || !wrote) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
