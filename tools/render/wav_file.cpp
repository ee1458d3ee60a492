#include "wav_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace brevox::render {
namespace {

constexpr std::uint32_t kBytesPerFrame = 4;
constexpr std::uint32_t kHeaderBytes = 44;
// The RIFF size field counts everything after its own 8 bytes in 32 bits.
constexpr std::uint32_t kMaxFrames = (0xFFFFFFFFu - (kHeaderBytes - 8)) / kBytesPerFrame;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t offset, std::uint16_t v) {
  out[offset] = static_cast<std::uint8_t>(v);
  out[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t offset, std::uint32_t v) {
  for (std::uint32_t i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t wrote = write(fd, bytes, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}

std::string SystemError(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

std::vector<std::uint8_t> WavHeader(std::uint32_t rate, std::uint32_t frames) {
  std::vector<std::uint8_t> h(kHeaderBytes, 0);
  const std::uint32_t data_bytes = frames * kBytesPerFrame;
  std::memcpy(&h[0], "RIFF", 4);
  Put32(h, 4, kHeaderBytes - 8 + data_bytes);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  Put32(h, 16, 16);  // size of the format chunk
  Put16(h, 20, 1);   // PCM
  Put16(h, 22, 2);   // channels
  Put32(h, 24, rate);
  Put32(h, 28, rate * kBytesPerFrame);
  Put16(h, 32, kBytesPerFrame);
  Put16(h, 34, 16);  // bits per sample
  std::memcpy(&h[36], "data", 4);
  Put32(h, 40, data_bytes);
  return h;
}

WavWriter::~WavWriter() { Discard(); }

void WavWriter::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
  temp_path_.clear();
}

bool WavWriter::Open(const std::string& path, std::uint32_t rate, std::string& error) {
  Discard();
  path_ = path;
  rate_ = rate;
  frames_ = 0;
  const std::size_t slash = path.rfind('/');
  std::string name = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                     ".brevox-render-XXXXXX";
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    error = SystemError(path);
    return false;
  }
  temp_path_ = name;
  // mkstemp makes the file private; give it the mode a plain create would.
  const mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd_, 0666 & ~mask) != 0) {
    error = SystemError(path);
    Discard();
    return false;
  }
  const std::vector<std::uint8_t> header = WavHeader(rate, 0);
  if (!WriteAll(fd_, header.data(), header.size())) {
    error = SystemError(path);
    Discard();
    return false;
  }
  return true;
}

bool WavWriter::Append(const std::int16_t* samples, std::uint32_t frames, std::string& error) {
  if (fd_ < 0) {
    error = path_ + ": not open";
    return false;
  }
  if (frames > kMaxFrames - frames_) {
    error = path_ + ": too long for a WAV file";
    Discard();
    return false;
  }
  // WAV is little-endian whatever the host is.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * kBytesPerFrame);
  for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * 2; ++i) {
    const auto v = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(v);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  if (!WriteAll(fd_, bytes.data(), bytes.size())) {
    error = SystemError(path_);
    Discard();
    return false;
  }
  frames_ += frames;
  return true;
}

bool WavWriter::Commit(std::string& error) {
  if (fd_ < 0) {
    error = path_ + ": not open";
    return false;
  }
  const std::vector<std::uint8_t> header = WavHeader(rate_, frames_);
  bool ok = lseek(fd_, 0, SEEK_SET) == 0 && WriteAll(fd_, header.data(), header.size());
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  if (!ok || rename(temp_path_.c_str(), path_.c_str()) != 0) {
    error = SystemError(path_);
    Discard();
    return false;
  }
  temp_path_.clear();
  return true;
}

bool WriteWav(const std::string& path, std::uint32_t rate, const std::vector<std::int16_t>& samples,
              std::string& error) {
  WavWriter writer;
  return writer.Open(path, rate, error) &&
         writer.Append(samples.data(), static_cast<std::uint32_t>(samples.size() / 2), error) &&
         writer.Commit(error);
}

}  // namespace brevox::render
