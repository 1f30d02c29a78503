// How close lptctl pulse (and the C library's) comes to the width and period
// asked, on the driver module's simulated ports: each run is one train, and
// its counters are the measured widths and periods in microseconds, with
// their spread (max - min) as the jitter. LPTWDMIO_BACKEND=ppdev measures a
// real port's D1 instead.
#include "own_bank.h"
#include "pulse.h"

#include <benchmark/benchmark.h>

#include <thread>

namespace {

using namespace lptctl;

void PulseTrain(benchmark::State& state) {
  const TOwnBank bank("pulse-bench");
  TLptPortConnection connection(TLptConnectionOptions{false, ""});
  const BYTE port = connection.Lpt1Present() ? PortLpt1 : PortLpt2;
  TLinePort lines(connection, port);
  TSystemPacer pacer(
      [](TClock::time_point at) {
        std::this_thread::sleep_until(at);
        return false;
      },
      [] { return false; }, PulseSpin);
  const TPulseOptions options{std::chrono::microseconds(state.range(0)), unsigned(state.range(1)),
                              std::chrono::microseconds(0), false};
  TPulseReport report;
  for (auto _ : state) {
    lines.WriteData(0x00);
    report = Pulse(lines, *FindLine("D1"), options, pacer);
    if (report.End != TPulseReport::TEnd::Done) state.SkipWithError("the pulse train failed");
  }
  const TSpread widths = SpreadOf(report.Widths), periods = SpreadOf(report.Periods);
  state.counters["width_asked"] = double(options.Width.count());
  state.counters["width_min"] = widths.Min;
  state.counters["width_median"] = widths.Median;
  state.counters["width_max"] = widths.Max;
  state.counters["width_jitter"] = widths.Max - widths.Min;
  state.counters["period_median"] = periods.Median;
  state.counters["period_jitter"] = periods.Max - periods.Min;
}

// Width in microseconds, pulses in the train.
BENCHMARK(PulseTrain)
    ->Args({100, 500})
    ->Args({1000, 500})
    ->Args({10000, 50})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
