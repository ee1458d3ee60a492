#include "support/run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace brevox::testing {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& directory, const ProcessOptions& options) {
  const std::string capture = directory + "/../" + std::filesystem::path(directory).filename().string();
  out_path_ = capture + ".out";
  err_path_ = capture + ".err";
  pid_ = fork();
  if (pid_ != 0) return;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int in = open("/dev/null", O_RDONLY);
  int out = -1;
  if (options.stdout_reader_gone) {
    int ends[2];
    if (pipe(ends) == 0) {
      close(ends[0]);
      out = ends[1];
    }
  } else {
    out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(directory.c_str()) != 0) {
    _exit(127);
  }
  // Signals that the test runner ignores or blocks would stay so across exec.
  for (int signal = 1; signal < NSIG; ++signal) std::signal(signal, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // A child killed by SIGQUIT must not leave a core file among the files a test looks at.
  const rlimit no_core{0, 0};
  if (setrlimit(RLIMIT_CORE, &no_core) != 0) _exit(127);
  if (options.address_space_limit != 0) {
    const rlimit limit{options.address_space_limit, options.address_space_limit};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
  }
  execv(program.c_str(), argv.data());
  _exit(127);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    Wait();
  }
}

void ChildProcess::Reaped(int status) {
  reaped_ = true;
  if (WIFEXITED(status)) result_.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
}

bool ChildProcess::HasEnded() {
  if (pid_ <= 0 || reaped_) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) Reaped(status);
  return reaped_;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0 && !reaped_) kill(pid_, signal);
}

ProcessResult ChildProcess::Wait() {
  int status = 0;
  if (pid_ > 0 && !reaped_ && waitpid(pid_, &status, 0) == pid_) Reaped(status);
  result_.stdout_text = ReadAll(out_path_);
  result_.stderr_text = ReadAll(err_path_);
  std::remove(out_path_.c_str());
  std::remove(err_path_.c_str());
  return result_;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, std::uint64_t address_space_limit) {
  ProcessOptions options;
  options.address_space_limit = address_space_limit;
  return ChildProcess(program, arguments, directory, options).Wait();
}

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brevox-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDirectory::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool TempDirectory::AllowsUnnamedFiles() const {
  const int fd = open(path_.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace brevox::testing
