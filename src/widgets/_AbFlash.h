// A timer component whose ticks come from a worker thread and run on the UI
// thread.
#pragma once

#include <atomic>

#include "AbThread.h"

class TAbFlash;

// Sleeps, then hands its timer's tick to the UI thread, until terminated,
// the application is told to terminate, or its timer is gone.
class TTimerThread : public TAbThread {
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
  bool ApplicationTerminated_ = false;  // written on the UI thread while we wait for it
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

  // The worker, while it runs (it frees itself when it ends).
  const TTimerThread* Thread() const { return Thread_; }
  // One tick, on the UI thread.
  void Timer();

 protected:
  void UpdateTimer();

 private:
  bool Enabled_ = true;
  TThreadPriority ThreadPriority_ = tpNormal;
  int Interval_ = 16;
  TNotifyEvent OnTimer_;
  TTimerThread* Thread_ = nullptr;
};
