// lptctl watch: samples a port's registers and reports each change of a
// connector line, on the terminal and optionally as a Value Change Dump.
#pragma once

#include "lines.h"
#include "vcd.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace lptctl {

class TInterrupt;
class TPorts;

struct TWatchOptions {
  std::chrono::microseconds Interval{1000};
  std::optional<std::chrono::microseconds> Duration;  // none: until Ctrl+C
  std::string VcdPath;                                // empty: no dump
};

// The changes of one port's lines, sample by sample. The first sample is
// the starting state; every later one prints a line only when a connector
// line changed: "0.012345 D0(2)=1 ERR(15)=1", time in seconds, pin in
// brackets, level at the pin.
class TChangeLog {
 public:
  TChangeLog(std::ostream& out, TVcdWriter* vcd) : Out_(out), Vcd_(vcd) {}

  void Start(const std::string& port, const TRegisters& registers);
  void Sample(std::uint64_t us, const TRegisters& registers);

 private:
  std::ostream& Out_;
  TVcdWriter* Vcd_;
  TRegisters Last_{};
};

// How well the sampling kept to its interval.
struct TPace {
  std::uint64_t Samples = 0;
  std::uint64_t Late = 0;  // samples taken a whole interval or more after they were due
  std::chrono::microseconds LongestGap{0};
};

// Runs until the duration ends or Ctrl+C; the dump is complete either way.
// 0 when it ran to its end, 1 when the port failed or the dump could not be
// written.
int Watch(TPorts& ports, BYTE port, const TWatchOptions& options, TInterrupt& interrupt, std::ostream& out,
          std::ostream& err);

}  // namespace lptctl
