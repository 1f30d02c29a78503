// A bound on one blocking system call of the calling thread.
#pragma once

#include <signal.h>
#include <time.h>

#include <chrono>
#include <mutex>

namespace lptwdmio {

// While it lives, a system call of this thread that sleeps interruptibly for
// longer than the limit fails with EINTR: a one-shot timer sends a signal to
// this thread alone, and the signal's handler does nothing. The signal's
// disposition is process-wide, so deadlines of different threads take turns;
// the destructor puts back the handler and the thread's signal mask, and
// takes a signal the timer sent too late so the old handler never sees it.
class TCallDeadline {
 public:
  explicit TCallDeadline(std::chrono::milliseconds limit);
  ~TCallDeadline();
  TCallDeadline(const TCallDeadline&) = delete;
  TCallDeadline& operator=(const TCallDeadline&) = delete;

  // False when the timer could not be set up; Error() is then the errno.
  bool Armed() const { return Armed_; }
  int Error() const { return Error_; }

  // A real-time signal the program leaves alone.
  static int Signal();

 private:
  std::unique_lock<std::mutex> Turn_;
  struct sigaction OldAction_ {};
  sigset_t OldMask_{};
  timer_t Timer_{};
  bool HandlerSet_ = false;
  bool MaskSet_ = false;
  bool TimerCreated_ = false;
  bool Armed_ = false;
  int Error_ = 0;
};

}  // namespace lptwdmio
