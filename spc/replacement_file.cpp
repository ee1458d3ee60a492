#include "spc/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "spc/signal_cleanup.h"

namespace brevox {
namespace {

constexpr const char* kTemporaryPrefix = ".brevox-";
constexpr int kNameAttempts = 100;

// The directory part of `path`, with its slash, or "./" when there is none.
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// Six characters for a temporary name, different on every call.
std::string RandomSuffix() {
  static std::uint64_t state = 0;
  if (state == 0) {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    state = (static_cast<std::uint64_t>(now.tv_nsec) << 20) ^ static_cast<std::uint64_t>(now.tv_sec) ^
            (static_cast<std::uint64_t>(getpid()) << 40) ^ 0x9E3779B97F4A7C15u;
  }
  constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int k = 0; k < 6; ++k) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    suffix += kLetters[state % (sizeof kLetters - 1)];
  }
  return suffix;
}

// Where an unnamed file's descriptor can be reached by a path, which is how
// an unprivileged process links it.
constexpr const char* kDescriptorFolder = "/proc/self/fd/";

// Gives the unnamed file open at `fd` the name `name`; false, with errno set, when it cannot.
bool LinkUnnamed(int fd, const std::string& name) {
  const std::string descriptor_path = kDescriptorFolder + std::to_string(fd);
  return linkat(AT_FDCWD, descriptor_path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target, mode_t mode, Naming naming) : target_(target) {
  if (target.empty()) return;
  const std::string directory = DirectoryOf(target);
  const bool unnamed = naming == Naming::kUnnamedWherePossible && CreateUnnamed(directory);
  if (!unnamed && !CreateNamed(directory)) return;
  // The umask cut the bits at creation, and a named file starts private; the
  // new file gets exactly the mode it was asked for.
  if (fchmod(fd_, mode) != 0) Discard();
}

ReplacementFile::~ReplacementFile() { Discard(); }

bool ReplacementFile::CreateUnnamed(const std::string& directory) {
  // Without /proc (some chroots) the file could never be linked: it gets a name from the start.
  if (access(kDescriptorFolder, X_OK) != 0) return false;
  fd_ = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  unnamed_ = fd_ >= 0;
  return unnamed_;
}

bool ReplacementFile::CreateNamed(const std::string& directory) {
  const std::string pattern = directory + kTemporaryPrefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const CleanupSignalsBlocked blocked;
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  if (!ArmSignalCleanup(name.data())) {
    unlink(name.data());
    close(fd_);
    fd_ = -1;
    return false;
  }
  name_.assign(name.data());
  return true;
}

bool ReplacementFile::Commit() {
  if (fd_ < 0) return false;
  // Closing a descriptor makes a network file system report its delayed write
  // errors, while the file can still be dropped. An unnamed file closes a
  // duplicate: its own descriptor is all that reaches it until it is linked.
  const int closing = unnamed_ ? dup(fd_) : std::exchange(fd_, -1);
  bool committed = closing >= 0 && close(closing) == 0;
  const CleanupSignalsBlocked blocked;
  committed = committed && (unnamed_ ? LinkOntoTarget() : std::rename(name_.c_str(), target_.c_str()) == 0);
  if (committed) {
    if (!unnamed_) DisarmSignalCleanup();
    name_.clear();
  }
  Discard();
  return committed;
}

bool ReplacementFile::LinkOntoTarget() {
  if (LinkUnnamed(fd_, target_)) return true;
  return errno == EEXIST && LinkUnderTemporaryName() && std::rename(name_.c_str(), target_.c_str()) == 0;
}

bool ReplacementFile::LinkUnderTemporaryName() {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = DirectoryOf(target_) + kTemporaryPrefix + RandomSuffix();
    if (LinkUnnamed(fd_, name)) {
      name_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void ReplacementFile::Discard() {
  const CleanupSignalsBlocked blocked;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!name_.empty()) {
    unlink(name_.c_str());
    if (!unnamed_) DisarmSignalCleanup();
  }
  name_.clear();
}

}  // namespace brevox
