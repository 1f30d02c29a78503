// A bound on one blocking system call of the calling thread.
#pragma once

#include <signal.h>
#include <time.h>

#include <chrono>
#include <mutex>

namespace lptwdmio {

// While it lives, a system call of this thread that sleeps interruptibly
// past the limit fails with EINTR: a timer sends a signal to this thread
// alone, and the signal's handler does nothing. After the limit the signal
// comes again every Repeat, so a call that began to sleep just after one
// (a preempted thread) still ends. The signal's disposition is process-wide,
// so deadlines of different threads take turns; the destructor puts back the
// handler and the thread's signal mask, and takes a signal the timer sent
// too late so the old handler never sees it.
class TCallDeadline {
 public:
  static constexpr std::chrono::milliseconds Repeat{5};

  explicit TCallDeadline(std::chrono::milliseconds limit);
  ~TCallDeadline();
  TCallDeadline(const TCallDeadline&) = delete;
  TCallDeadline& operator=(const TCallDeadline&) = delete;

  // False when the timer could not be set up; Error() is then the errno.
  bool Armed() const { return Armed_; }
  int Error() const { return Error_; }
  // Whether the limit has passed. A call that ended with EINTR before then
  // was ended by another signal: interrupted, not out of time.
  bool Passed() const { return std::chrono::steady_clock::now() >= End_; }

  // A real-time signal the program leaves alone.
  static int Signal();

 private:
  std::unique_lock<std::mutex> Turn_;
  std::chrono::steady_clock::time_point End_;
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
