#include "input/load_input.h"

#include <zlib.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "input/file_open.h"
#include "packer/byte_order.h"
#include "packer/vgm_layout.h"

namespace brevox {
namespace {

constexpr unsigned kChunkSize = 16384;
constexpr std::uint64_t kMaxInputSize = std::numeric_limits<std::uint32_t>::max();

struct GzCloser {
  void operator()(gzFile file) const { gzclose(file); }
};
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void ReportReadFailure(OutputSink& sink) { sink.Printf("Error: Failed to read VGM data\n"); }

// Inflates the whole file into *read_back; false after printing the error.
bool ReadCompressed(const std::string& path, ByteBuffer* read_back, OutputSink& sink) {
  sink.Printf("Unzipping file\n");
  std::unique_ptr<gzFile_s, GzCloser> file(gzopen(path.c_str(), "rb"));
  if (!file) {
    sink.Printf("Error: Failed to gzopen %s\n", path.c_str());
    return false;
  }
  std::uint8_t chunk[kChunkSize];
  for (;;) {
    const int got = gzread(file.get(), chunk, kChunkSize);
    if (got < 0) {
      ReportReadFailure(sink);
      return false;
    }
    if (got == 0) break;
    if (read_back->size() + static_cast<std::uint64_t>(got) > kMaxInputSize) {
      ReportReadFailure(sink);
      return false;
    }
    read_back->insert(read_back->end(), chunk, chunk + got);
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
    image->resize(size);
  } catch (const std::bad_alloc&) {
    ReportAllocationFailure(path, static_cast<std::uint32_t>(size), sink);
    return false;
  }
  if (std::fread(image->data(), 1, size, file.get()) != size) {
    ReportReadFailure(sink);
    return false;
  }
  return true;
}

}  // namespace

void ReportAllocationFailure(const std::string& path, std::uint32_t size, OutputSink& sink) {
  if (IsCompressedPath(path)) {
    sink.Printf("Error: Failed to allocate memory (wanted %u bytes)\n", size);
  } else {
    sink.Printf("Error: Failed to allocate memory\n");
  }
}

bool IsCompressedPath(const std::string& path) {
  return !path.empty() && (path.back() == 'z' || path.back() == 'Z');
}

bool LoadInput(const std::string& path, ByteBuffer* read_back, LoadedInput* input, OutputSink& sink) {
  ByteBuffer image;
  if (IsCompressedPath(path)) {
    if (!ReadCompressed(path, read_back, sink)) return false;
    try {
      image.assign(read_back->begin(), read_back->end());
    } catch (const std::bad_alloc&) {
      ReportAllocationFailure(path, static_cast<std::uint32_t>(read_back->size()), sink);
      return false;
    }
    // Give the storage back now: it would double the memory of the later stages.
    ByteBuffer().swap(*read_back);
  } else if (!ReadPlain(path, &image, sink)) {
    return false;
  }
  return PrepareInput(std::move(image), path, input, sink);
}

bool PrepareInput(ByteBuffer image, const std::string& path, LoadedInput* input, OutputSink& sink) {
  if (image.size() < kVgmHeaderSize) {
    sink.Printf("Error: %s is too short to be a VGM file\n", path.c_str());
    return false;
  }
  input->size = static_cast<std::uint32_t>(image.size());
  try {
    input->rewritten.resize(static_cast<std::size_t>(input->size) + 1);
  } catch (const std::bad_alloc&) {
    ReportAllocationFailure(path, input->size, sink);
    return false;
  }
  const std::uint32_t data_start = ReadLe32(&image[kDataOffsetField]) + kDataOffsetField;
  input->data_start = data_start < kVgmHeaderSize ? kVgmHeaderSize : data_start;
  image[kVersionField] = kMarkedVersionByte;
  input->loop_position = ReadLe32(&image[kLoopOffsetField]) + kLoopOffsetField;
  input->image = std::move(image);
  sink.Printf("Packing %s:", path.c_str());
  return true;
}

}  // namespace brevox
