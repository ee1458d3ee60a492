// Writes the bundled example song (examples/example_song.h) to a VGM file, so that the
// README's first command has a song of our own to convert.

#include <cstdio>

#include "example_song.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-example <output.vgm>\n");
    return 2;
  }
  const std::vector<std::uint8_t> song = brevox::example::ExampleSong();
  std::FILE* out = std::fopen(argv[1], "wb");
  const bool written = out != nullptr && std::fwrite(song.data(), 1, song.size(), out) == song.size();
  if (out == nullptr || std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "make-example: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
