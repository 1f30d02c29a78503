// Cost of the console's poll: one batch read of data, status and control.
#include "LPTIO.h"
#include "emulation_control.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void PollThroughDriver(benchmark::State& state) {
  ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
  emulation::Reset();
  {
    TLptPortConnection connection;
    if (!connection.IsUsable()) {
      state.SkipWithError("driver module not usable");
      return;
    }
    PortIoPair pairs[] = {{0x10, 0}, {0x11, 0}, {0x12, 0}};
    for (auto _ : state) benchmark::DoNotOptimize(connection.ReadPairs(pairs, 3));
  }
  emulation::Reset();
}
BENCHMARK(PollThroughDriver);

void PollDirect(benchmark::State& state) {
  emulation::Reset();
  emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
  {
    TLptPortConnection connection;
    PortIoPair pairs[] = {{0x20, 0}, {0x21, 0}, {0x22, 0}};
    for (auto _ : state) benchmark::DoNotOptimize(connection.ReadPairs(pairs, 3));
  }
  emulation::Reset();
}
BENCHMARK(PollDirect);

}  // namespace
