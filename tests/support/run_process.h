#pragma once
// Runs a program as a child process and captures what it prints.

#include <cstdint>
#include <string>
#include <vector>

namespace brevox::testing {

struct ProcessResult {
  int exit_status = -1;  // -1 when the process did not exit normally
  std::string stdout_text;
  std::string stderr_text;
};

// Runs `program` with `arguments` in `directory`, with no standard input and,
// when `address_space_limit` is not 0, at most that many bytes of address space.
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

 private:
  std::string path_;
};

}  // namespace brevox::testing
