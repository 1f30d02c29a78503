// Cost of the console's poll: one batch read of data, status and control,
// then the writes and the status read of a tick.
#include "LPTIO.h"
#include "emulation_control.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// What Timer1Timer sends each tick once the connection test passed.
bool ConsoleTick(TLptPortConnection& connection, BYTE port) {
  PortIoPair batch[] = {{BYTE(port | RegData), 0}, {BYTE(port | RegStatus), 0}, {BYTE(port | RegControl), 0}};
  if (!connection.ReadPairs(batch, 3)) return false;
  connection.WriteRegister(port, RegData, 0x5A);
  connection.WriteRegister(port, RegControl, 0x04);
  return connection.ReadRegister(port, RegStatus) != 0;
}

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

void TickThroughDriver(benchmark::State& state) {
  ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
  emulation::Reset();
  {
    TLptPortConnection connection;
    if (!connection.IsUsable()) {
      state.SkipWithError("driver module not usable");
      return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(ConsoleTick(connection, PortLpt1));
  }
  emulation::Reset();
}
BENCHMARK(TickThroughDriver);

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
