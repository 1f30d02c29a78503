// Waiting for lines: a level to hold or an edge to pass, several at once.
// The wait takes its samples from a source: polling, or sleeping on the
// port's interrupt where the system delivers it.
#pragma once

#include "line_port.h"
#include "pacing.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lptctl {

// Levels and edges at the pin.
enum class TWant { Low, High, Rising, Falling, Change };

struct TCondition {
  const TLine* Line = nullptr;
  TWant Want = TWant::High;
  bool IsEdge() const { return Want != TWant::Low && Want != TWant::High; }
};

// "ACK=falling", "d0=1", "11=change" (a line by name or pin, any case;
// 0|1|low|high|rising|falling|change). Nothing, with the reason in why,
// for anything else.
std::optional<TCondition> ParseCondition(std::string_view text, std::string& why);
std::string ConditionText(const TCondition& condition);  // "ACK=falling"

// Bounds of a wait that lptctl and the library both keep.
constexpr std::size_t MaxWaitConditions = 32;
constexpr std::uint64_t MaxWaitTimeoutUs = 30ull * 24 * 3600 * 1000000;  // 30 days
constexpr std::uint64_t MaxWaitIntervalUs = 60ull * 1000000;             // a minute

struct TSample {
  TClock::time_point At;
  TRegisters Registers;
};

class TSampleSource {
 public:
  virtual ~TSampleSource() = default;
  virtual TClock::time_point Now() = 0;
  enum class TNext { Sample, Interrupted, Failed };
  // The first call samples at once; each later one returns the next sample,
  // taken at `deadline` at the latest. Failed leaves the code in error.
  virtual TNext Next(std::optional<TClock::time_point> deadline, TSample& sample, DWORD& error) = 0;
  // How it finds changes, for the user: "polling every 1 ms".
  virtual std::string How() const = 0;
};

// Reads the port every interval (0: as fast as it can); a sample that comes
// a whole interval late gives up the slots it missed.
class TPollingSource : public TSampleSource {
 public:
  TPollingSource(TLinePort& port, TPacer& pacer, std::chrono::microseconds interval)
      : Port_(port), Pacer_(pacer), Interval_(interval) {}

  TClock::time_point Now() override { return Pacer_.Now(); }
  TNext Next(std::optional<TClock::time_point> deadline, TSample& sample, DWORD& error) override;
  std::string How() const override;

 private:
  TLinePort& Port_;
  TPacer& Pacer_;
  std::chrono::microseconds Interval_;
  std::optional<TClock::time_point> Due_;
};

// Sleeps on the port's interrupt, which the port raises on ACK's pulses, and
// reads the port after each one; it reads it every ReadEvery as well, so an
// interrupt that was lost, or never raised, costs no more than that. An
// interrupt after which ACK has not fallen is just one more sample.
class TInterruptSource : public TSampleSource {
 public:
  static constexpr std::chrono::milliseconds ReadEvery{100};

  TInterruptSource(TLinePort& port, TPacer& pacer) : Port_(port), Pacer_(pacer) {}

  TClock::time_point Now() override { return Pacer_.Now(); }
  TNext Next(std::optional<TClock::time_point> deadline, TSample& sample, DWORD& error) override;
  std::string How() const override;
  // How many interrupts came since the wait started.
  unsigned long Interrupts() const { return Interrupts_; }

 private:
  TLinePort& Port_;
  TPacer& Pacer_;
  bool Started_ = false;
  unsigned long Interrupts_ = 0;
};

// Whether a wait sleeps on the port's interrupt: only when the port has one
// and every condition is ACK falling, the one edge the interrupt marks.
bool WaitsOnInterrupt(std::span<const TCondition> conditions, bool portHasInterrupt);

struct TWaitResult {
  enum class TEnd { Met, TimedOut, Interrupted, Failed };
  TEnd End = TEnd::Failed;
  TClock::duration Elapsed{};  // from the start to the last sample
  TRegisters Registers{};      // the last sample
  std::vector<bool> Met;       // per condition: its level held, or its edge came
  DWORD Error = 0;             // when Failed
};

// Returns at the first sample where every condition is met (any: one). A
// level is met while it holds, so one that holds at the start returns at
// once; an edge is met once the line has made it since the start, never by
// the first sample. Without a timeout it waits until met, interrupted or
// failed.
TWaitResult WaitFor(TSampleSource& source, std::span<const TCondition> conditions, bool any,
                    std::optional<TClock::duration> timeout);

// The conditions not met, as the user wrote them: "ACK=falling BUSY=0".
std::string UnmetText(std::span<const TCondition> conditions, const std::vector<bool>& met);

}  // namespace lptctl
