#include "call_deadline.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>

namespace lptwdmio {

namespace {

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

TCallDeadline::TCallDeadline(std::chrono::milliseconds limit) : Turn_(DeadlineTurn()) {
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
  event._sigev_un._tid = gettid();
  if (timer_create(CLOCK_MONOTONIC, &event, &Timer_) != 0) {
    Error_ = errno;
    return;
  }
  TimerCreated_ = true;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
  struct itimerspec when {};
  when.it_value.tv_sec = seconds.count();
  when.it_value.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(limit - seconds).count();
  if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) when.it_value.tv_nsec = 1;  // 0 would disarm
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
