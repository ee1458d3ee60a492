#include "input/load_input.h"

#include <zlib.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "format/byte_order.h"
#include "format/file_open.h"
#include "format/vgm_header.h"

namespace brevox {
namespace {

constexpr unsigned kChunkSize = 1u << 18;
constexpr unsigned kGzipBufferSize = 1u << 17;
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kMaxInputSize = std::numeric_limits<std::uint32_t>::max();
// The first two bytes of every gzip file.
constexpr std::uint8_t kGzipSignature[] = {0x1F, 0x8B};

struct GzCloser {
  void operator()(gzFile file) const { gzclose(file); }
};
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void ReportReadFailure(OutputSink& sink) { sink.Printf("Error: Failed to read VGM data\n"); }

// Gzip input names the size it wanted.
void ReportAllocationFailure(InputEncoding encoding, std::uint32_t size, OutputSink& sink) {
  if (encoding == InputEncoding::kGzip) {
    sink.Printf("Error: Failed to allocate memory (wanted %u bytes)\n", size);
  } else {
    sink.Printf("Error: Failed to allocate memory\n");
  }
}

// True when the file's first two bytes are the gzip signature.
bool StartsWithGzipSignature(const std::string& path) {
  std::FILE* opened = nullptr;
  OpenFile(&opened, path.c_str(), "rb");
  std::unique_ptr<std::FILE, FileCloser> file(opened);
  std::uint8_t first[sizeof kGzipSignature];
  return file && std::fread(first, 1, sizeof first, file.get()) == sizeof first &&
         first[0] == kGzipSignature[0] && first[1] == kGzipSignature[1];
}

// The inflated size that a gzip file names in its last four bytes, when it is
// believable for the compressed size (deflate packs at most about 1032:1); else 0.
// A hint only: concatenated or damaged files may name anything there.
std::uint64_t GzipSizeHint(const std::string& path) {
  std::FILE* opened = nullptr;
  OpenFile(&opened, path.c_str(), "rb");
  std::unique_ptr<std::FILE, FileCloser> file(opened);
  std::uint8_t trailer[4];
  if (!file || std::fseek(file.get(), -4, SEEK_END) != 0) return 0;
  const long trailer_at = std::ftell(file.get());
  if (trailer_at < 0 || std::fread(trailer, 1, sizeof trailer, file.get()) != sizeof trailer) return 0;
  const std::uint64_t named = ReadLe32(trailer);
  return named <= (static_cast<std::uint64_t>(trailer_at) + 4) * kMaxDeflateRatio ? named : 0;
}

// Inflates the whole file into *read_back; false after printing the error.
bool ReadCompressed(const std::string& path, ByteBuffer* read_back, OutputSink& sink) {
  sink.Printf("Unzipping file\n");
  const std::uint64_t expected = GzipSizeHint(path);
  std::unique_ptr<gzFile_s, GzCloser> file(gzopen(path.c_str(), "rb"));
  if (!file) {
    sink.Printf("Error: Failed to gzopen %s\n", path.c_str());
    return false;
  }
  gzbuffer(file.get(), kGzipBufferSize);
  try {
    // Room for the whole song up front spares the copies of a growing buffer.
    ReserveLarge(read_back, static_cast<std::size_t>(expected) + kChunkSize);
  } catch (const std::bad_alloc&) {
    // The hint may be wrong; growing as the bytes arrive still works.
  }
  for (;;) {
    // Inflate straight into the buffer's end instead of through a bounce buffer.
    const std::size_t filled = read_back->size();
    if (read_back->capacity() - filled < kChunkSize) ReserveLarge(read_back, 2 * (filled + kChunkSize));
    read_back->resize(filled + kChunkSize);
    const int got = gzread(file.get(), read_back->data() + filled, kChunkSize);
    read_back->resize(filled + static_cast<std::size_t>(got < 0 ? 0 : got));
    if (got < 0) {
      ReportReadFailure(sink);
      return false;
    }
    if (got == 0) break;
    if (read_back->size() > kMaxInputSize) {
      ReportReadFailure(sink);
      return false;
    }
  }
  // A truncated stream ends with 0 like a complete one; only gzerror tells.
  int error = Z_OK;
  gzerror(file.get(), &error);
  if (error != Z_OK) {
    ReportReadFailure(sink);
    return false;
  }
  return true;
}

// Reads the plain file into *image; false after printing the error.
bool ReadPlain(const std::string& path, ByteBuffer* image, OutputSink& sink) {
  std::FILE* opened = nullptr;
  OpenFile(&opened, path.c_str(), "rb");
  std::unique_ptr<std::FILE, FileCloser> file(opened);
  if (!file) {
    sink.Printf("Error: Failed to open %s\n", path.c_str());
    return false;
  }
  if (std::fseek(file.get(), 0, SEEK_END) != 0) {
    ReportReadFailure(sink);
    return false;
  }
  const long end = std::ftell(file.get());
  if (end < 0 || static_cast<std::uint64_t>(end) > kMaxInputSize ||
      std::fseek(file.get(), 0, SEEK_SET) != 0) {
    ReportReadFailure(sink);
    return false;
  }
  const auto size = static_cast<std::size_t>(end);
  try {
    ReserveLarge(image, size);
    image->resize(size);
  } catch (const std::bad_alloc&) {
    ReportAllocationFailure(InputEncoding::kPlain, static_cast<std::uint32_t>(size), sink);
    return false;
  }
  if (std::fread(image->data(), 1, size, file.get()) != size) {
    ReportReadFailure(sink);
    return false;
  }
  return true;
}

}  // namespace

bool IsCompressedPath(const std::string& path) {
  return !path.empty() && (path.back() == 'z' || path.back() == 'Z');
}

InputEncoding EncodingOf(const std::string& path) {
  return IsCompressedPath(path) || StartsWithGzipSignature(path) ? InputEncoding::kGzip : InputEncoding::kPlain;
}

bool LoadInput(const std::string& path, ByteBuffer* read_back, LoadedInput* input, OutputSink& sink) {
  ByteBuffer image;
  const InputEncoding encoding = EncodingOf(path);
  if (encoding == InputEncoding::kGzip) {
    if (!ReadCompressed(path, read_back, sink)) return false;
    // The inflated bytes become the image where they lie: a copy would double the memory.
    image = std::move(*read_back);
    ByteBuffer().swap(*read_back);
  } else if (!ReadPlain(path, &image, sink)) {
    return false;
  }
  return PrepareInput(std::move(image), path, encoding, input, sink);
}

bool PrepareInput(ByteBuffer image, const std::string& path, InputEncoding encoding, LoadedInput* input,
                  OutputSink& sink) {
  if (image.size() < kVgmHeaderSize) {
    sink.Printf("Error: %s is too short to be a VGM file\n", path.c_str());
    return false;
  }
  // Anything else that happened to parse would convert into noise with a success status.
  if (!HasVgmIdentification(image.data())) {
    sink.Printf("Error: %s is not a VGM file\n", path.c_str());
    return false;
  }
  input->size = static_cast<std::uint32_t>(image.size());
  try {
    ReserveLarge(&input->rewritten, static_cast<std::size_t>(input->size) + 1);
    input->rewritten.resize(static_cast<std::size_t>(input->size) + 1);
  } catch (const std::bad_alloc&) {
    ReportAllocationFailure(encoding, input->size, sink);
    return false;
  }
  input->data_start = DataStart(image.data());
  image[kVersionField] = kMarkedVersionByte;
  input->loop_position = LoopPosition(image.data());
  input->image = std::move(image);
  sink.Printf("Packing %s:", path.c_str());
  return true;
}

}  // namespace brevox
