// What one sample of lptctl watch costs through the driver module: the batch
// read of the three registers and the look for changed lines, with the dump
// open. Samples a second = 1 / the time per iteration. By default on the
// simulated ports, in a bank of the benchmark's own; LPTWDMIO_BACKEND=ppdev
// measures a real port.
#include "own_bank.h"
#include "port.h"
#include "watch.h"

#include <benchmark/benchmark.h>

#include <sstream>

namespace {

void WatchSample(benchmark::State& state, bool changing) {
  const TOwnBank bank("lptctl-bench");
  std::ostringstream err, out, dump;
  auto ports = lptctl::TPorts::Open(err);
  const BYTE port = ports && ports->Present(PortLpt1) ? PortLpt1 : PortLpt2;
  if (!ports || !ports->Present(port)) {
    state.SkipWithError(("no port: " + err.str()).c_str());
    return;
  }
  lptctl::TVcdWriter vcd(dump);
  lptctl::TChangeLog log(out, &vcd);
  lptctl::TRegisters registers;
  ports->Read(port, registers, err);
  log.Start("LPT1", registers);
  vcd.Begin("LPT1", "bench", "now", registers);
  std::uint64_t us = 0;
  for (auto _ : state) {
    // A changing line is a second program's write; only the read is the sample.
    if (changing) {
      state.PauseTiming();
      ports->WriteData(port, BYTE(us & 1), err);
      state.ResumeTiming();
    }
    if (!ports->Read(port, registers, err)) {
      state.SkipWithError("read failed");
      break;
    }
    log.Sample(++us, registers);
    if (out.tellp() > (1 << 20)) {
      out.str("");
      dump.str("");
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void WatchSampleSteady(benchmark::State& state) { WatchSample(state, false); }
void WatchSampleEveryLineChange(benchmark::State& state) { WatchSample(state, true); }
BENCHMARK(WatchSampleSteady);
BENCHMARK(WatchSampleEveryLineChange);

}  // namespace
