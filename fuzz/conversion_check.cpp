#include "fuzz/conversion_check.h"

#include <dirent.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/convert.h"
#include "format/output_sink.h"
#include "format/sound_ram.h"
#include "input/load_input.h"
#include "packer/pack.h"
#include "packer/round_trip.h"
#include "spc/spc_image.h"

namespace brevox::fuzz {
namespace {

const char kSentinel[] = "the output that was here before\n";

[[noreturn]] void Fail(const std::string& what, const std::string& detail = "") {
  std::fprintf(stderr, "conversion check failed: %s\n%s\n", what.c_str(), detail.c_str());
  std::abort();
}

void Require(bool holds, const char* what, const std::string& detail = "") {
  if (!holds) Fail(what, detail);
}

void WriteBytes(const std::string& path, const ByteBuffer& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  Require(out.good(), "cannot write a fuzz file", path);
}

ByteBuffer ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ByteBuffer Gzip(const ByteBuffer& bytes) {
  z_stream stream{};
  // 15 + 16: a gzip wrapper, as gzopen reads it.
  Require(deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK,
          "deflateInit2");
  ByteBuffer out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32);
  stream.next_in = const_cast<Bytef*>(bytes.data());
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  Require(deflate(&stream, Z_FINISH) == Z_STREAM_END, "deflate");
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// A player of our own that idles: at 0x0500 a branch to itself.
ByteBuffer IdlePlayer() {
  ByteBuffer player(kPlayerSize, 0);
  player[kPlayerEntryPoint] = 0x2F;
  player[kPlayerEntryPoint + 1] = 0xFE;
  return player;
}

// The private directory of this process, with the player and the sentinel in it.
struct Workspace {
  std::string dir;
  std::string player;
  std::string output;
  ByteBuffer player_bytes = IdlePlayer();
  ByteBuffer sentinel = ByteBuffer(kSentinel, kSentinel + sizeof kSentinel - 1);

  Workspace() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/brevox-fuzz-XXXXXX";
    Require(mkdtemp(pattern.data()) != nullptr, "mkdtemp", pattern);
    dir = pattern;
    player = dir + "/s-smp_player.bin";
    output = dir + "/out.spc";
    WriteBytes(player, player_bytes);
    WriteBytes(output, sentinel);
  }
};

Workspace& TheWorkspace() {
  static Workspace workspace;
  return workspace;
}

// The names in the directory apart from the three files it should hold.
std::string StrayFiles(const Workspace& workspace, const std::string& input_name) {
  std::string stray;
  DIR* dir = opendir(workspace.dir.c_str());
  Require(dir != nullptr, "opendir", workspace.dir);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && name != input_name && name != "out.spc" && name != "s-smp_player.bin") {
      stray += name + " ";
    }
  }
  closedir(dir);
  return stray;
}

bool HasErrorMessage(const std::string& text) {
  return text.find("Error: ") != std::string::npos || text.find("Illegal command: 0x67 0x") != std::string::npos;
}

}  // namespace

void CheckConversion(const ByteBuffer& bytes, InputKind kind) {
  Workspace& workspace = TheWorkspace();
  const std::string input_name = kind == InputKind::kPlain ? "in.vgm" : "in.vgz";
  const std::string input = workspace.dir + "/" + input_name;
  WriteBytes(input, kind == InputKind::kGzipOfBytes ? Gzip(bytes) : bytes);

  StringSink convert_sink;
  const ExitStatus status = Convert(input, workspace.output, workspace.player, convert_sink);
  Require(status == ExitStatus::kSuccess || status == ExitStatus::kFailure, "exit status outside the two");

  // The same packing once more, from bytes in memory where the loader's
  // result is known, or through the loader for gzip data it has to inflate:
  // damaged data, or plain bytes that begin with the gzip signature.
  StringSink pack_sink;
  LoadedInput loaded;
  bool loaded_ok = false;
  if (kind == InputKind::kRawAsGzip || (kind == InputKind::kPlain && EncodingOf(input) == InputEncoding::kGzip)) {
    ByteBuffer read_back;
    loaded_ok = LoadInput(input, &read_back, &loaded, pack_sink);
  } else {
    const InputEncoding encoding = kind == InputKind::kGzipOfBytes ? InputEncoding::kGzip : InputEncoding::kPlain;
    if (encoding == InputEncoding::kGzip) pack_sink.Printf("Unzipping file\n");
    loaded_ok = PrepareInput(bytes, input, encoding, &loaded, pack_sink);
  }
  const std::uint32_t input_size = loaded.size;
  PackResult packing;
  const bool packed_ok = loaded_ok && PackVgm(std::move(loaded), &packing, pack_sink);
  if (packed_ok) {
    const std::string failure = CheckRoundTrip(packing, input_size);
    Require(failure.empty(), "round trip", failure);
  }
  const bool converts = packed_ok && packing.fits;
  Require(converts == (status == ExitStatus::kSuccess), "verdict differs from the in-memory packing",
          convert_sink.text());
  Require(StrayFiles(workspace, input_name).empty(), "files left behind", StrayFiles(workspace, input_name));

  const ByteBuffer output = ReadBytes(workspace.output);
  if (status == ExitStatus::kFailure) {
    Require(HasErrorMessage(convert_sink.text()), "failure without an error message", convert_sink.text());
    Require(output == workspace.sentinel, "output harmed by a failed conversion");
    return;
  }
  Require(convert_sink.text() == pack_sink.text(), "console text differs from the in-memory packing",
          convert_sink.text() + "\n---\n" + pack_sink.text());
  Require(output.size() == kSpcFileSize, "image size", std::to_string(output.size()));
  Require(output == BuildSpcImage(workspace.player_bytes, packing.packed), "image differs from its packed stream");
  WriteBytes(workspace.output, workspace.sentinel);
}

}  // namespace brevox::fuzz
