// Ctrl+C as a request to stop, for commands that run until told to.
#pragma once

#include <chrono>

namespace lptctl {

// While it lives, Ctrl+C (and on POSIX SIGTERM and SIGHUP, unless ignored
// when the program started, as under nohup) no longer ends the program but
// sets a flag that the command's loop looks at; a closed output pipe no
// longer kills it (SIGPIPE) but fails the write. One at a time.
class TInterrupt {
 public:
  using TClock = std::chrono::steady_clock;

  TInterrupt();
  ~TInterrupt();
  TInterrupt(const TInterrupt&) = delete;
  TInterrupt& operator=(const TInterrupt&) = delete;

  bool Requested() const;
  // Whether the reader of standard output has gone (`| head -1` done), as
  // the last wait saw it; a quiet command learns it before it writes again.
  bool OutputGone() const;
  // Sleeps until the deadline, looking at least once; true when an
  // interrupt came or standard output went first.
  bool WaitUntil(TClock::time_point deadline);
};

}  // namespace lptctl
