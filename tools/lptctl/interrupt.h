// Ctrl+C as a request to stop, for commands that run until told to.
#pragma once

#include <chrono>

namespace lptctl {

// While it lives, Ctrl+C (and on POSIX SIGTERM and SIGHUP) no longer ends the
// program but sets a flag that the command's loop looks at. One at a time.
class TInterrupt {
 public:
  using TClock = std::chrono::steady_clock;

  TInterrupt();
  ~TInterrupt();
  TInterrupt(const TInterrupt&) = delete;
  TInterrupt& operator=(const TInterrupt&) = delete;

  bool Requested() const;
  // Sleeps until the deadline; true when an interrupt came first.
  bool WaitUntil(TClock::time_point deadline);
};

}  // namespace lptctl
