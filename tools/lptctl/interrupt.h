// Termination requests as a request to stop, for commands that run until
// told to.
#pragma once

#include <chrono>

#include "termination.h"

namespace lptctl {

// Held by main for the whole run, one at a time: Ctrl+C (and on POSIX
// SIGTERM and SIGHUP, unless ignored when the program started, as under
// nohup; on Windows the console closing) no longer ends the program but
// asks the command to stop. A command that does not loop finishes what it
// was doing, so no write is cut off halfway.
class TInterruptHook {
 public:
  TInterruptHook();

 private:
  platform::TTerminationHook Hook_;
};

// What a command's loop looks at.
class TInterrupt {
 public:
  using TClock = std::chrono::steady_clock;

  bool Requested() const;
  // Whether the reader of standard output has gone (`| head -1` done), as
  // the last wait saw it; a quiet command learns it before it writes again.
  bool OutputGone() const { return OutputGone_; }
  // Sleeps until the deadline, looking at least once; true when an
  // interrupt came or standard output went first.
  bool WaitUntil(TClock::time_point deadline);

 private:
  bool OutputGone_ = false;
};

}  // namespace lptctl
