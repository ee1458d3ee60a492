#include <csignal>

#include "app/command_line.h"
#include "app/convert.h"
#include "app/exit_status.h"
#include "format/output_sink.h"
#include "spc/spc_file.h"

namespace {

brevox::ExitStatus Run(int argc, const char* const* argv, brevox::OutputSink& sink) {
  using Action = brevox::CommandLine::Action;
  sink.Put(brevox::kBanner);
  const brevox::CommandLine line = brevox::ParseCommandLine(argc, argv);
  switch (line.action) {
    case Action::kNoArguments:
    case Action::kHelp:
      sink.Put(brevox::kUsageLine);
      return brevox::ExitStatus::kSuccess;
    case Action::kMissingPath:
    case Action::kTooManyPaths:
      sink.Put(brevox::kUsageLine);
      return brevox::ExitStatus::kUsage;
    case Action::kConvert:
      break;
  }
  return brevox::Convert(line.input_path, line.output_path, brevox::kPlayerFileName, sink);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of standard output that has gone, or a file-size limit, must not
  // kill the process in the middle of a write: the write then fails and is
  // reported (or, for the console text, passed over), and the temporary
  // output file is removed as on any other failure.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  brevox::StdoutSink sink;
  return static_cast<int>(Run(argc, argv, sink));
}
