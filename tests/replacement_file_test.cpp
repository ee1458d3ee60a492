#include "spc/replacement_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "support/run_process.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using Naming = ReplacementFile::Naming;
using testing::TempDirectory;

const ByteBuffer kOld{'o', 'l', 'd'};
const ByteBuffer kNew{'n', 'e', 'w', '!'};

bool WriteBytes(const ReplacementFile& file, const ByteBuffer& bytes) {
  return write(file.descriptor(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Both ways of naming: the content arrives whole with the mode asked for, or not at all.
TEST(ReplacementFileTest, CommitReplacesTheTargetAndEverythingElseLeavesNothing) {
  TempDirectory dir;
  for (const Naming naming : {Naming::kUnnamedWherePossible, Naming::kNamed}) {
    const bool unnamed = naming == Naming::kUnnamedWherePossible && dir.AllowsUnnamedFiles();
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    testing::WriteFile(dir.File("out.spc"), kOld);
    {
      ReplacementFile dropped(dir.File("out.spc"), 0644, naming);
      ASSERT_TRUE(dropped.is_open());
      ASSERT_TRUE(WriteBytes(dropped, kNew));
      // While it is written, the temporary file has a name only where it must.
      EXPECT_EQ(dir.Entries().size(), unnamed ? 1u : 2u);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.spc"});
    EXPECT_EQ(testing::ReadFile(dir.File("out.spc")), kOld);

    // The mode is given exactly, whatever the umask would cut.
    ReplacementFile committed(dir.File("out.spc"), 0666, naming);
    ASSERT_TRUE(WriteBytes(committed, kNew));
    EXPECT_TRUE(committed.Commit());
    EXPECT_EQ(testing::ReadFile(dir.File("out.spc")), kNew);
    EXPECT_EQ(ModeOf(dir.File("out.spc")), 0666u);
    EXPECT_FALSE(committed.Commit()) << "a file is committed once";
    ReplacementFile fresh(dir.File("fresh.spc"), 0640, naming);
    ASSERT_TRUE(WriteBytes(fresh, kNew));
    EXPECT_TRUE(fresh.Commit());
    EXPECT_EQ(testing::ReadFile(dir.File("fresh.spc")), kNew);
    EXPECT_EQ(ModeOf(dir.File("fresh.spc")), 0640u);
    std::remove(dir.File("fresh.spc").c_str());

    // A rename that fails (onto a folder that holds a file) leaves no temporary file.
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
    testing::WriteFile(dir.File("folder/inside"), kOld);
    ReplacementFile refused(dir.File("folder"), 0644, naming);
    ASSERT_TRUE(refused.is_open());
    EXPECT_FALSE(refused.Commit());
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder", "out.spc"}));
    std::remove(dir.File("folder/inside").c_str());
    std::remove(dir.File("folder").c_str());
  }
  EXPECT_FALSE(ReplacementFile(dir.File("missing/out.spc"), 0644).is_open());
  EXPECT_FALSE(ReplacementFile("", 0644).is_open());
}

// The named file of file systems that refuse O_TMPFILE: a signal that ends the
// process removes it first, and the process still ends by that signal.
TEST(ReplacementFileTest, SignalsRemoveTheNamedTemporaryFile) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1}) {
    SCOPED_TRACE(strsignal(signal));
    TempDirectory dir;
    testing::WriteFile(dir.File("out.spc"), kOld);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1}) std::signal(s, SIG_DFL);
      const rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      ReplacementFile file(dir.File("out.spc"), 0644, Naming::kNamed);
      const char byte = file.is_open() && WriteBytes(file, kNew) ? 'y' : 'n';
      if (write(ready[1], &byte, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(byte, 'y');
    EXPECT_EQ(dir.Entries().size(), 2u) << "the named temporary file exists";
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.spc"});
    EXPECT_EQ(testing::ReadFile(dir.File("out.spc")), kOld);
  }
}

}  // namespace
}  // namespace brevox
