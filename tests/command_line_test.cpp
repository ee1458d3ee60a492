#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace brevox {
namespace {

using Action = CommandLine::Action;

CommandLine Parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "brevox");
  return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLineTest, ActionsFromTheArguments) {
  EXPECT_EQ(Parse({}).action, Action::kNoArguments);
  EXPECT_EQ(Parse({"in.vgm"}).action, Action::kMissingPath);
  EXPECT_EQ(Parse({"-x"}).action, Action::kMissingPath);
  EXPECT_EQ(Parse({"in.vgm", "out.spc", "-help"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"-?", "in.vgm", "out.spc"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"-h"}).action, Action::kHelp);
  // Three or more paths are refused, as a shell glob gives them; help still wins.
  EXPECT_EQ(Parse({"a.vgm", "b.vgm", "out.spc"}).action, Action::kTooManyPaths);
  EXPECT_EQ(Parse({"a.vgm", "-x", "b.vgm", "c.vgm", "out.spc"}).action, Action::kTooManyPaths);
  EXPECT_EQ(Parse({"a.vgm", "b.vgm", "out.spc", "-?"}).action, Action::kHelp);
  // Look-alikes of help are ordinary options, ignored.
  const CommandLine lookalike = Parse({"-H", "--help", "-", "in.vgm", "out.spc"});
  EXPECT_EQ(lookalike.action, Action::kConvert);
  EXPECT_EQ(lookalike.input_path, "in.vgm");
  EXPECT_EQ(lookalike.output_path, "out.spc");
}

TEST(CommandLineTest, PathsAndQuotes) {
  const CommandLine two = Parse({"a.vgm", "-x", "b.spc"});
  EXPECT_EQ(two.input_path, "a.vgm");
  EXPECT_EQ(two.output_path, "b.spc");
  EXPECT_EQ(Parse({"\"song.vgz\"", "o"}).input_path, "song.vgz");
  EXPECT_EQ(Parse({"\"abc", "o"}).input_path, "ab");
  EXPECT_EQ(Parse({"\"", "o"}).input_path, "");
  const CommandLine quoted_help = Parse({"\"-h\"", "o"});
  EXPECT_EQ(quoted_help.action, Action::kConvert);
  EXPECT_EQ(quoted_help.input_path, "-h");
  const CommandLine empty = Parse({"", "o"});
  EXPECT_EQ(empty.action, Action::kConvert);
  EXPECT_EQ(empty.input_path, "");
}

}  // namespace
}  // namespace brevox
