// Cost of the console's poll: one batch read of data, status and control,
// then the writes and the status read of a tick, through the driver module's
// simulated port (in a bank of the benchmark's own) and, side by side, on
// the direct path.
#include "LPTIO.h"
#include "emulation_control.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The simulated bank in a folder of the run's own, never the user's, whose
// ports a window may hold.
const bool OwnBank = [] {
  static const std::string dir =
      (std::filesystem::temp_directory_path() / ("lptio-bench-" + std::to_string(::getpid()))).string();
  ::setenv("LPTWDMIO_SIM_DIR", dir.c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  });
  return true;
}();

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
