#include "line_commands.h"

#include "arguments.h"
#include "commands.h"
#include "interrupt.h"
#include "line_wait.h"
#include "port.h"
#include "pulse.h"

#include <cstdio>
#include <ostream>

namespace lptctl {

const std::string GetUsage =
    "usage: lptctl get PORT LINE... [--register]\n"
    "\n"
    "Prints one 0 or 1 per LINE, space-separated, on one line: the level at the\n"
    "pin, as read shows it, or with --register the register bit (the two differ\n"
    "for STR, LF/CR, SELIN and BUSY, which the port inverts). LINE is any line,\n"
    "input or output, by name in any case (D0-D7, STR, LF/CR or LF, INIT, SELIN,\n"
    "ERR, SEL, PE, ACK, BUSY) or by connector pin. For a shell test:\n"
    "\n"
    "  $ lptctl get LPT1 ack busy\n"
    "  1 0\n"
    "  $ if [ \"$(lptctl get LPT1 ACK)\" = 0 ]; then echo \"ACK is low\"; fi\n";

const std::string WaitUsage =
    "usage: lptctl wait PORT LINE=WHEN... [--any] [--timeout S] [--interval MS] [-v]\n"
    "\n"
    "Waits until every condition is met (with --any: one of them), then prints the\n"
    "seconds it took and the level at the pin of each line named:\n"
    "\n"
    "  $ lptctl wait LPT2 ACK=falling BUSY=0 --timeout 5\n"
    "  0.412007 ACK=0 BUSY=0\n"
    "\n"
    "WHEN is 0 or 1 (a level at the pin, also low or high), or rising, falling or\n"
    "change (an edge). A level that holds already returns at once; an edge counts\n"
    "only when it comes after the wait starts. With several conditions an edge\n"
    "stays met once it came, a level only while it holds. The port is read every\n"
    "MS milliseconds (default 1; 0 as fast as it can), so a pulse shorter than\n"
    "that may pass unseen. Where the system delivers the port's interrupt, a wait\n"
    "for ACK=falling alone sleeps on it instead, and reads the port every 100 ms\n"
    "as well. --timeout gives up after S seconds with exit status 1 and a\n"
    "message; without it the wait lasts until met or Ctrl+C. -v says on stderr\n"
    "how the wait watches the port.\n";

const std::string PulseUsage =
    "usage: lptctl pulse PORT LINE [--width US] [--count N] [--period US] [--low]\n"
    "\n"
    "Drives the output LINE to its active level at the pin (high, or low with\n"
    "--low) for US microseconds (default 1000), then back, N times (default 1),\n"
    "one period apart, start to start (default twice the width). Then it prints\n"
    "the widths and periods it measured, smallest, median and largest:\n"
    "\n"
    "  $ lptctl pulse LPT1 STR --low --width 500 --count 10\n"
    "  LPT1 STR (pin 1): 10 pulses low\n"
    "  width 500 us asked: min 503.1, median 511.4, max 583.0 us\n"
    "  period 1000 us asked: min 1001.2, median 1008.7, max 1094.5 us\n"
    "\n"
    "Only LINE changes: the other bits of its register and control bits 4-7 stay\n"
    "as they are. LINE must rest at the other level when the train starts, and is\n"
    "left there however it ends (Ctrl+C ends it early). Timing is best effort on a\n"
    "desktop operating system: the system may run the program late, so a pulse or\n"
    "a period can last longer than asked, never shorter; the measured figures say\n"
    "by how much. For exact timing use hardware that makes the pulse itself.\n";

namespace {

std::string Seconds(TClock::duration time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", std::chrono::duration<double>(time).count());
  return text;
}

std::string LineName(const TLine& line) {
  return std::string(line.Name) + " (pin " + std::to_string(line.Pin) + ")";
}

int Failed(TPorts& ports, const std::string& doing, BYTE port, DWORD code, std::ostream& err) {
  err << ports.Failure(doing, port, code);
  return ExitFailed;
}

// A usage error on err, for parsers that return an optional request.
std::nullopt_t Refuse(const std::string& message, const std::string& usage, std::ostream& err) {
  UsageError(message, usage, err);
  return std::nullopt;
}

// The system's clock, which Ctrl+C stops: a wait or pulse train ends early.
class TCommandPacer : public TSystemPacer {
 public:
  explicit TCommandPacer(TClock::duration spin)
      : TSystemPacer([this](TClock::time_point at) { return Interrupt_.WaitUntil(at); },
                     [this] { return Interrupt_.Requested(); }, spin) {}

