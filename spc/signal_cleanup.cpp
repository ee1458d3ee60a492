#include "spc/signal_cleanup.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <iterator>

namespace brevox {
namespace {

// Every signal that another process may send and whose default action ends
// this one. Crash signals are left to their default action and to the sanitizers.
constexpr int kCleanupSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGALRM,
                                   SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
constexpr std::size_t kSignalCount = std::size(kCleanupSignals);

// What the handler reads: a fixed buffer and a flag, set only while the
// signals are blocked, so that the handler never sees them half-written.
char armed_path[PATH_MAX];
volatile std::sig_atomic_t armed = 0;
bool installed[kSignalCount] = {};
struct sigaction previous_actions[kSignalCount];

extern "C" void RemoveFileAndReraise(int signal) {
  const int saved_errno = errno;
  if (armed != 0) unlink(armed_path);
  armed = 0;
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal, &default_action, nullptr);
  // The signal stays blocked until the handler returns, and then ends the process.
  raise(signal);
  errno = saved_errno;
}

sigset_t CleanupSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kCleanupSignals) sigaddset(&set, signal);
  return set;
}

}  // namespace

CleanupSignalsBlocked::CleanupSignalsBlocked() {
  const sigset_t set = CleanupSignalSet();
  sigprocmask(SIG_BLOCK, &set, &previous_);
}

CleanupSignalsBlocked::~CleanupSignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

bool ArmSignalCleanup(const char* path) {
  const std::size_t length = std::strlen(path);
  if (armed != 0 || length >= sizeof armed_path) return false;
  std::memcpy(armed_path, path, length + 1);
  armed = 1;
  struct sigaction cleanup {};
  cleanup.sa_handler = RemoveFileAndReraise;
  cleanup.sa_mask = CleanupSignalSet();
  for (std::size_t k = 0; k < kSignalCount; ++k) {
    struct sigaction current {};
    installed[k] = sigaction(kCleanupSignals[k], nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
                   (current.sa_flags & SA_SIGINFO) == 0 &&
                   sigaction(kCleanupSignals[k], &cleanup, &previous_actions[k]) == 0;
  }
  return true;
}

void DisarmSignalCleanup() {
  armed = 0;
  for (std::size_t k = 0; k < kSignalCount; ++k) {
    if (installed[k]) sigaction(kCleanupSignals[k], &previous_actions[k], nullptr);
    installed[k] = false;
  }
}

}  // namespace brevox
