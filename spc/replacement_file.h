#pragma once
// A file that replaces its target all at once: written as a temporary file in
// the target's directory, it takes the target's name only when committed, by
// a rename, so that the target is either the old file or the whole new one.
//
// Where the file system allows (Linux O_TMPFILE), the temporary file has no
// name until it is complete, so that no way out, not even SIGKILL, leaves it
// behind; it is then linked, with the terminating signals blocked, onto the
// target or, to replace an existing file, under a temporary name that a
// rename moves onto the target at once. Elsewhere it is named .brevox-XXXXXX
// from the start, removed on every failure and, through the signal cleanup,
// by any signal that ends the process meanwhile.

#include <sys/types.h>

#include <string>

namespace brevox {

class ReplacementFile {
 public:
  enum class Naming {
    kUnnamedWherePossible,  // O_TMPFILE, or a named file where the file system or a lack of /proc forbids it
    kNamed,                 // a named file from the start, as where O_TMPFILE is refused
  };

  // Creates the temporary file beside `target` with the permission bits
  // `mode`, whatever the umask; an empty target creates nothing. Only one
  // named temporary file can be open at a time.
  ReplacementFile(const std::string& target, mode_t mode, Naming naming = Naming::kUnnamedWherePossible);
  // Removes the temporary file unless it was committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool is_open() const { return fd_ >= 0; }
  // The descriptor to write the content to.
  int descriptor() const { return fd_; }

  // Closes the file and moves it onto the target; false when that fails, and
  // then the target is as it was and no temporary file remains.
  bool Commit();

 private:
  bool CreateUnnamed(const std::string& directory);
  bool CreateNamed(const std::string& directory);
  // Gives the finished unnamed file the target's name: by a link in one step
  // where nothing stands there; else, since only a rename replaces a file,
  // linked under a temporary name and renamed. Between those two SIGKILL
  // alone can leave the temporary name behind.
  bool LinkOntoTarget();
  // Links the unnamed file under a new temporary name in the target's directory.
  bool LinkUnderTemporaryName();
  void Discard();

  std::string target_;
  int fd_ = -1;
  // The temporary file's name, empty while it has none.
  std::string name_;
  bool unnamed_ = false;
};

}  // namespace brevox
