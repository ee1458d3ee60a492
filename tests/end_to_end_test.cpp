// Runs the built brevox executable as a user would.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "format/byte_order.h"
#include "spc/spc_image.h"
#include "support/run_process.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::ProcessResult;
using testing::TempDirectory;
using testing::VgmBuilder;

const std::string kBanner = "brevox - VGM to SPC converter\n";
const std::string kUsage = "Usage: brevox <input> <output>\n";
const std::string kBar(10, '\xB1');

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    player_ = ByteBuffer(4352);
    for (std::size_t i = 0; i < player_.size(); ++i) player_[i] = static_cast<std::uint8_t>(i);
    testing::WriteFile(dir_.File("s-smp_player.bin"), player_);
    testing::WriteFile(dir_.File("song.vgm"), Song());
  }
  static ByteBuffer Song() { return VgmBuilder().Add({0x50, 0x9F, 0x62, 0x66}).Build(); }
  ProcessResult Run(const std::vector<std::string>& arguments) {
    return testing::RunProcess(BREVOX_EXECUTABLE, arguments, dir_.path());
  }
  std::string Converted(const std::string& input) {
    return kBanner + "Packing " + input + ":" + kBar + "\nInput size: 68 bytes, output size: 73 bytes\n";
  }

  TempDirectory dir_;
  ByteBuffer player_;
};

