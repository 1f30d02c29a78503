// POSIX side of CloseSignals.h: SIGINT, SIGTERM and SIGHUP (terminal closed), taken by sigwait.
#include <pthread.h>
#include <signal.h>

#include <cstdio>

#include "CloseSignals.h"
#include "threads.h"

namespace {

sigset_t CloseSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
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
  pthread_kill(Thread_.native_handle(), SIGTERM);
  // The watcher may be waiting for the UI thread to run its close request.
  WaitWhileServingSentWork([this] { return Finished_.load(); });
  Thread_.join();
}

void TCloseSignalWatcher::Watch() {
  const sigset_t set = CloseSignalSet();
  for (;;) {
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
