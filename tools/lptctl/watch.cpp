#include "watch.h"

#include "interrupt.h"
#include "port.h"
#include "winapi.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
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

std::uint64_t Since(TClock::time_point start, TClock::time_point now) {
  return std::uint64_t(std::chrono::duration_cast<microseconds>(now - start).count());
}

std::string LocalDate() {
  const std::time_t now = std::time(nullptr);
  char text[64] = "";
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  return text;
}

void ReportPace(const TPace& pace, microseconds elapsed, microseconds interval, DWORD lastError,
                std::ostream& err) {
  const double seconds = double(elapsed.count()) / 1e6;
  char text[160];
  std::snprintf(text, sizeof text, "lptctl: %llu samples in %.3f s (%.0f a second)",
                static_cast<unsigned long long>(pace.Samples), seconds,
                seconds > 0 ? double(pace.Samples) / seconds : 0.0);
  err << text;
  if (pace.Late)
    err << "; fell behind its " << Milliseconds(interval) << " interval " << pace.Late
        << (pace.Late == 1 ? " time" : " times") << ", longest gap " << Milliseconds(pace.LongestGap);
  if (pace.Missed)
    err << "; missed " << pace.Missed << (pace.Missed == 1 ? " sample" : " samples")
        << " whose read failed (last error " << lastError << ")";
  err << '\n';
}

// Reading again cannot help after these: the request or the handle is wrong.
bool Hopeless(DWORD code) {
  switch (code) {
    case ERROR_INVALID_FUNCTION:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER: return true;
  }
  return false;
}

// The reads that failed in a row: a busy port (another program between two
// samples) is passed over for as long as it lasts; any other failure that
// keeps on (the port gone) ends the watch.
class TFailureRun {
 public:
  explicit TFailureRun(microseconds giveUpAfter) : GiveUpAfter_(giveUpAfter) {}

  // A read failed with code at now: true when the watch goes on.
  bool Bear(DWORD code, TClock::time_point now) {
    if (Hopeless(code)) return false;
    if (code == ERROR_BUSY) return true;
    if (Count_++ == 0) First_ = now;
    return Count_ < FailuresToGiveUp || now - First_ < GiveUpAfter_;
  }
  void Succeeded() { Count_ = 0; }

 private:
  microseconds GiveUpAfter_;
  unsigned Count_ = 0;
  TClock::time_point First_{};
};

// The dump's file: a new or ordinary file only. A named pipe would block the
// open until some reader came, and a device (/dev/full) is no place for it.
bool OpenDump(const std::string& path, std::ofstream& file, std::ostream& err) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    err << "lptctl: " << path << " is not a regular file; --vcd writes a new or ordinary file\n";
    return false;
  }
  errno = 0;
  file.open(path, std::ios::out | std::ios::trunc);
  if (file) return true;
  err << "lptctl: cannot write " << path << ": " << std::strerror(errno ? errno : EIO) << '\n';
  return false;
}

}  // namespace

std::optional<TWatchFormat> ParseWatchFormat(std::string_view word) {
  if (word == "text") return TWatchFormat::Text;
  if (word == "jsonl") return TWatchFormat::Jsonl;
  if (word == "csv") return TWatchFormat::Csv;
  return std::nullopt;
}

void TChangeLog::Write(const std::string& text) {
  if (Failure_) return;
  Out_ << text;
  Failure_ = FlushFailure(Out_);
}

std::string TChangeLog::Change(std::uint64_t us, const TLine& line, bool high) const {
  const std::string pin = std::to_string(line.Pin);
  switch (Format_) {
    case TWatchFormat::Text: return ' ' + std::string(line.Name) + '(' + pin + ")=" + (high ? '1' : '0');
    case TWatchFormat::Jsonl:
      return "{\"t\":" + Seconds(us) + ",\"port\":\"" + Port_ + "\",\"line\":\"" + line.Name +
             "\",\"pin\":" + pin + ",\"level\":" + (high ? '1' : '0') + "}\n";
    case TWatchFormat::Csv:
      return Seconds(us) + ',' + Port_ + ',' + line.Name + ',' + pin + ',' + (high ? '1' : '0') + '\n';
  }
  return {};
}

void TChangeLog::Start(const std::string& port, const TRegisters& registers) {
  Port_ = port;
  Last_ = registers;
  if (Format_ == TWatchFormat::Text)
    return Write(Seconds(0) + ' ' + port + ' ' + RegisterText(registers) + '\n');
  std::string text = Format_ == TWatchFormat::Csv ? "t,port,line,pin,level\n" : "";
  for (const TLine& line : Lines()) text += Change(0, line, line.PinHigh(registers));
  Write(text);
}

void TChangeLog::Sample(std::uint64_t us, const TRegisters& registers) {
  if (registers == Last_) return;  // the usual sample: nothing to decode
  if (Vcd_) Vcd_->Sample(us, registers);
  std::string changes;
  for (const TLine& line : Lines()) {
    const bool high = line.PinHigh(registers);
    if (high != line.PinHigh(Last_)) changes += Change(us, line, high);
  }
  Last_ = registers;
  if (changes.empty()) return;
  Write(Format_ == TWatchFormat::Text ? Seconds(us) + changes + '\n' : changes);
}

void TChangeLog::Finish(const TPace& pace, std::uint64_t us) {
  if (Format_ != TWatchFormat::Jsonl) return;
  Write("{\"port\":\"" + Port_ + "\",\"samples\":" + std::to_string(pace.Samples) +
        ",\"seconds\":" + Seconds(us) + ",\"late\":" + std::to_string(pace.Late) +
        ",\"missed\":" + std::to_string(pace.Missed) + "}\n");
}

