#include "spc/spc_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "input/file_open.h"
#include "spc/spc_image.h"

namespace brevox {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Owns the temporary file until it is renamed; removes it on every other way out.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& output_path) {
    const std::size_t slash = output_path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : output_path.substr(0, slash + 1);
    path_ = directory + (slash == std::string::npos ? "/" : "") + ".brevox-XXXXXX";
    std::vector<char> name(path_.begin(), path_.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) return;
    path_.assign(name.data());
    // mkstemp makes the file private; give it the mode a plain create would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
  }
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty() && !renamed_) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool is_open() const { return fd_ >= 0; }

  // Writes all of `bytes` and closes; false on any failure.
  bool WriteAndClose(const ByteBuffer& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t wrote = write(fd_, bytes.data() + done, bytes.size() - done);
      if (wrote <= 0) return false;
      done += static_cast<std::size_t>(wrote);
    }
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

  // Moves the file onto `target`; false when that fails.
  bool RenameTo(const std::string& target) {
    renamed_ = std::rename(path_.c_str(), target.c_str()) == 0;
    return renamed_;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool renamed_ = false;
};

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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
  if (output_path.empty() || IsDirectory(output_path)) {
    sink.Printf("Error: unable to open %s\n", output_path.c_str());
    return false;
  }
  TemporaryFile output(output_path);
  if (!output.is_open()) {
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
  if (!output.WriteAndClose(image) || !output.RenameTo(output_path)) {
    sink.Printf("Error: unable to write %s\n", output_path.c_str());
    return false;
  }
  return true;
}

}  // namespace brevox
