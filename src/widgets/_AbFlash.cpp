#include "_AbFlash.h"

#include "forms.h"
#include "helpers.h"

namespace {
// How long destroying a timer waits for its worker to end.
constexpr std::chrono::milliseconds WorkerEndTimeout{2000};
}  // namespace

TTimerThread::TTimerThread(TAbFlash* timer, bool enabled) : TAbThread(!enabled), Timer_(timer) {
  SetFreeOnTerminate(true);
  if (enabled) Start();
}

bool TTimerThread::Stopped() const { return Terminated() || ApplicationTerminated_ || !Timer_; }

void TTimerThread::Execute() {
  while (!Stopped()) {
    if (!Sleep(Interval_)) return;
    if (Stopped()) return;
    Synchronize([this] { Tick(); });
  }
}

// On the UI thread, where the application and the timer may be looked at.
void TTimerThread::Tick() {
  if (!Application || Application->Terminated()) {
    ApplicationTerminated_ = true;
    return;
  }
  if (TAbFlash* timer = Timer_) timer->Timer();
}

TAbFlash::TAbFlash(TComponent* owner)
    : TComponent(owner), Thread_(std::make_shared<TTimerThread>(this, false)) {}

TAbFlash::~TAbFlash() {
  Enabled_ = false;
  OnTimer_ = nullptr;
  while (Thread_->Suspended()) Thread_->Resume();
  Thread_->Terminate();
  Thread_->ReleaseTimer();
  // Destroyed from inside our own tick the worker waits for us: it ends
  // by itself once the tick returns.
  if (Application && !Thread_->InSynchronizedCall()) Thread_->EndSignal()->Wait(WorkerEndTimeout);
}

void TAbFlash::SetEnabled(bool v) {
  if (SetIfChanged(Enabled_, v)) UpdateTimer();
}

void TAbFlash::SetThreadPriority(TThreadPriority v) {
  if (SetIfChanged(ThreadPriority_, v)) UpdateTimer();
}

void TAbFlash::SetOnTimer(TNotifyEvent v) {
  const bool wasSet = bool(OnTimer_);
  OnTimer_ = std::move(v);
  if (wasSet != bool(OnTimer_)) UpdateTimer();
}

void TAbFlash::UpdateTimer() {
  if (!Thread_->Suspended()) Thread_->Suspend();
  Thread_->SetInterval(Interval_);
  if (Interval_ != 0 && Enabled_ && OnTimer_) {
    Thread_->SetPriority(ThreadPriority_);
    while (Thread_->Suspended()) Thread_->Resume();
  }
}

void TAbFlash::Timer() {
  if (!Enabled_ || IsDestroying() || !OnTimer_) return;
  // A copy: the handler may free this timer.
  const TNotifyEvent handler = OnTimer_;
  handler(this);
}