namespace {

// The sampling loop of one watch, from after the first sample to whatever
// ends it.
class TSampling {
 public:
  TSampling(TPorts& ports, BYTE port, const TWatchOptions& options, TInterrupt& interrupt, TChangeLog& log,
            const TVcdWriter* dump, std::ostream& err)
      : Ports_(ports),
        Port_(port),
        Interval_(options.Interval),
        Interrupt_(interrupt),
        Log_(log),
        Dump_(dump),
        Err_(err),
        Failures_(options.GiveUpAfter) {}

  // Runs until the end, Ctrl+C or a failure; 1 when a failure ended it.
  int Run(TClock::time_point start, TClock::time_point end) {
    Start_ = Previous_ = start;
    TClock::time_point due = start + Interval_;
    for (std::uint64_t spin = 1;; ++spin) {
      if (Log_.Failure() || (Dump_ && Dump_->Failure()) || Interrupt_.OutputGone()) return 1;
      if (Wait(spin, std::min(due, end))) return Interrupt_.OutputGone() ? 1 : 0;
      const TClock::time_point now = TClock::now();
      if (now >= end) return 0;
      if (!Take(now)) return 1;
      // A sample a whole interval late gives up the slots it missed rather
      // than rushing through them.
      if (Interval_.count() > 0 && now - due >= Interval_) {
        ++Pace_.Late;
        due = now + Interval_;
      } else {
        due += Interval_;
      }
    }
  }

  const TPace& Pace() const { return Pace_; }
  DWORD LastError() const { return LastError_; }

 private:
  // Without an interval nothing waits; a look now and then still sees a
  // closed output.
  bool Wait(std::uint64_t spin, TClock::time_point wake) {
    constexpr std::uint64_t SpinsBetweenLooks = 256;
    if (Interval_.count() > 0) return Interrupt_.WaitUntil(wake);
    return spin % SpinsBetweenLooks == 0 ? Interrupt_.WaitUntil(TClock::now()) : Interrupt_.Requested();
  }

  // One sample; false when the port failed for good (said on err).
  bool Take(TClock::time_point now) {
    TRegisters registers;
    if (const DWORD code = Ports_.TryRead(Port_, registers)) {
      LastError_ = code;
      ++Pace_.Missed;
      if (Failures_.Bear(LastError_, now)) return true;
      Err_ << Ports_.Failure("reading", Port_, code);
      return false;
    }
    Failures_.Succeeded();
    Log_.Sample(Since(Start_, now), registers);
    ++Pace_.Samples;
    Pace_.LongestGap = std::max(Pace_.LongestGap, std::chrono::duration_cast<microseconds>(now - Previous_));
    Previous_ = now;
    return true;
  }

  TPorts& Ports_;
  BYTE Port_;
  microseconds Interval_;
  TInterrupt& Interrupt_;
  TChangeLog& Log_;
  const TVcdWriter* Dump_;
  std::ostream& Err_;
  TFailureRun Failures_;
  TPace Pace_;
  DWORD LastError_ = ERROR_SUCCESS;
  TClock::time_point Start_{}, Previous_{};
};

// Why the output stopped, when it did before the watch ended.
void ReportOutput(const TInterrupt& interrupt, const TChangeLog& log, std::ostream& err) {
  if (interrupt.OutputGone())
    err << "lptctl: standard output was closed; the watch stopped\n";
  else if (log.Failure())
    err << "lptctl: writing to standard output failed (" << std::strerror(log.Failure())
        << "); the watch stopped\n";
}

}  // namespace

int Watch(TPorts& ports, BYTE port, const TWatchOptions& options, TInterrupt& interrupt, std::ostream& out,
          std::ostream& err) {
  std::ofstream file;
  if (!options.VcdPath.empty() && !OpenDump(options.VcdPath, file, err)) return 1;
  if (!ports.Require(port, err)) return 1;
  TVcdWriter vcd(file);
  TVcdWriter* const dump = file.is_open() ? &vcd : nullptr;
  TChangeLog log(out, dump, options.Format);
  TRegisters registers;
  if (!ports.Read(port, registers, err)) return 1;

  const TClock::time_point start = TClock::now();
  const std::string name = PortName(port);
  log.Start(name, registers);
  if (dump)
    vcd.Begin(name, name + " sampled every " + Milliseconds(options.Interval) + "; levels at the connector",
              LocalDate(), registers);
  err << "lptctl: watching " << name << " every " << Milliseconds(options.Interval)
      << (options.Duration ? "" : "; Ctrl+C ends") << '\n';

  TSampling sampling(ports, port, options, interrupt, log, dump, err);
  int result = sampling.Run(start, options.Duration ? start + *options.Duration : TClock::time_point::max());
  const microseconds elapsed(Since(start, TClock::now()));
  ReportOutput(interrupt, log, err);
  if (dump) {
    vcd.End(elapsed.count());
    file.close();
    if (vcd.Failure() || !file) {
      err << "lptctl: writing " << options.VcdPath << " failed ("
          << std::strerror(vcd.Failure() ? vcd.Failure() : EIO) << ")\n";
      result = 1;
    }
  }
  log.Finish(sampling.Pace(), elapsed.count());
  ReportPace(sampling.Pace(), elapsed, options.Interval, sampling.LastError(), err);
  return result;
}

}  // namespace lptctl
