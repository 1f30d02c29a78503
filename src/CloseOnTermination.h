// Ends the program in order when asked to from outside (Ctrl+C, kill, the
// terminal or console closing, the end of the session): each request becomes
// one close on the UI thread, as if the user had closed the main window.
#pragma once

#include <functional>

#include "termination.h"

class TCloseOnTermination {
 public:
  // close runs on the UI thread for every request.
  explicit TCloseOnTermination(std::function<void()> close);

 private:
  std::function<void()> Close_;
  platform::TTerminationHook Hook_;
};