TEST_F(EndToEndTest, ConvertsAPlainFile) {
  const ProcessResult run = Run({"song.vgm", "song.spc"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.stdout_text, Converted("song.vgm"));
  EXPECT_EQ(run.stderr_text, "");
  const ByteBuffer image = testing::ReadFile(dir_.File("song.spc"));
  ASSERT_EQ(image.size(), 66048u);
  EXPECT_EQ(ByteBuffer(image.begin() + 0x1240, image.begin() + 0x1249),
            (ByteBuffer{0x01, 0x9F, 0x62, 0x66, 0x4E, 0x4E, 0x4E, 0x4E, 0x4E}));
  EXPECT_EQ(image[0x100], player_[0]);
  struct stat status {};
  ASSERT_EQ(stat(dir_.File("song.spc").c_str(), &status), 0);
  EXPECT_NE(status.st_mode & S_IRGRP, 0u) << "an ordinary file, not a private temporary one";
}

TEST_F(EndToEndTest, ConvertsGzipInputToTheSameImage) {
  testing::WriteGzipFile(dir_.File("song.vgz"), Song());
  ASSERT_EQ(Run({"song.vgm", "plain.spc"}).exit_status, 0);
  const ProcessResult run = Run({"-x", "\"song.vgz\"", "packed.spc"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.stdout_text, kBanner + "Unzipping file\n" + Converted("song.vgz").substr(kBanner.size()));
  EXPECT_EQ(testing::ReadFile(dir_.File("packed.spc")), testing::ReadFile(dir_.File("plain.spc")));
  // Gzip under a plain name is known by its first two bytes.
  testing::WriteGzipFile(dir_.File("inside.vgm"), Song());
  const ProcessResult inside = Run({"inside.vgm", "inside.spc"});
  EXPECT_EQ(inside.exit_status, 0);
  EXPECT_EQ(inside.stdout_text, kBanner + "Unzipping file\n" + Converted("inside.vgm").substr(kBanner.size()));
  EXPECT_EQ(testing::ReadFile(dir_.File("inside.spc")), testing::ReadFile(dir_.File("plain.spc")));
}

TEST_F(EndToEndTest, UsageAndHelp) {
  const ProcessResult none = Run({});
  EXPECT_EQ(none.exit_status, 0);
  EXPECT_EQ(none.stdout_text, kBanner + kUsage);
  const ProcessResult help = Run({"song.vgm", "out.spc", "-help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.stdout_text, kBanner + kUsage);
  EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), ByteBuffer{});
  const ProcessResult one = Run({"song.vgm"});
  EXPECT_EQ(one.exit_status, 2);
  EXPECT_EQ(one.stdout_text, kBanner + kUsage);
}

// `brevox *.vgm out.spc` with two songs: nothing may be converted onto the second song.
TEST_F(EndToEndTest, ThreePathsAreRefusedAndNothingIsTouched) {
  testing::WriteFile(dir_.File("b.vgm"), Song());
  testing::WriteFile(dir_.File("out.spc"), ByteBuffer{'o', 'l', 'd'});
  const std::vector<std::string> before = dir_.Entries();
  const std::vector<std::string> three_paths[] = {{"song.vgm", "b.vgm", "out.spc"},
                                                  {"-x", "song.vgm", "b.vgm", "missing.vgm", "new.spc"}};
  for (const std::vector<std::string>& arguments : three_paths) {
    const ProcessResult run = Run(arguments);
    EXPECT_EQ(run.exit_status, 2) << arguments.size();
    EXPECT_EQ(run.stdout_text, kBanner + kUsage);
  }
  EXPECT_EQ(testing::ReadFile(dir_.File("b.vgm")), Song());
  EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), (ByteBuffer{'o', 'l', 'd'}));
  EXPECT_EQ(dir_.Entries(), before);
  // A help option met during the walk still ends it before the paths are counted.
  const ProcessResult help = Run({"song.vgm", "b.vgm", "out.spc", "-h"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.stdout_text, kBanner + kUsage);
  EXPECT_EQ(dir_.Entries(), before);
}

// Every failure: exit status 1, one message, the existing output untouched, no temporary file.
TEST_F(EndToEndTest, FailuresLeaveTheOutputAsItWas) {
  const ByteBuffer before{'o', 'l', 'd'};
  testing::WriteFile(dir_.File("in.gz"), ByteBuffer(100, 0x33));
  testing::WriteFile(dir_.File("short.vgm"), ByteBuffer(10, 0));
  ByteBuffer picture(600, 0x20);
  picture[0] = 0x89;  // not a song, though its bytes read as commands
  testing::WriteFile(dir_.File("picture.vgm"), picture);
  testing::WriteGzipFile(dir_.File("text.vgm"), ByteBuffer(300, 'x'));
  testing::WriteFile(dir_.File("cut.vgm"), VgmBuilder().Add({0x52, 0x2A}).Build());
  testing::WriteFile(dir_.File("illegal.vgm"), VgmBuilder().Add({0x67, 0x01}).End().Build());
  VgmBuilder big;
  big.Add(ByteBuffer(70000, 0x62)).End();
  testing::WriteFile(dir_.File("big.vgm"), big.Build());
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"none.vgm", "Error: Failed to open none.vgm\n"},
      {"none.vgz", "Unzipping file\nError: Failed to gzopen none.vgz\n"},
      {"short.vgm", "Error: short.vgm is too short to be a VGM file\n"},
      {"in.gz", "Unzipping file\nError: in.gz is not a VGM file\n"},
      {"picture.vgm", "Error: picture.vgm is not a VGM file\n"},
      {"text.vgm", "Unzipping file\nError: text.vgm is not a VGM file\n"},
      {"cut.vgm", "Packing cut.vgm:\nError: unexpected end of vgm data\n"},
      {"illegal.vgm", "Packing illegal.vgm:Illegal command: 0x67 0x01\n"},
      {"big.vgm", "Packing big.vgm:" + kBar + "\nInput size: 70065 bytes, output size: 78823 bytes\n"
                  "Error: the vgm data is too large to fit. the maximum size after packing is 61120 bytes\n"},
  };
  for (const Case& c : cases) {
    testing::WriteFile(dir_.File("out.spc"), before);
    const ProcessResult run = Run({c.input, "out.spc"});
    EXPECT_EQ(run.exit_status, 1) << c.input;
    EXPECT_EQ(run.stdout_text, kBanner + c.expected) << c.input;
    EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), before) << c.input;
  }
  std::remove(dir_.File("s-smp_player.bin").c_str());
  const ProcessResult no_player = Run({"song.vgm", "out.spc"});
  EXPECT_EQ(no_player.exit_status, 1);
  EXPECT_EQ(no_player.stdout_text, Converted("song.vgm") + "Error: unable to open s-smp_player.bin\n");
  EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), before);
  const ProcessResult fresh = Run({"song.vgm", "fresh.spc"});
  EXPECT_EQ(fresh.exit_status, 1);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"big.vgm", "cut.vgm", "illegal.vgm", "in.gz", "out.spc",
                                                      "picture.vgm", "short.vgm", "song.vgm", "text.vgm"}));
}

TEST_F(EndToEndTest, UnwritableOutput) {
  const ProcessResult run = Run({"song.vgm", "missing-dir/out.spc"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.stdout_text, Converted("song.vgm") + "Error: unable to open missing-dir/out.spc\n");
}

// Opens the FIFO for writing as soon as the child has opened it for reading,
// so that the child then waits in its read; -1 when the child ended first or
// a minute went by.
int OpenWhenReaderWaits(const std::string& fifo, testing::ChildProcess& child) {
  for (int tries = 0; tries < 6000 && !child.HasEnded(); ++tries) {
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) return fd;
    usleep(10000);
  }
  return -1;
}

