// The widgets' worker thread: suspend/resume counting, work run on the UI
// thread with its exception carried back, and waiting that keeps the UI
// thread serving that work.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "classes.h"
#include "types.h"

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
using enum TThreadPriority;

// The operating-system priority each TThreadPriority stands for.
int ThreadPriorityValue(TThreadPriority p);

// Create with std::make_shared. With FreeOnTerminate set before it starts,
// a running thread keeps itself alive and is freed when its body ends, so
// its owner may drop it at any time.
class TAbThread : public TObject, public std::enable_shared_from_this<TAbThread> {
 public:
  using TThreadMethod = std::function<void()>;

  // Suspended: the body starts at the Resume that balances the creation.
  // Otherwise the most-derived constructor calls Start().
  explicit TAbThread(bool createSuspended);
  // Still running: terminates it and waits for it.
  ~TAbThread() override;
  TAbThread(const TAbThread&) = delete;
  TAbThread& operator=(const TAbThread&) = delete;
  std::string ClassName() const override { return "TAbThread"; }

  void Terminate();
  bool Terminated() const { return Terminated_; }
  // Counted: the worker pauses at its next sleep or hand-over and runs
  // again when every Suspend has been matched by a Resume.
  void Suspend();
  void Resume();
  bool Suspended() const;
  // Waits for the body to end; on the UI thread keeps running the work
  // other threads send meanwhile. Returns the return value, or raises again
  // what escaped the body or its OnTerminate.
  int WaitFor();
  // What escaped the body or its OnTerminate (null when nothing did); set
  // once the body has ended.
  std::exception_ptr FatalException() const;
  bool Finished() const { return Finished_; }

  bool FreeOnTerminate() const { return FreeOnTerminate_; }
  void SetFreeOnTerminate(bool v) { FreeOnTerminate_ = v; }
  TThreadPriority Priority() const { return Priority_; }
  // Stored only: the widgets' single worker does not need OS priorities.
  void SetPriority(TThreadPriority v) { Priority_ = v; }
  int ReturnValue() const { return ReturnValue_; }
  // Run on the UI thread when the body has ended.
  TNotifyEvent OnTerminate;

  // Set when the body has ended and the end steps have run.
  class TEndSignal;
  const std::shared_ptr<TEndSignal>& EndSignal() const { return End_; }
  // True while the UI thread runs work this thread handed over.
  bool InSynchronizedCall() const { return InSyncCall_; }

 protected:
  virtual void Execute() = 0;
  void Start();
  // Runs `method` on the UI thread and waits; an exception it raises is
  // raised again here.
  void Synchronize(const TThreadMethod& method);
  void SetReturnValue(int v) { ReturnValue_ = v; }
  // Waits while suspended, then `ms` milliseconds (cut short by Terminate),
  // then again while suspended. False when terminated.
  bool Sleep(int ms);
  // Blocks while suspended (and not terminated).
  void CheckSuspended();

 private:
  void Launch();
  void Run() noexcept;
  // Keeps the first fault and reports every one on stderr.
  void KeepFault(const char* doing, std::exception_ptr fault) noexcept;
  std::shared_ptr<TEndSignal> End_;
  mutable std::mutex Mutex_;
  std::condition_variable Wake_;
  int SuspendCount_ = 0;
  bool Launched_ = false;
  std::atomic<bool> Terminated_{false};
  std::atomic<bool> Finished_{false};
  std::atomic<bool> FreeOnTerminate_{false};
  std::atomic<bool> Destroying_{false};
  std::atomic<bool> InSyncCall_{false};
  std::atomic<TThreadPriority> Priority_{tpNormal};
  std::atomic<int> ReturnValue_{0};
  std::exception_ptr Fatal_;  // under Mutex_
  std::thread Thread_;
};

class TAbThread::TEndSignal {
 public:
  void Set();
  bool IsSet() const;
  // On the UI thread serves sent work while waiting. False on timeout.
  bool Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt) const;

 private:
  mutable std::mutex Mutex_;
  mutable std::condition_variable Cv_;
  bool Done_ = false;
};
