#include "AbThread.h"

#include <array>

#include "helpers.h"
#include "threads.h"

int ThreadPriorityValue(TThreadPriority p) {
  static constexpr std::array<int, 7> StepValues = {-15, -2, -1, 0, 1, 2, 15};
  return StepValues[std::size_t(p)];
}

void TAbThread::TEndSignal::Set() {
  {
    std::lock_guard lock(Mutex_);
    Done_ = true;
  }
  Cv_.notify_all();
  WakeMainThread();
}

bool TAbThread::TEndSignal::IsSet() const {
  std::lock_guard lock(Mutex_);
  return Done_;
}

bool TAbThread::TEndSignal::Wait(std::optional<std::chrono::milliseconds> timeout) const {
  if (IsMainThread()) return WaitWhileServingSentWork([this] { return IsSet(); }, timeout);
  std::unique_lock lock(Mutex_);
  if (!timeout) {
    Cv_.wait(lock, [this] { return Done_; });
    return true;
  }
  return Cv_.wait_for(lock, *timeout, [this] { return Done_; });
}

TAbThread::TAbThread(bool createSuspended)
    : End_(std::make_shared<TEndSignal>()), SuspendCount_(createSuspended ? 1 : 0) {}

TAbThread::~TAbThread() {
  Destroying_ = true;
  if (!Thread_.joinable()) return;
  // The last reference went with the body's own end: nothing to wait for.
  if (Thread_.get_id() == std::this_thread::get_id()) {
    Thread_.detach();
    return;
  }
  Terminate();
  End_->Wait();
  Thread_.join();
}

void TAbThread::Start() {
  std::lock_guard lock(Mutex_);
  if (SuspendCount_ == 0) Launch();
}

// Called with Mutex_ held.
void TAbThread::Launch() {
  if (Launched_) return;
  Launched_ = true;
  std::shared_ptr<TAbThread> self = FreeOnTerminate_ ? weak_from_this().lock() : nullptr;
  Thread_ = std::thread([this, self = std::move(self)] { Run(); });
}

void TAbThread::Run() noexcept {
  {
    // Launch returns before we start.
    std::lock_guard lock(Mutex_);
  }
  // Nothing may escape a thread; the end steps below still run.
  try {
    Execute();
  } catch (...) {
    KeepFault("thread body", std::current_exception());
  }
  Finished_ = true;
  if (OnTerminate && !Destroying_) {
    try {
      Synchronize([this] {
        if (OnTerminate) OnTerminate(this);
      });
    } catch (...) {
      KeepFault("OnTerminate", std::current_exception());
    }
  }
  End_->Set();
}

void TAbThread::KeepFault(const char* doing, std::exception_ptr fault) noexcept {
  try {
    ReportFault(ClassName(), doing, fault);
  } catch (...) {
  }
  std::lock_guard lock(Mutex_);
  if (!Fatal_) Fatal_ = std::move(fault);
}

std::exception_ptr TAbThread::FatalException() const {
  std::lock_guard lock(Mutex_);
  return Fatal_;
}

void TAbThread::Terminate() {
  {
    std::lock_guard lock(Mutex_);
    Terminated_ = true;
  }
  Wake_.notify_all();
}

void TAbThread::Suspend() {
  std::lock_guard lock(Mutex_);
  ++SuspendCount_;
}

void TAbThread::Resume() {
  {
    std::lock_guard lock(Mutex_);
    if (SuspendCount_ == 0) return;
    if (--SuspendCount_ == 0) Launch();
  }
  Wake_.notify_all();
}

bool TAbThread::Suspended() const {
  std::lock_guard lock(Mutex_);
  return SuspendCount_ > 0;
}

int TAbThread::WaitFor() {
  bool launched;
  {
    std::lock_guard lock(Mutex_);
    launched = Launched_;
  }
  if (launched) {
    End_->Wait();
    if (Thread_.joinable() && Thread_.get_id() != std::this_thread::get_id()) Thread_.join();
  }
  if (const std::exception_ptr fault = FatalException()) std::rethrow_exception(fault);
  return ReturnValue_;
}

void TAbThread::Synchronize(const TThreadMethod& method) {
  SendToMainThread([this, &method] {
    TFlagGuard inSync(InSyncCall_);
    method();
  });
}

void TAbThread::CheckSuspended() {
  std::unique_lock lock(Mutex_);
  Wake_.wait(lock, [this] { return SuspendCount_ == 0 || Terminated_; });
}

bool TAbThread::Sleep(int ms) {
  CheckSuspended();
  {
    std::unique_lock lock(Mutex_);
    Wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Terminated_.load(); });
  }
  CheckSuspended();
  return !Terminated_;
}