// A player that is a FIFO with no writer holds the run while its temporary output exists.
class EndToEndSignalTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    std::remove(dir_.File("s-smp_player.bin").c_str());
    ASSERT_EQ(mkfifo(dir_.File("s-smp_player.bin").c_str(), 0600), 0);
    testing::WriteFile(dir_.File("out.spc"), ByteBuffer{'o', 'l', 'd'});
  }

  // Sends `signal` while the run waits on the player; checks that the
  // process ended by it and that nothing but the old output remains.
  void InterruptRun(int signal) {
    const std::vector<std::string> before = dir_.Entries();
    testing::ChildProcess child(BREVOX_EXECUTABLE, {"song.vgm", "out.spc"}, dir_.path());
    const int writer = OpenWhenReaderWaits(dir_.File("s-smp_player.bin"), child);
    ASSERT_GE(writer, 0) << "the run did not wait on the player";
    if (dir_.AllowsUnnamedFiles()) {
      EXPECT_EQ(dir_.Entries(), before) << "the temporary file has a name while it is written";
    }
    child.Signal(signal);
    const ProcessResult run = child.Wait();
    close(writer);
    EXPECT_EQ(run.signal, signal) << "ended by the signal, with its usual status";
    EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), (ByteBuffer{'o', 'l', 'd'}));
    EXPECT_EQ(dir_.Entries(), before) << "no temporary file stays behind";
  }
};

TEST_F(EndToEndSignalTest, TerminatingSignalsLeaveTheOldOutputAndNoTemporaryFile) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal));
    InterruptRun(signal);
  }
}

TEST_F(EndToEndSignalTest, EvenSigkillLeavesNothingWhereFilesCanHaveNoName) {
  if (!dir_.AllowsUnnamedFiles()) {
    GTEST_SKIP() << "the file system of " << dir_.path() << " refuses O_TMPFILE: the temporary file "
                 << "has a name, which only a signal the process sees can remove";
  }
  InterruptRun(SIGKILL);
}

