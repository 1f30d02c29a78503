// Cost of the console's poll: one batch read of data, status and control,
// then the writes and the status read of a tick, through the driver module's
// simulated port (in a bank of the benchmark's own) and, side by side, on
// the direct path.
#include "LPTIO.h"
#include "own_bank.h"

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

// Each iteration is one call of Each on the simulated port of the bench's
// own bank.
template <typename TEach>
void ThroughDriver(benchmark::State& state, TEach each) {
  ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
  const TOwnBank bank("lptio-bench");
  TLptPortConnection connection;
  if (!connection.IsUsable()) {
    state.SkipWithError("driver module not usable");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(each(connection));
}

void PollThroughDriver(benchmark::State& state) {
  PortIoPair pairs[] = {{0x10, 0}, {0x11, 0}, {0x12, 0}};
  ThroughDriver(state, [&](TLptPortConnection& connection) { return connection.ReadPairs(pairs, 3); });
}
BENCHMARK(PollThroughDriver);

void TickThroughDriver(benchmark::State& state) {
  ThroughDriver(state, [](TLptPortConnection& connection) { return ConsoleTick(connection, PortLpt1); });
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
