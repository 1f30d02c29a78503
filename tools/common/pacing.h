// The clock that waits and pulses keep time with, and how they sleep: tests
// give a clock of their own, lptctl one that Ctrl+C wakes.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace lptctl {

using TClock = std::chrono::steady_clock;

class TPacer {
 public:
  virtual ~TPacer() = default;
  virtual TClock::time_point Now() = 0;
  // Returns at `at` or as soon after as the system allows; true when asked
  // to stop first (then at once).
  virtual bool WaitUntil(TClock::time_point at) = 0;
};

// The system's clock. It sleeps through `sleep` (true when asked to stop),
// and the last `spin` before a time it does not sleep but looks at the
// clock, which a desktop system's sleep is too coarse for; stop ends a spin.
class TSystemPacer : public TPacer {
 public:
  using TSleep = std::function<bool(TClock::time_point)>;
  using TStop = std::function<bool()>;

  TSystemPacer(TSleep sleep, TStop stop, TClock::duration spin)
      : Sleep_(std::move(sleep)), Stop_(std::move(stop)), Spin_(spin) {}

  TClock::time_point Now() override { return TClock::now(); }
  bool WaitUntil(TClock::time_point at) override;

 private:
  TSleep Sleep_;
  TStop Stop_;
  TClock::duration Spin_;
};

// What the library's calls sleep through: slices short enough that a cancel
// from another thread ends the wait soon.
bool SleepUnlessCancelled(TClock::time_point at, const std::atomic<bool>& cancelled);

}  // namespace lptctl
