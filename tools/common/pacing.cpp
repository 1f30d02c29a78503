#include "pacing.h"

#include <algorithm>
#include <thread>

namespace lptctl {

namespace {

// How long a cancelled sleep may go on before it notices.
constexpr auto CancelSlice = std::chrono::milliseconds(10);

}  // namespace

bool TSystemPacer::WaitUntil(TClock::time_point at) {
  if (at - TClock::now() > Spin_ && Sleep_(at - Spin_)) return true;
  while (TClock::now() < at)
    if (Stop_()) return true;
  return Stop_();
}

bool SleepUnlessCancelled(TClock::time_point at, const std::atomic<bool>& cancelled) {
  while (!cancelled) {
    const TClock::time_point now = TClock::now();
    if (now >= at) return false;
    std::this_thread::sleep_until(std::min(at, now + CancelSlice));
  }
  return true;
}

}  // namespace lptctl
