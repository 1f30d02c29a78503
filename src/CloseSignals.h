// Turns the termination signals (SIGINT, SIGTERM, SIGHUP) into an orderly
// close: the signals are blocked in every thread and one watcher thread waits
// for them, so no work happens inside a signal handler.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Call first thing in main, before any thread exists, so every thread
// inherits the blocked mask.
void BlockCloseSignals();

class TCloseSignalWatcher {
 public:
  // onSignal runs on the UI thread (SendToMainThread) for every signal caught.
  explicit TCloseSignalWatcher(std::function<void()> onSignal);
  ~TCloseSignalWatcher();
  TCloseSignalWatcher(const TCloseSignalWatcher&) = delete;
  TCloseSignalWatcher& operator=(const TCloseSignalWatcher&) = delete;

 private:
  void Watch();
  std::function<void()> OnSignal_;
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Finished_{false};
  std::thread Thread_;
};
