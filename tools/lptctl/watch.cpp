#include "watch.h"

#include "interrupt.h"
#include "port.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <ostream>

namespace lptctl {

namespace {

using TClock = TInterrupt::TClock;
using std::chrono::microseconds;

std::string Seconds(std::uint64_t us) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu.%06llu", static_cast<unsigned long long>(us / 1000000),
                static_cast<unsigned long long>(us % 1000000));
  return text;
}

std::string Milliseconds(microseconds us) {
  char text[32];
  std::snprintf(text, sizeof text, "%g ms", double(us.count()) / 1000.0);
  return text;
}

std::string LocalDate() {
  const std::time_t now = std::time(nullptr);
  char text[64] = "";
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  return text;
}

void ReportPace(const TPace& pace, microseconds elapsed, microseconds interval, std::ostream& err) {
  const double seconds = double(elapsed.count()) / 1e6;
  char text[160];
  std::snprintf(text, sizeof text, "lptctl: %llu samples in %.3f s (%.0f a second)",
                static_cast<unsigned long long>(pace.Samples), seconds,
                seconds > 0 ? double(pace.Samples) / seconds : 0.0);
  err << text;
  if (pace.Late)
    err << "; fell behind its " << Milliseconds(interval) << " interval " << pace.Late
        << (pace.Late == 1 ? " time" : " times") << ", longest gap " << Milliseconds(pace.LongestGap);
  err << '\n';
}

}  // namespace

void TChangeLog::Start(const std::string& port, const TRegisters& registers) {
  Out_ << Seconds(0) << ' ' << port << ' ' << RegisterText(registers) << std::endl;
  Last_ = registers;
}

void TChangeLog::Sample(std::uint64_t us, const TRegisters& registers) {
  if (registers == Last_) return;  // the usual sample: nothing to decode
  if (Vcd_) Vcd_->Sample(us, registers);
  std::string changes;
  for (const TLine& line : Lines()) {
    const bool high = line.PinHigh(registers);
    if (high != line.PinHigh(Last_))
      changes += ' ' + std::string(line.Name) + '(' + std::to_string(line.Pin) + ")=" + (high ? '1' : '0');
  }
  Last_ = registers;
  if (!changes.empty()) Out_ << Seconds(us) << changes << std::endl;
}

int Watch(TPorts& ports, BYTE port, const TWatchOptions& options, TInterrupt& interrupt, std::ostream& out,
          std::ostream& err) {
  if (!ports.Require(port, err)) return 1;
  std::ofstream file;
  if (!options.VcdPath.empty()) {
    file.open(options.VcdPath, std::ios::out | std::ios::trunc);
    if (!file) {
      err << "lptctl: cannot write " << options.VcdPath << '\n';
      return 1;
    }
  }
  TVcdWriter vcd(file);
  TChangeLog log(out, file.is_open() ? &vcd : nullptr);
  TRegisters registers;
  if (!ports.Read(port, registers, err)) return 1;

  const TClock::time_point start = TClock::now();
  const std::string name = PortName(port);
  log.Start(name, registers);
  if (file.is_open())
    vcd.Begin(name, name + " sampled every " + Milliseconds(options.Interval) + "; levels at the connector",
              LocalDate(), registers);
  err << "lptctl: watching " << name << " every " << Milliseconds(options.Interval)
      << (options.Duration ? "" : "; Ctrl+C ends") << '\n';

  const microseconds interval = options.Interval;
  const std::optional<TClock::time_point> end =
      options.Duration ? std::optional(start + *options.Duration) : std::nullopt;
  TPace pace;
  int result = 0;
  TClock::time_point due = start + interval;
  TClock::time_point previous = start;
  for (;;) {
    const TClock::time_point wake = end ? std::min(due, *end) : due;
    if (interval.count() > 0 ? interrupt.WaitUntil(wake) : interrupt.Requested()) break;
    const TClock::time_point now = TClock::now();
    if (end && now >= *end) break;
    if (!ports.Read(port, registers, err)) {
      result = 1;
      break;
    }
    log.Sample(std::chrono::duration_cast<microseconds>(now - start).count(), registers);
    ++pace.Samples;
    pace.LongestGap = std::max(pace.LongestGap, std::chrono::duration_cast<microseconds>(now - previous));
    previous = now;
    // A sample a whole interval late gives up the slots it missed rather
    // than rushing through them.
    if (interval.count() > 0 && now - due >= interval) {
      ++pace.Late;
      due = now + interval;
    } else {
      due += interval;
    }
  }
  const auto elapsed = std::chrono::duration_cast<microseconds>(TClock::now() - start);
  if (file.is_open()) {
    vcd.End(elapsed.count());
    file.close();
    if (!file) {
      err << "lptctl: writing " << options.VcdPath << " failed\n";
      result = 1;
    }
  }
  ReportPace(pace, elapsed, interval, err);
  return result;
}

}  // namespace lptctl
