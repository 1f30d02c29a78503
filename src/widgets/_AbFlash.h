// A timer component whose ticks come from a worker thread and run on the UI
// thread.
#pragma once

#include <atomic>
#include <memory>

#include "AbThread.h"

class TAbFlash;

// Sleeps, then hands its timer's tick to the UI thread, until terminated,
// the application is told to terminate, or its timer is gone.
class TTimerThread final : public TAbThread {
 public:
  TTimerThread(TAbFlash* timer, bool enabled);
  std::string ClassName() const override { return "TTimerThread"; }
  int Interval() const { return Interval_; }
  void SetInterval(int ms) { Interval_ = ms; }
  // The timer is being destroyed.
  void ReleaseTimer() { Timer_ = nullptr; }

 protected:
  void Execute() override;

 private:
  bool Stopped() const;
  void Tick();
  std::atomic<TAbFlash*> Timer_;
  std::atomic<int> Interval_{16};
  std::atomic<bool> ApplicationTerminated_{false};  // seen on the UI thread during a tick
};

class TAbFlash : public TComponent {
 public:
  explicit TAbFlash(TComponent* owner);
  ~TAbFlash() override;
  std::string ClassName() const override { return "TAbFlash"; }

  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool v);
  TThreadPriority ThreadPriority() const { return ThreadPriority_; }
  void SetThreadPriority(TThreadPriority v);
  int Interval() const { return Interval_; }
  const TNotifyEvent& OnTimer() const { return OnTimer_; }
  // Starting or stopping the ticks follows the handler being set or cleared.
  void SetOnTimer(TNotifyEvent v);

  const TTimerThread& Thread() const { return *Thread_; }
  // One tick, on the UI thread.
  void Timer();

 protected:
  void UpdateTimer();

 private:
  bool Enabled_ = true;
  TThreadPriority ThreadPriority_ = tpNormal;
  int Interval_ = 16;
  TNotifyEvent OnTimer_;
  // Shared with the running worker, which ends by itself once released.
  std::shared_ptr<TTimerThread> Thread_;
};
