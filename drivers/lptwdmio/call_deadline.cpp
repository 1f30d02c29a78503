#include "call_deadline.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

// The name Linux documents; older C libraries know only the union member.
#ifndef sigev_notify_thread_id
#define sigev_notify_thread_id _sigev_un._tid
#endif

namespace lptwdmio {

namespace {

timespec TimeSpec(std::chrono::nanoseconds span) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
  return {static_cast<time_t>(seconds.count()), static_cast<long>((span - seconds).count())};
}

std::mutex& DeadlineTurn() {
  static std::mutex turn;
  return turn;
}

// Its only purpose is that the signal is caught rather than fatal or ignored:
// a caught signal ends an interruptible sleep with EINTR.
extern "C" void InterruptCall(int) {}

sigset_t OnlyDeadlineSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, TCallDeadline::Signal());
  return set;
}

}  // namespace

int TCallDeadline::Signal() { return SIGRTMAX - 1; }

TCallDeadline::TCallDeadline(std::chrono::milliseconds limit)
    : Turn_(DeadlineTurn()), End_(std::chrono::steady_clock::now() + limit) {
  struct sigaction action {};
  action.sa_handler = &InterruptCall;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: the call must end, not start over
  if (sigaction(Signal(), &action, &OldAction_) != 0) {
    Error_ = errno;
    return;
  }
  HandlerSet_ = true;
  const sigset_t only = OnlyDeadlineSignal();
  if (const int error = pthread_sigmask(SIG_UNBLOCK, &only, &OldMask_); error != 0) {
    Error_ = error;
    return;
  }
  MaskSet_ = true;

  struct sigevent event {};
  event.sigev_notify = SIGEV_THREAD_ID;
  event.sigev_signo = Signal();
  event.sigev_notify_thread_id = gettid();
  if (timer_create(CLOCK_MONOTONIC, &event, &Timer_) != 0) {
    Error_ = errno;
    return;
  }
  TimerCreated_ = true;
  // Armed after End_ was taken, so the timer's signal never comes before it.
  struct itimerspec when {};
  when.it_value =
      TimeSpec(std::max<std::chrono::nanoseconds>(limit, std::chrono::nanoseconds(1)));  // 0 disarms
  when.it_interval = TimeSpec(Repeat);
  if (timer_settime(Timer_, 0, &when, nullptr) != 0) {
    Error_ = errno;
    return;
  }
  Armed_ = true;
}

TCallDeadline::~TCallDeadline() {
  if (TimerCreated_) timer_delete(Timer_);
  if (MaskSet_) {
    const sigset_t only = OnlyDeadlineSignal();
    pthread_sigmask(SIG_BLOCK, &only, nullptr);
    const struct timespec now {};
    while (sigtimedwait(&only, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &OldMask_, nullptr);
  }
  if (HandlerSet_) sigaction(Signal(), &OldAction_, nullptr);
}

}  // namespace lptwdmio
