// The hook raises a flag and wakes whoever sleeps on it.
#include "interrupt.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "process_info.h"

namespace lptctl {

namespace {

// How long a wait goes without looking at standard output.
constexpr std::chrono::milliseconds OutputLook(100);

std::mutex Mutex;
std::condition_variable Wake;
std::atomic<bool> Flag{false};

// Set under the lock, so that a sleeper between its look and its wait
// cannot miss the wake-up.
void Raise(platform::TTermination) {
  {
    const std::lock_guard lock(Mutex);
    Flag = true;
  }
  Wake.notify_all();
}

// Each hook starts with the flag down.
auto RaiseAfresh() {
  Flag = false;
  return Raise;
}

}  // namespace

TInterruptHook::TInterruptHook() : Hook_(RaiseAfresh()) {}

bool TInterrupt::Requested() const { return Flag; }

bool TInterrupt::WaitUntil(TClock::time_point deadline) {
  std::unique_lock lock(Mutex);
  for (;;) {
    if (Flag) return true;
    OutputGone_ = OutputGone_ || platform::StandardOutputGone();
    if (OutputGone_) return true;
    const auto now = TClock::now();
    if (now >= deadline) return false;
    Wake.wait_until(lock, std::min(deadline, now + OutputLook));
  }
}

}  // namespace lptctl
