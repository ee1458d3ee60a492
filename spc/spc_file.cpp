#include "spc/spc_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "format/file_open.h"
#include "spc/output_path.h"
#include "spc/replacement_file.h"
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
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  bool is_open() const { return fd_ >= 0; }

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

// Reads up to the player's size from `file`.
ByteBuffer ReadPlayer(std::FILE* file) {
  ByteBuffer player(kPlayerSize);
  player.resize(std::fread(player.data(), 1, player.size(), file));
  return player;
}

}  // namespace

bool WriteSpcFile(const std::string& output_path, const ByteBuffer& packed,
                  const std::string& player_path, OutputSink& sink) {
  const OutputTarget target = ResolveOutputPath(output_path);
  const bool replace = target.kind == OutputTarget::Kind::kReplace;
  const bool in_place = target.kind == OutputTarget::Kind::kDevice;
  ReplacementFile replacement(replace ? target.path : std::string(), target.mode);
  Descriptor device(in_place ? open(target.path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1);
  if (!replacement.is_open() && !device.is_open()) {
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
  const bool written = in_place ? device.WriteAndClose(image)
                                : WriteAll(replacement.descriptor(), image) && replacement.Commit();
  if (!written) {
    sink.Printf("Error: unable to write %s\n", output_path.c_str());
    return false;
  }
  return true;
}

}  // namespace brevox
