#include "threads.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "display.h"
#include "sysutils.h"

namespace {

struct TSentWork {
  std::function<void()> Work;
  std::exception_ptr Error;
  bool Done = false;
};

// The hidden message target: work sent from other threads, queued for the UI thread.
class TMainThreadTarget {
 public:
  void Bind(display::Display* display) {
    std::deque<std::shared_ptr<TSentWork>> orphaned;
    {
      std::lock_guard lock(Mutex_);
      Display_ = display;
      MainThread_ = std::this_thread::get_id();
      Bound_ = display != nullptr;
      if (!Bound_) orphaned.swap(Queue_);
    }
    for (auto& item : orphaned) {
      Finish(*item, std::make_exception_ptr(EInvalidOperation("the application is closing")));
    }
  }

  bool IsMainThread() {
    std::lock_guard lock(Mutex_);
    return Bound_ && std::this_thread::get_id() == MainThread_;
  }

  void Send(const std::function<void()>& work) {
    auto item = std::make_shared<TSentWork>();
    item->Work = work;
    std::unique_lock lock(Mutex_);
    if (!Bound_) throw EInvalidOperation("no application is running to take the work");
    Queue_.push_back(item);
    ArrivedCv_.notify_all();
    if (Display_) Display_->Wake();
    DoneCv_.wait(lock, [&] { return item->Done; });
    // The error changes hands whole: only this thread holds it from here on.
    if (std::exception_ptr error = std::move(item->Error)) std::rethrow_exception(error);
  }

  void Wake() {
    std::lock_guard lock(Mutex_);
    if (Display_) Display_->Wake();
  }

  void Serve() {
    std::deque<std::shared_ptr<TSentWork>> work;
    {
      std::lock_guard lock(Mutex_);
      work.swap(Queue_);
    }
    for (auto& item : work) {
      std::exception_ptr error;
      try {
        item->Work();
      } catch (...) {
        error = std::current_exception();
      }
      Finish(*item, std::move(error));
    }
  }

  // Waits (really, not on the display clock) until work arrives or `limit` passes.
  void WaitForWork(std::chrono::milliseconds limit) {
    std::unique_lock lock(Mutex_);
    ArrivedCv_.wait_for(lock, limit, [&] { return !Queue_.empty(); });
  }

 private:
  void Finish(TSentWork& item, std::exception_ptr error) {
    {
      std::lock_guard lock(Mutex_);
      item.Error = std::move(error);
      item.Done = true;
    }
    DoneCv_.notify_all();
  }

  std::mutex Mutex_;
  std::condition_variable DoneCv_;
  std::condition_variable ArrivedCv_;
  std::deque<std::shared_ptr<TSentWork>> Queue_;
  display::Display* Display_ = nullptr;
  std::thread::id MainThread_;
  bool Bound_ = false;
};

TMainThreadTarget& Target() {
  static TMainThreadTarget target;
  return target;
}

}  // namespace

void BindMainThread(display::Display* display) { Target().Bind(display); }

bool IsMainThread() { return Target().IsMainThread(); }

void SendToMainThread(const std::function<void()>& work) {
  if (IsMainThread()) {
    work();
    return;
  }
  Target().Send(work);
}

void WakeMainThread() { Target().Wake(); }

void ServeSentWork() { Target().Serve(); }

bool WaitWhileServingSentWork(const std::function<bool()>& done,
                              std::optional<std::chrono::milliseconds> timeout) {
  const auto start = std::chrono::steady_clock::now();
  const bool main = IsMainThread();
  for (;;) {
    if (main) ServeSentWork();
    if (done()) return true;
    if (timeout && std::chrono::steady_clock::now() - start >= *timeout) return false;
    if (main)
      Target().WaitForWork(std::chrono::milliseconds(1));
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