// The new file keeps the mode of the file it replaces; a new one gets 0666 less the umask.
TEST_F(EndToEndTest, TheReplacedFileKeepsItsMode) {
  const struct {
    const char* name;
    mode_t mode;
  } cases[] = {{"private.spc", 0600}, {"open.spc", 0666}, {"read-only.spc", 0444}};
  for (const auto& c : cases) {
    testing::WriteFile(dir_.File(c.name), ByteBuffer{'o', 'l', 'd'});
    ASSERT_EQ(chmod(dir_.File(c.name).c_str(), c.mode), 0);
    EXPECT_EQ(Run({"song.vgm", c.name}).exit_status, 0) << c.name;
    struct stat status {};
    ASSERT_EQ(stat(dir_.File(c.name).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, c.mode) << c.name;
    // A read-only file is replaced like any other, as mv does: the rename asks the folder, not the file.
    EXPECT_EQ(testing::ReadFile(dir_.File(c.name)).size(), 66048u) << c.name;
  }
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_EQ(Run({"song.vgm", "new.spc"}).exit_status, 0);
  struct stat status {};
  ASSERT_EQ(stat(dir_.File("new.spc").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
}

// A dangling link is treated like a live one: the file is made where it points, and the link stays.
TEST_F(EndToEndTest, ADanglingLinkGetsItsTargetCreated) {
  ASSERT_EQ(mkdir(dir_.File("songs").c_str(), 0755), 0);
  ASSERT_EQ(symlink("songs/target.spc", dir_.File("link.spc").c_str()), 0);
  ASSERT_EQ(symlink("link.spc", dir_.File("chain.spc").c_str()), 0);
  const ProcessResult run = Run({"song.vgm", "chain.spc"});
  EXPECT_EQ(run.exit_status, 0) << run.stdout_text;
  struct stat status {};
  ASSERT_EQ(lstat(dir_.File("link.spc").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(lstat(dir_.File("chain.spc").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(testing::ReadFile(dir_.File("songs/target.spc")).size(), 66048u);
  // Links that point at each other lead nowhere.
  ASSERT_EQ(symlink("loop-b.spc", dir_.File("loop-a.spc").c_str()), 0);
  ASSERT_EQ(symlink("loop-a.spc", dir_.File("loop-b.spc").c_str()), 0);
  const ProcessResult loop = Run({"song.vgm", "loop-a.spc"});
  EXPECT_EQ(loop.exit_status, 1);
  EXPECT_EQ(loop.stdout_text, Converted("song.vgm") + "Error: unable to open loop-a.spc\n");
  ASSERT_EQ(lstat(dir_.File("loop-a.spc").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
}

// A file-size limit below the image's size makes a short write, reported like any other.
TEST_F(EndToEndTest, AFileSizeLimitIsAWriteError) {
  testing::WriteFile(dir_.File("out.spc"), ByteBuffer{'o', 'l', 'd'});
  const std::vector<std::string> before = dir_.Entries();
  const ProcessResult run = testing::RunProcess(
      "/bin/sh", {"-c", "ulimit -f 32 && exec \"$0\" song.vgm out.spc", BREVOX_EXECUTABLE}, dir_.path());
  EXPECT_EQ(run.signal, 0) << "killed by a signal instead of reporting the write";
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.stdout_text, Converted("song.vgm") + "Error: unable to write out.spc\n");
  EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), (ByteBuffer{'o', 'l', 'd'}));
  EXPECT_EQ(dir_.Entries(), before) << "no temporary file stays behind";
}

// `brevox a.vgm a.spc | head -c 10`: the reader going away does not stop the conversion.
TEST_F(EndToEndTest, AClosedStdoutPipeChangesNothing) {
  ASSERT_EQ(Run({"song.vgm", "expected.spc"}).exit_status, 0);
  testing::ProcessOptions reader_gone;
  reader_gone.stdout_reader_gone = true;
  const ProcessResult run =
      testing::ChildProcess(BREVOX_EXECUTABLE, {"song.vgm", "song.spc"}, dir_.path(), reader_gone).Wait();
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(testing::ReadFile(dir_.File("song.spc")), testing::ReadFile(dir_.File("expected.spc")));
  const ProcessResult failed =
      testing::ChildProcess(BREVOX_EXECUTABLE, {"none.vgm", "none.spc"}, dir_.path(), reader_gone).Wait();
  EXPECT_EQ(failed.signal, 0);
  EXPECT_EQ(failed.exit_status, 1);
}

TEST_F(EndToEndTest, RepairsAreReportedAsWarnings) {
  ByteBuffer song = VgmBuilder().Add({0x50, 0x9F, 0x61, 0x10, 0x00, 0xA0, 0x07, 0x38}).Build();
  WriteLe32(&song[0x1C], 0x43 - 0x1C);
  testing::WriteFile(dir_.File("odd.vgm"), song);
  const ProcessResult run = Run({"odd.vgm", "odd.spc"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.stdout_text.find("\nWarning: the vgm data has no end-of-data command; one was added\n"
                                 "Warning: the loop offset does not point at a command; the output will not loop\n"
                                 "Warning: the vgm data has commands for other chips; they were left out\n"),
            std::string::npos)
      << run.stdout_text;
  EXPECT_EQ(testing::ReadFile(dir_.File("odd.spc")).size(), 66048u);
}

#if !defined(__SANITIZE_ADDRESS__)
// Address-space limits only mean something without the sanitizers' shadow memory.
TEST_F(EndToEndTest, RunningOutOfMemoryIsAnError) {
  constexpr std::uint32_t kWaits = 30u << 20;
  VgmBuilder song;
  song.Add(ByteBuffer(kWaits, 0x62)).End();
  testing::WriteFile(dir_.File("huge.vgm"), song.Build());
  testing::WriteFile(dir_.File("out.spc"), ByteBuffer{7});
  // Room for the input image but not for the rewritten stream, then not for the packed stream.
  const ProcessResult load = testing::RunProcess(BREVOX_EXECUTABLE, {"huge.vgm", "out.spc"}, dir_.path(), 60u << 20);
  EXPECT_EQ(load.exit_status, 1);
  EXPECT_EQ(load.stdout_text, kBanner + "Error: Failed to allocate memory\n");
  const ProcessResult pack = testing::RunProcess(BREVOX_EXECUTABLE, {"huge.vgm", "out.spc"}, dir_.path(), 90u << 20);
  EXPECT_EQ(pack.exit_status, 1);
  EXPECT_EQ(pack.stdout_text, kBanner + "Packing huge.vgm:Error: out of memory\n");
  EXPECT_EQ(testing::ReadFile(dir_.File("out.spc")), ByteBuffer{7});
}
#endif

}  // namespace
}  // namespace brevox
