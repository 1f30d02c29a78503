// POSIX side of CloseSignals.h: SIGINT, SIGTERM and SIGHUP (terminal closed), taken by sigwait.
#include <pthread.h>
#include <signal.h>

#include <cstdio>

#include "CloseSignals.h"
#include "threads.h"

namespace {

constexpr int CloseSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal ignored when the program started (nohup's SIGHUP) stays ignored:
// blocked, it would wait as pending for sigwait instead of being dropped.
// Blocking leaves the disposition alone, so this reads the same later on.
sigset_t CloseSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : CloseSignals) {
    struct sigaction action {};
    if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
    sigaddset(&set, signal);
  }
  return set;
}

// A signal of the set, to wake the watcher with; 0 when the set is empty.
int WakeSignal(const sigset_t& set) {
  for (const int signal : CloseSignals)
    if (sigismember(&set, signal) == 1) return signal;
  return 0;
}

}  // namespace

void BlockCloseSignals() {
  const sigset_t set = CloseSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TCloseSignalWatcher::TCloseSignalWatcher(std::function<void()> onSignal)
    : OnSignal_(std::move(onSignal)), Thread_([this] { Watch(); }) {}

TCloseSignalWatcher::~TCloseSignalWatcher() {
  Stopping_ = true;
  if (const int wake = WakeSignal(CloseSignalSet())) pthread_kill(Thread_.native_handle(), wake);
  // The watcher may be waiting for the UI thread to run its close request.
  WaitWhileServingSentWork([this] { return Finished_.load(); });
  Thread_.join();
}

void TCloseSignalWatcher::Watch() {
  const sigset_t set = CloseSignalSet();
  // With every close signal ignored there is nothing to wait for.
  while (WakeSignal(set) != 0) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || Stopping_) break;
    try {
      SendToMainThread(OnSignal_);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "pinlark: closing on signal %d failed: %s\n", signal, e.what());
    }
  }
  Finished_ = true;
  WakeMainThread();
}