 private:
  TInterrupt Interrupt_;
};

// The port opened and present, or null after saying why.
std::unique_ptr<TPorts> OpenPort(BYTE port, std::ostream& err) {
  auto ports = TPorts::Open(err);
  if (!ports || !ports->Require(port, err)) return nullptr;
  return ports;
}

}  // namespace

// ---- get --------------------------------------------------------------------

int GetCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> words;
  TLineValue sense = TLineValue::Pin;
  for (const std::string& arg : args) {
    if (arg == "--register")
      sense = TLineValue::Bit;
    else if (arg.rfind("--", 0) == 0)
      return UsageError("unexpected argument '" + arg + "'", GetUsage, err);
    else
      words.push_back(arg);
  }
  if (words.size() < 2) return UsageError("give PORT and at least one LINE", GetUsage, err);
  const std::optional<BYTE> port = PortArgument(words[0], GetUsage, err);
  if (!port) return ExitUsage;
  std::vector<const TLine*> lines;
  for (std::size_t i = 1; i < words.size(); ++i) {
    lines.push_back(FindLine(words[i]));
    if (!lines.back()) return UsageError("'" + words[i] + "' is no line", GetUsage, err);
  }
  auto ports = OpenPort(*port, err);
  TRegisters registers;
  if (!ports || !ports->Read(*port, registers, err)) return ExitFailed;
  for (std::size_t i = 0; i < lines.size(); ++i)
    out << (i ? " " : "") << (LineValue(*lines[i], registers, sense) ? '1' : '0');
  out << '\n';
  return ExitOk;
}

// ---- wait -------------------------------------------------------------------

namespace {

struct TWaitRequest {
  BYTE Port = 0;
  std::vector<TCondition> Conditions;
  bool Any = false;
  bool Verbose = false;
  std::optional<TClock::duration> Timeout;
  std::chrono::microseconds Interval{1000};
};

// The request, or nothing after a usage error on err.
std::optional<TWaitRequest> ParseWait(const std::vector<std::string>& args, std::ostream& err) {
  TWaitRequest request;
  std::optional<BYTE> port;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--any") {
      request.Any = true;
    } else if (arg == "-v" || arg == "--verbose") {
      request.Verbose = true;
    } else if (arg.rfind("--", 0) == 0) {
      std::string option, value;
      if (!OptionValue(args, i, option, value)) return Refuse(option + " needs a value", WaitUsage, err);
      if (option == "--timeout") {
        const auto us = PlainDecimal(value, 6, MaxWaitTimeoutUs);
        if (!us)
          return Refuse("'" + value + "' is no timeout; give seconds up to 30 days as a plain decimal",
                        WaitUsage, err);
        request.Timeout = std::chrono::microseconds(*us);
      } else if (option == "--interval") {
        const auto us = PlainDecimal(value, 3, MaxWaitIntervalUs);
        if (!us)
          return Refuse(
              "'" + value + "' is no interval; give milliseconds from 0 to 60000 as a plain decimal",
              WaitUsage, err);
        request.Interval = std::chrono::microseconds(*us);
      } else {
        return Refuse("unexpected argument '" + option + "'", WaitUsage, err);
      }
    } else if (!port) {
      if (!(port = PortArgument(arg, WaitUsage, err))) return std::nullopt;
    } else {
      std::string why;
      const std::optional<TCondition> condition = ParseCondition(arg, why);
      if (!condition) return Refuse(why, WaitUsage, err);
      request.Conditions.push_back(*condition);
    }
  }
  if (!port || request.Conditions.empty())
    return Refuse("give PORT and at least one LINE=WHEN", WaitUsage, err);
  if (request.Conditions.size() > MaxWaitConditions)
    return Refuse("at most " + std::to_string(MaxWaitConditions) + " conditions", WaitUsage, err);
  request.Port = *port;
  return request;
}

