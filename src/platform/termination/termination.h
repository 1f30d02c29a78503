// Requests to end the program (Ctrl+C, kill, a closed terminal or console,
// the end of the session), each handed to a thread of the hook's own, so
// that nothing runs inside a signal handler or a console handler and the
// program decides how to end.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace platform {

enum class TTermination { Interrupt, Terminate, HangUp, SessionEnd };

// For messages: "signal 15" on POSIX, "Ctrl+C" on Windows, and so on.
std::string Describe(TTermination why);

// Call first thing in main, before any thread exists, so that every thread
// inherits it: a request then waits for the hook instead of ending the
// program. A hook does the same for the thread that makes it.
void HoldTerminationRequests();

// A write to a pipe whose reader has gone fails instead of ending the program.
void IgnoreClosedPipes();

// One at a time. A request ignored when the program started (SIGHUP under
// nohup) stays ignored.
class TTerminationHook {
 public:
  // True once done() holds; false when the limit passed first.
  using TWait = std::function<bool(const std::function<bool()>& done, std::chrono::milliseconds limit)>;

  // onRequest runs on the hook's thread, once per request. wait serves the
  // destructor while the thread ends: a thread that waits on another one in
  // onRequest needs that one served meanwhile.
  explicit TTerminationHook(std::function<void(TTermination)> onRequest, TWait wait = nullptr);
  ~TTerminationHook();
  TTerminationHook(const TTerminationHook&) = delete;
  TTerminationHook& operator=(const TTerminationHook&) = delete;

 private:
  void Watch();
  void Nudge();
  std::function<void(TTermination)> OnRequest_;
  TWait Wait_;
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Finished_{false};
  std::thread Thread_;
};

}  // namespace platform
