#include "spc/spc_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "format/file_open.h"
#include "spc/spc_image.h"

namespace brevox {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes all of `bytes` to the file descriptor; false on any failure.
bool WriteAll(int fd, const ByteBuffer& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// An open file descriptor, closed on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }

  bool is_open() const { return fd_ >= 0; }
  int get() const { return fd_; }

  // Writes all of `bytes` and closes; false on any failure.
  bool WriteAndClose(const ByteBuffer& bytes) {
    const bool wrote = WriteAll(fd_, bytes);
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0 && wrote;
  }

 private:
  int fd_;
};

// Owns the temporary file until it is renamed; removes it on every other way out.
class TemporaryFile {
 public:
  // Creates the file beside `output_path`; an empty path creates nothing.
  explicit TemporaryFile(const std::string& output_path) {
    if (output_path.empty()) return;
    const std::size_t slash = output_path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : output_path.substr(0, slash + 1);
    path_ = directory + (slash == std::string::npos ? "/" : "") + ".brevox-XXXXXX";
    std::vector<char> name(path_.begin(), path_.end());
    name.push_back('\0');
    file = Descriptor(mkstemp(name.data()));
    if (!file.is_open()) {
      path_.clear();
      return;
    }
    path_.assign(name.data());
    // mkstemp makes the file private; give it the mode a plain create would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(file.get(), 0666 & ~mask);
  }
  ~TemporaryFile() {
    if (!path_.empty() && !renamed_) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Moves the file onto `target`; false when that fails.
  bool RenameTo(const std::string& target) {
    renamed_ = std::rename(path_.c_str(), target.c_str()) == 0;
    return renamed_;
  }

  Descriptor file;

 private:
  std::string path_;
  bool renamed_ = false;
};

// How the output path is written: into a temporary file renamed onto `target`,
// or straight into an existing device or pipe such as /dev/null, which a
// rename would replace.
struct OutputTarget {
  bool usable = false;
  bool direct = false;
  std::string target;
};

OutputTarget ResolveOutput(const std::string& path) {
  OutputTarget output;
  if (path.empty()) return output;
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    output.usable = true;
    output.target = path;
    return output;
  }
  if (S_ISDIR(status.st_mode)) return output;
  output.usable = true;
  output.direct = !S_ISREG(status.st_mode);
  output.target = path;
  // Replace the file a link points at, not the link.
  if (!output.direct) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    if (resolved) output.target = resolved.get();
  }
  return output;
}

// Reads up to the player's size from `file`.
ByteBuffer ReadPlayer(std::FILE* file) {
  ByteBuffer player(kPlayerSize);
  player.resize(std::fread(player.data(), 1, player.size(), file));
  return player;
}

}  // namespace

bool WriteSpcFile(const std::string& output_path, const ByteBuffer& packed,
                  const std::string& player_path, OutputSink& sink) {
  const OutputTarget target = ResolveOutput(output_path);
  TemporaryFile output(target.usable && !target.direct ? target.target : std::string());
  Descriptor device(target.usable && target.direct ? open(target.target.c_str(), O_WRONLY | O_TRUNC) : -1);
  if (!output.file.is_open() && !device.is_open()) {
    sink.Printf("Error: unable to open %s\n", output_path.c_str());
    return false;
  }
  std::FILE* opened = nullptr;
  OpenFile(&opened, player_path.c_str(), "rb");
  std::unique_ptr<std::FILE, FileCloser> player_file(opened);
  if (!player_file) {
    sink.Printf("Error: unable to open %s\n", player_path.c_str());
    return false;
  }
  const ByteBuffer image = BuildSpcImage(ReadPlayer(player_file.get()), packed);
  player_file.reset();
  const bool written = target.direct ? device.WriteAndClose(image)
                                     : output.file.WriteAndClose(image) && output.RenameTo(target.target);
  if (!written) {
    sink.Printf("Error: unable to write %s\n", output_path.c_str());
    return false;
  }
  return true;
}

}  // namespace brevox
