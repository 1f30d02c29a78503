#include "CloseOnTermination.h"

#include <cstdio>
#include <exception>

#include "process_info.h"
#include "threads.h"

namespace {

// The hook's thread may be waiting for the UI thread to run a close while
// the UI thread ends the hook: serve it meanwhile.
bool ServeWhileWaiting(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return WaitWhileServingSentWork(done, limit);
}

}  // namespace

TCloseOnTermination::TCloseOnTermination(std::function<void()> close)
    : Close_(std::move(close)),
      Hook_(
          [this](platform::TTermination why) {
            try {
              SendToMainThread(Close_);
            } catch (const std::exception& e) {
              std::fprintf(stderr, "%s: closing on %s failed: %s\n", platform::ProgramName().c_str(),
                           platform::Describe(why).c_str(), e.what());
            }
          },
          ServeWhileWaiting) {}
