#include "pulse.h"

#include "winapi.h"

#include <algorithm>

namespace lptctl {

TSpread SpreadOf(std::span<const TClock::duration> times) {
  if (times.empty()) return {};
  std::vector<double> us;
  for (const TClock::duration time : times)
    us.push_back(std::chrono::duration<double, std::micro>(time).count());
  std::sort(us.begin(), us.end());
  const std::size_t half = us.size() / 2;
  const double median = us.size() % 2 ? us[half] : (us[half - 1] + us[half]) / 2;
  return {us.front(), median, us.back()};
}

TPulseReport Pulse(TLinePort& port, const TLine& line, const TPulseOptions& options, TPacer& pacer) {
  using TEnd = TPulseReport::TEnd;
  TPulseReport report;
  const auto fail = [&](DWORD error) {
    report.End = TEnd::Failed;
    report.Error = error;
    return report;
  };
  const bool active = !options.ActiveLow;
  TRegisters registers;
  if (const DWORD error = port.Read(registers)) return fail(error);
  if (line.PinHigh(registers) == active) {
    report.End = TEnd::NotIdle;
    return report;
  }
  TClock::time_point previous{};
  for (unsigned i = 0; i < options.Count; ++i) {
    // A period from the start that was, not the one that was due: a late
    // pulse delays the rest rather than shortening the next period.
    if (i > 0 && pacer.WaitUntil(previous + options.EffectivePeriod())) {
      report.End = TEnd::Interrupted;
      return report;
    }
    if (const DWORD error = port.Drive(line, active, TLineValue::Pin)) return fail(error);
    const TClock::time_point start = pacer.Now();
    if (i > 0) report.Periods.push_back(start - previous);
    previous = start;
    const bool stopped = pacer.WaitUntil(start + options.Width);
    if (const DWORD error = port.Drive(line, !active, TLineValue::Pin)) return fail(error);
    if (stopped) {
      report.End = TEnd::Interrupted;
      return report;
    }
    report.Widths.push_back(pacer.Now() - start);
  }
  return report;
}

}  // namespace lptctl