// "ACK=0 BUSY=1": each line the conditions name, once, as the sample has it.
std::string LevelsText(const std::vector<TCondition>& conditions, const TRegisters& registers) {
  std::string text;
  std::vector<const TLine*> said;
  for (const TCondition& condition : conditions) {
    if (std::find(said.begin(), said.end(), condition.Line) != said.end()) continue;
    said.push_back(condition.Line);
    text += (text.empty() ? "" : " ") + std::string(condition.Line->Name) + '=' +
            (condition.Line->PinHigh(registers) ? '1' : '0');
  }
  return text;
}

// Sleeps on the port's interrupt where that serves the wait, else polls.
std::unique_ptr<TSampleSource> MakeWaitSource(const TWaitRequest& request, const TLptPortReport& report,
                                              TLinePort& port, TPacer& pacer) {
  if (WaitsOnInterrupt(request.Conditions, report.Interrupt))
    return std::make_unique<TInterruptSource>(port, pacer);
  return std::make_unique<TPollingSource>(port, pacer, request.Interval);
}

}  // namespace

int WaitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<TWaitRequest> request = ParseWait(args, err);
  if (!request) return ExitUsage;
  auto ports = OpenPort(request->Port, err);
  if (!ports) return ExitFailed;
  TCommandPacer pacer(TClock::duration::zero());
  TLinePort port(ports->Connection(), request->Port);
  const std::unique_ptr<TSampleSource> source =
      MakeWaitSource(*request, ports->Report(request->Port), port, pacer);
  if (request->Verbose)
    err << "lptctl: waiting on " << PortName(request->Port) << " by " << source->How() << '\n';
  const TWaitResult result = WaitFor(*source, request->Conditions, request->Any, request->Timeout);
  if (const auto* interrupt = dynamic_cast<const TInterruptSource*>(source.get());
      interrupt && request->Verbose)
    err << "lptctl: the port's interrupt came " << interrupt->Interrupts()
        << (interrupt->Interrupts() == 1 ? " time\n" : " times\n");
  const std::string levels = LevelsText(request->Conditions, result.Registers);
  switch (result.End) {
    case TWaitResult::TEnd::Met: out << Seconds(result.Elapsed) << ' ' << levels << '\n'; return ExitOk;
    case TWaitResult::TEnd::TimedOut:
      err << "lptctl: timed out after " << Seconds(result.Elapsed) << " s waiting for "
          << UnmetText(request->Conditions, result.Met) << " (" << levels << ")\n";
      return ExitFailed;
    case TWaitResult::TEnd::Interrupted:
      err << "lptctl: interrupted after " << Seconds(result.Elapsed) << " s\n";
      return ExitFailed;
    case TWaitResult::TEnd::Failed: break;
  }
  return Failed(*ports, "reading", request->Port, result.Error, err);
}

// ---- pulse ------------------------------------------------------------------

