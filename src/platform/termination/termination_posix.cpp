// POSIX side of termination.h: SIGINT, SIGTERM and SIGHUP (terminal closed),
// blocked in every thread and taken by sigwait on the hook's thread.
#include <pthread.h>
#include <signal.h>

#include "termination.h"

namespace platform {

namespace {

struct TRequestSignal {
  int Signal;
  TTermination Why;
};
constexpr TRequestSignal RequestSignals[] = {
    {SIGINT, TTermination::Interrupt}, {SIGTERM, TTermination::Terminate}, {SIGHUP, TTermination::HangUp}};

// A signal ignored when the program started (nohup's SIGHUP) stays ignored:
// blocked, it would wait as pending for sigwait instead of being dropped.
// Blocking leaves the disposition alone, so this reads the same later on.
sigset_t RequestSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const TRequestSignal& request : RequestSignals) {
    struct sigaction action {};
    if (::sigaction(request.Signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
    sigaddset(&set, request.Signal);
  }
  return set;
}

// A signal of the set, to wake the hook's thread with; 0 when the set is empty.
int WakeSignal(const sigset_t& set) {
  for (const TRequestSignal& request : RequestSignals)
    if (sigismember(&set, request.Signal) == 1) return request.Signal;
  return 0;
}

}  // namespace

std::string Describe(TTermination why) {
  for (const TRequestSignal& request : RequestSignals)
    if (request.Why == why) return "signal " + std::to_string(request.Signal);
  return "the end of the session";
}

void HoldTerminationRequests() {
  const sigset_t set = RequestSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void IgnoreClosedPipes() { ::signal(SIGPIPE, SIG_IGN); }

void TTerminationHook::Nudge() {
  if (const int wake = WakeSignal(RequestSet())) pthread_kill(Thread_.native_handle(), wake);
}

void TTerminationHook::Watch() {
  const sigset_t set = RequestSet();
  // With every request ignored there is nothing to wait for.
  while (WakeSignal(set) != 0) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || Stopping_) break;
    for (const TRequestSignal& request : RequestSignals)
      if (request.Signal == signal) OnRequest_(request.Why);
  }
  Finished_ = true;
}

}  // namespace platform
