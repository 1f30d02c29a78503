// Pulses on one output line, timed as well as the system lets a program time
// them, and measured: what the line really got is reported, not what was
// asked for.
#pragma once

#include "line_port.h"
#include "pacing.h"

#include <cstdint>
#include <span>
#include <vector>

namespace lptctl {

struct TPulseOptions {
  std::chrono::microseconds Width{1000};
  unsigned Count = 1;
  std::chrono::microseconds Period{0};  // start to start; 0: twice the width
  bool ActiveLow = false;               // the pulse takes the pin low, not high

  std::chrono::microseconds EffectivePeriod() const { return Period.count() ? Period : 2 * Width; }
};

// Bounds of a pulse train that lptctl and the library both keep.
constexpr std::uint64_t MaxPulseWidthUs = 60ull * 1000000;  // width and period: a minute
constexpr std::uint64_t MaxPulseCount = 1000000;

// Smallest, median and largest of a set of times, in microseconds.
struct TSpread {
  double Min = 0;
  double Median = 0;
  double Max = 0;
};
TSpread SpreadOf(std::span<const TClock::duration> times);

struct TPulseReport {
  enum class TEnd { Done, NotIdle, Interrupted, Failed };
  TEnd End = TEnd::Done;
  DWORD Error = 0;                        // when Failed
  std::vector<TClock::duration> Widths;   // each pulse, from its start to its end as written
  std::vector<TClock::duration> Periods;  // from each pulse's start to the next one's
};

// Drives the line to its active level, holds it for the width, takes it back,
// count times, one period apart, changing no other line. The line must be at
// its idle level at the start (NotIdle otherwise, nothing written), and is
// left there whatever ends the train.
TPulseReport Pulse(TLinePort& port, const TLine& line, const TPulseOptions& options, TPacer& pacer);

// How long a pulse train sleeps least before a time it must meet, looking at
// the clock instead: a desktop system's sleep overshoots by about this much.
constexpr auto PulseSpin = std::chrono::microseconds(1000);

}  // namespace lptctl
