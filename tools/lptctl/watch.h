// lptctl watch: samples a port's registers and reports each change of a
// connector line, on standard output (as text, JSON lines or CSV) and
// optionally as a Value Change Dump.
#pragma once

#include "lines.h"
#include "vcd.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace lptctl {

class TInterrupt;
class TPorts;

enum class TWatchFormat { Text, Jsonl, Csv };

// "text", "jsonl" or "csv".
std::optional<TWatchFormat> ParseWatchFormat(std::string_view word);

struct TWatchOptions {
  std::chrono::microseconds Interval{1000};
  std::optional<std::chrono::microseconds> Duration;  // none: until Ctrl+C
  std::string VcdPath;                                // empty: no dump
  TWatchFormat Format = TWatchFormat::Text;
  // A port that keeps failing (other than busy) ends the watch once its
  // failures have lasted this long over at least FailuresToGiveUp reads.
  std::chrono::microseconds GiveUpAfter{std::chrono::seconds(2)};
};

constexpr unsigned FailuresToGiveUp = 3;

// How well the sampling kept to its interval.
struct TPace {
  std::uint64_t Samples = 0;
  std::uint64_t Late = 0;    // samples taken a whole interval or more after they were due
  std::uint64_t Missed = 0;  // reads that failed (the port busy, say) and were passed over
  std::chrono::microseconds LongestGap{0};
};

// The changes of one port's lines, sample by sample. The first sample is
// the starting state; every later one reports only the connector lines that
// changed, time in seconds, level at the pin:
//   text   "0.012345 D0(2)=1 ERR(15)=1", one line per sample;
//   jsonl  {"t":0.012345,"port":"LPT1","line":"D0","pin":2,"level":1}, one
//          object per line, and a summary object at the end;
//   csv    a header, then "0.012345,LPT1,D0,2,1", one row per line.
// JSON lines and CSV give every line's level at t=0 first. Each sample's
// report is flushed at once, so a reader sees it live.
class TChangeLog {
 public:
  TChangeLog(std::ostream& out, TVcdWriter* vcd, TWatchFormat format = TWatchFormat::Text)
      : Out_(out), Vcd_(vcd), Format_(format) {}

  void Start(const std::string& port, const TRegisters& registers);
  void Sample(std::uint64_t us, const TRegisters& registers);
  // The summary object of JSON lines; nothing in the other formats.
  void Finish(const TPace& pace, std::uint64_t us);
  // 0 while the output takes everything; else the errno of the write that failed.
  int Failure() const { return Failure_; }

 private:
  std::string Change(std::uint64_t us, const TLine& line, bool high) const;
  void Write(const std::string& text);

  std::ostream& Out_;
  TVcdWriter* Vcd_;
  TWatchFormat Format_;
  std::string Port_;
  TRegisters Last_{};
  int Failure_ = 0;
};

// Runs until the duration ends or Ctrl+C; the dump is complete either way.
// A read that fails is counted as a missed sample and the watch goes on,
// unless the failure cannot pass or keeps on (see GiveUpAfter). 0 when it
// ran to its end, 1 when the port failed, the dump could not be written or
// standard output went away (a closed pipe: the watch stops and completes
// the dump).
int Watch(TPorts& ports, BYTE port, const TWatchOptions& options, TInterrupt& interrupt, std::ostream& out,
          std::ostream& err);

}  // namespace lptctl
