// Writes the fuzzers' seed corpora into the build tree: the songs of the
// corpus directory and hand-built songs that reach every packing rule.
// Usage: make-fuzz-seeds <corpus-dir> <out-dir>; out-dir/plain holds songs,
// out-dir/gzip the same with the gzip target's leading choice byte.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using brevox::WriteLe32;

constexpr std::uint32_t kVersion = 0x150;
constexpr std::uint32_t kSn76489Clock = 3579545;
constexpr std::uint32_t kYm2612Clock = 7670453;
constexpr char kGd3Tag[] = "Gd3 \x00\x01\x00\x00\x08\x00\x00\x00t\0i\0t\0l\0";

// A VGM file: 64-byte header, `before` and, when looping, `loop` commands
// starting at the loop point, then 0x66 when `end`, then a tag when `tag`.
Bytes Song(const Bytes& before, const Bytes& loop, bool end = true, bool tag = false) {
  Bytes file(brevox::kVgmHeaderSize, 0);
  std::copy(brevox::kVgmIdentification, brevox::kVgmIdentification + brevox::kVgmIdentificationSize, file.begin());
  WriteLe32(&file[brevox::kVersionField], kVersion);
  WriteLe32(&file[brevox::kSn76489ClockField], kSn76489Clock);
  WriteLe32(&file[brevox::kYm2612ClockField], kYm2612Clock);
  WriteLe32(&file[brevox::kDataOffsetField], brevox::kVgmHeaderSize - brevox::kDataOffsetField);
  file.insert(file.end(), before.begin(), before.end());
  if (!loop.empty()) {
    WriteLe32(&file[brevox::kLoopOffsetField], static_cast<std::uint32_t>(file.size()) - brevox::kLoopOffsetField);
  }
  file.insert(file.end(), loop.begin(), loop.end());
  if (end) file.push_back(brevox::kEndOfData);
  if (tag) {
    WriteLe32(&file[brevox::kGd3OffsetField], static_cast<std::uint32_t>(file.size()) - brevox::kGd3OffsetField);
    file.insert(file.end(), kGd3Tag, kGd3Tag + sizeof kGd3Tag - 1);
  }
  WriteLe32(&file[brevox::kEofOffsetField], static_cast<std::uint32_t>(file.size()) - brevox::kEofOffsetField);
  return file;
}

std::vector<Bytes> BuiltSongs() {
  Bytes full;
  for (std::uint8_t i = 0; i < 8; ++i) full.insert(full.end(), {0x50, static_cast<std::uint8_t>(0x90 + i)});
  Bytes streams(7, 0x62);
  streams.insert(streams.end(), {0x93, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  return {
      Song({0x50, 0x9F, 0x62}, {}),
      Song({}, {0x50, 0x9F, 0x62}, true, true),
      Song(full, {0x63}),
      Song({0x62, 0x4E, 0x4E, 0x4E}, {0x4E, 0x62, 0x4E, 0x62}),
      Song({0x67, 0x66, 0x00, 0x00, 0x00, 0x00, 0x00, 0x67, 0x66, 0x00, 0x02, 0x00, 0x00, 0x00, 0x66, 0x50,
            0xE0, 0, 0, 0, 0, 0xE0, 1, 0, 0, 0, 0x81, 0x72, 0x80},
           {0x7A, 0x85, 0x62}, true, true),
      Song({0x52, 0x27, 0x40, 0x62}, {0x52, 0x26, 0x01, 0x52, 0x27, 0x45, 0x53, 0x25, 0x03, 0x54, 0x20, 0x01,
                                      0x51, 0x10, 0x20, 0x4F, 0xFF, 0x61, 0x10, 0x00}),
      Song({0xA0, 0x50, 0x01, 0xB4, 0x00, 0x66, 0x62}, {}),
      Song({0x50, 0x9F, 0x62, 0x62}, {}, false),
      Song({0x50, 0x9F}, {0x62}, false, true),
      Song({0x80, 0x7F, 0x70, 0x8A, 0x77, 0x52, 0x4C, 0x7F, 0x80, 0x50, 0x85, 0x73}, {0x62}),
      // Other chips' commands between a wait and a DAC write, at the loop, and
      // data blocks of other types; DAC stream commands closing a group.
      Song({0x72, 0x30, 0x67, 0x83, 0x55, 0x67, 0x45, 0x68, 0x66, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x62},
           {0xC0, 0x66, 0x61, 0x00, 0xE1, 1, 2, 3, 4, 0x67, 0x66, 0x8B, 0x01, 0x00, 0x00, 0x00, 0x66, 0x64, 1, 2, 3,
            0x2F, 0x96, 0x62}, true, true),
      Song(streams, {0x94, 0x66, 0x90, 0, 2, 0, 0x2A, 0x91, 0, 0, 1, 0, 0x92, 0, 0x44, 0xAC, 0, 0,
                     0x95, 0, 0, 0, 0, 0x62}),
  };
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// zlib delivers a file that is not gzip unchanged, so this reads either kind.
bool Inflate(const std::string& path, Bytes* out) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::uint8_t chunk[16384];
  int got = 0;
  while ((got = gzread(file, chunk, sizeof chunk)) > 0) out->insert(out->end(), chunk, chunk + got);
  return gzclose(file) == Z_OK && got == 0;
}

Bytes Gzip(const Bytes& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  z_stream stream{};
  Bytes out(size + 32);
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  stream.next_in = const_cast<Bytef*>(bytes.data());
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return done ? out : Bytes{};
}

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

Bytes Prefixed(std::uint8_t choice, const Bytes& bytes) {
  Bytes out{choice};
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-fuzz-seeds <corpus-dir> <out-dir>\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path plain = fs::path(argv[2]) / "plain";
  const fs::path gzip = fs::path(argv[2]) / "gzip";
  fs::create_directories(plain);
  fs::create_directories(gzip);

  std::vector<std::pair<std::string, Bytes>> songs;
  std::vector<std::pair<std::string, Bytes>> gzip_files;
  std::uint32_t n = 0;
  for (const Bytes& song : BuiltSongs()) songs.emplace_back("built" + std::to_string(n++), song);
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(argv[1], error)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".vgm" && extension != ".vgz") continue;
    Bytes song;
    if (!Inflate(entry.path().string(), &song)) continue;
    const std::string name = entry.path().stem().string();
    if (extension == ".vgz") gzip_files.emplace_back(name, ReadFile(entry.path().string()));
    songs.emplace_back(name, std::move(song));
  }
  if (error) std::fprintf(stderr, "make-fuzz-seeds: no corpus at %s; built songs only\n", argv[1]);

  bool ok = true;
  for (const auto& [name, song] : songs) {
    ok = Write(plain / name, song) && ok;
    ok = Write(gzip / (name + ".song"), Prefixed(0x00, song)) && ok;
    ok = Write(gzip / (name + ".gz"), Prefixed(0x01, Gzip(song))) && ok;
  }
  for (const auto& [name, file] : gzip_files) ok = Write(gzip / (name + ".vgz"), Prefixed(0x01, file)) && ok;
  if (!ok) {
    std::fprintf(stderr, "make-fuzz-seeds: cannot write under %s\n", argv[2]);
    return 1;
  }
  return 0;
}
