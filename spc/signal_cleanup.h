#pragma once
// Removal of one named temporary file when a signal ends the process. The
// handler only unlinks the file and raises the signal again with its default
// action, both safe inside a signal handler, so that the process still ends
// with the signal's usual status.

#include <signal.h>

namespace brevox {

// Blocks the signals that the cleanup covers for its lifetime, so that a
// short step such as creating a file and arming its cleanup, or renaming it
// and disarming, is never cut in two; a signal that arrives meanwhile takes
// effect when the block ends.
class CleanupSignalsBlocked {
 public:
  CleanupSignalsBlocked();
  ~CleanupSignalsBlocked();
  CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
  CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};

// Until DisarmSignalCleanup, a signal that would end the process by its
// default action (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1,
// SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF) first removes `path`.
// Signals that are ignored or have a handler of their own are left alone.
// One path at a time: returns false, arming nothing, when a path is already
// armed or `path` is too long to keep. Call with the signals blocked.
bool ArmSignalCleanup(const char* path);

// Forgets the path and gives the signals back their earlier actions.
void DisarmSignalCleanup();

}  // namespace brevox
