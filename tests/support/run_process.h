#pragma once
// Runs a program as a child process and captures what it prints.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brevox::testing {

struct ProcessResult {
  int exit_status = -1;  // -1 when the process did not exit normally
  int signal = 0;        // the signal that ended the process, 0 when it exited
  std::string stdout_text;
  std::string stderr_text;
};

// How a child is started, beyond its program, arguments and directory.
struct ProcessOptions {
  // When not 0, at most this many bytes of address space.
  std::uint64_t address_space_limit = 0;
  // Standard output is a pipe whose reader has already gone; nothing of it is captured.
  bool stdout_reader_gone = false;
};

// A child started in `directory` with no standard input, every signal at its
// default action and unblocked, and no core files, which can be signalled
// while it runs. The destructor kills and reaps a child not waited for.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& directory, const ProcessOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Whether the child has ended; does not wait.
  bool HasEnded();
  // Sends `signal` to a child that has not been reaped.
  void Signal(int signal);
  // Waits for the end and returns how it ended and what it printed.
  ProcessResult Wait();

 private:
  void Reaped(int status);

  pid_t pid_ = -1;
  bool reaped_ = false;
  ProcessResult result_;
  std::string out_path_;
  std::string err_path_;
};

// Runs `program` with `arguments` in `directory` to its end, with at most
// `address_space_limit` bytes of address space when that is not 0.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, std::uint64_t address_space_limit = 0);

// A fresh empty directory, removed with its files when the object goes.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the directory, sorted.
  std::vector<std::string> Entries() const;
  // Whether its file system gives files with no name (Linux O_TMPFILE).
  bool AllowsUnnamedFiles() const;

 private:
  std::string path_;
};

}  // namespace brevox::testing