namespace {

struct TPulseRequest {
  BYTE Port = 0;
  const TLine* Line = nullptr;
  TPulseOptions Options;
};

std::optional<TPulseRequest> ParsePulse(const std::vector<std::string>& args, std::ostream& err) {
  TPulseRequest request;
  std::vector<std::string> words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--low") {
      request.Options.ActiveLow = true;
      continue;
    }
    if (args[i].rfind("--", 0) != 0) {
      words.push_back(args[i]);
      continue;
    }
    std::string option, value;
    if (!OptionValue(args, i, option, value)) return Refuse(option + " needs a value", PulseUsage, err);
    const bool isCount = option == "--count";
    const auto number = PlainDecimal(value, 0, isCount ? MaxPulseCount : MaxPulseWidthUs);
    if (option == "--width" || option == "--period") {
      if (!number || *number == 0)
        return Refuse(
            "'" + value + "' is no " + option.substr(2) + "; give whole microseconds from 1 to 60000000",
            PulseUsage, err);
      (option == "--width" ? request.Options.Width : request.Options.Period) =
          std::chrono::microseconds(*number);
    } else if (isCount) {
      if (!number || *number == 0)
        return Refuse("'" + value + "' is no count; give a whole number from 1 to 1000000", PulseUsage, err);
      request.Options.Count = unsigned(*number);
    } else {
      return Refuse("unexpected argument '" + option + "'", PulseUsage, err);
    }
  }
  if (words.size() != 2) return Refuse("give PORT and one LINE", PulseUsage, err);
  const std::optional<BYTE> port = PortArgument(words[0], PulseUsage, err);
  if (!port) return std::nullopt;
  request.Port = *port;
  request.Line = FindLine(words[1]);
  if (!request.Line || !request.Line->Output)
    return Refuse(
        (request.Line ? LineName(*request.Line) + " is an input" : "'" + words[1] + "' is no line") +
            "; the lines you can pulse are " + OutputLineList(),
        PulseUsage, err);
  if (request.Options.EffectivePeriod() <= request.Options.Width)
    return Refuse("the period must be longer than the width", PulseUsage, err);
  return request;
}

std::string SpreadText(const char* what, std::chrono::microseconds asked,
                       const std::vector<TClock::duration>& times) {
  const TSpread spread = SpreadOf(times);
  char text[160];
  std::snprintf(text, sizeof text, "%s %lld us asked: min %.1f, median %.1f, max %.1f us\n", what,
                static_cast<long long>(asked.count()), spread.Min, spread.Median, spread.Max);
  return text;
}

}  // namespace

int PulseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<TPulseRequest> request = ParsePulse(args, err);
  if (!request) return ExitUsage;
  auto ports = OpenPort(request->Port, err);
  if (!ports) return ExitFailed;
  const TLine& line = *request->Line;
  const TPulseOptions& options = request->Options;
  const char* active = options.ActiveLow ? "low" : "high";
  const char* idle = options.ActiveLow ? "high" : "low";
  TCommandPacer pacer(PulseSpin);
  TLinePort port(ports->Connection(), request->Port);
  const TPulseReport report = Pulse(port, line, options, pacer);
  if (report.End == TPulseReport::TEnd::NotIdle) {
    err << "lptctl: " << LineName(line) << " is " << active
        << " already, the level a pulse drives it to; take it " << idle << " first, or pulse to " << idle
        << (options.ActiveLow ? " without --low" : " with --low") << '\n';
    return ExitFailed;
  }
  out << PortName(request->Port) << ' ' << LineName(line) << ": " << report.Widths.size()
      << (report.Widths.size() == 1 ? " pulse " : " pulses ") << active << '\n';
  if (!report.Widths.empty()) out << SpreadText("width", options.Width, report.Widths);
  if (!report.Periods.empty()) out << SpreadText("period", options.EffectivePeriod(), report.Periods);
  switch (report.End) {
    case TPulseReport::TEnd::Done: return ExitOk;
    case TPulseReport::TEnd::Interrupted:
      err << "lptctl: interrupted; " << line.Name << " is " << idle << " again\n";
      return ExitFailed;
    default:
      return Failed(*ports, "pulsing " + std::string(line.Name) + " on", request->Port, report.Error, err);
  }
}

}  // namespace lptctl
