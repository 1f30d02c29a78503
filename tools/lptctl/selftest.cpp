#include "selftest.h"

#include "port.h"

#include <algorithm>
#include <ostream>

namespace lptctl {

namespace {

constexpr BYTE AllLines = (1 << LoopbackLines) - 1;
constexpr BYTE DirectionBit = 0x20;  // set, the data lines are inputs and drive nothing

// One input's level across the patterns, as a string of 0 and 1.
std::string Trace(const std::vector<TLoopbackSample>& samples, int line, bool seen) {
  std::string trace;
  for (const TLoopbackSample& sample : samples)
    trace += ((seen ? sample.Seen : sample.Driven) >> line) & 1 ? '1' : '0';
  return trace;
}

// The five inputs as pin levels, bit i for the input wired to Di.
BYTE InputLevels(const TRegisters& registers) {
  BYTE levels = 0;
  const auto inputs = StatusLines();
  for (int i = 0; i < LoopbackLines; ++i)
    if (inputs[i].PinHigh(registers)) levels |= BYTE(1 << i);
  return levels;
}

std::string LineName(int line) {
  const TLine& data = DataLines()[line];
  return std::string(data.Name) + " (pin " + std::to_string(data.Pin) + ")";
}

}  // namespace

bool TLoopbackVerdict::Passed() const {
  return !NoPlug && std::all_of(Lines.begin(), Lines.end(),
                                [](const TLineVerdict& line) { return line.Fault == TLineFault::None; });
}

std::vector<BYTE> LoopbackPatterns() {
  std::vector<BYTE> patterns{0x00, AllLines};
  for (int line = 0; line < LoopbackLines; ++line) patterns.push_back(BYTE(1 << line));
  for (int line = 0; line < LoopbackLines; ++line) patterns.push_back(BYTE(AllLines & ~(1 << line)));
  return patterns;
}

TLoopbackVerdict JudgeLoopback(const std::vector<TLoopbackSample>& samples) {
  TLoopbackVerdict verdict;
  std::vector<std::string> seen, driven;
  for (int line = 0; line < LoopbackLines; ++line) {
    seen.push_back(Trace(samples, line, true));
    driven.push_back(Trace(samples, line, false));
  }
  const auto steady = [](const std::string& trace) {
    return trace.find_first_not_of(trace[0]) == std::string::npos;
  };
  verdict.NoPlug = std::all_of(seen.begin(), seen.end(), steady);
  for (int line = 0; line < LoopbackLines; ++line) {
    TLineVerdict result;
    if (seen[line] == driven[line]) {
      // follows its line
    } else if (steady(seen[line])) {
      result.Fault = seen[line][0] == '1' ? TLineFault::StuckHigh : TLineFault::StuckLow;
    } else {
      for (int other = 0; other < LoopbackLines; ++other)
        if (other != line && seen[other] == seen[line]) result.Others.push_back(other);
      if (!result.Others.empty()) {
        result.Fault = TLineFault::Shorted;
      } else {
        const auto follows = std::find(driven.begin(), driven.end(), seen[line]);
        result.Fault = follows != driven.end() ? TLineFault::Crossed : TLineFault::Erratic;
        if (follows != driven.end()) result.Others.push_back(int(follows - driven.begin()));
      }
    }
    verdict.Lines.push_back(result);
  }
  return verdict;
}

std::string Describe(const TLineVerdict& verdict) {
  std::string others;
  for (const int other : verdict.Others) others += (others.empty() ? "" : " and ") + LineName(other);
  switch (verdict.Fault) {
    case TLineFault::None: return "ok";
    case TLineFault::StuckHigh: return "stuck high";
    case TLineFault::StuckLow: return "stuck low";
    case TLineFault::Shorted: return "shorted to " + others;
    case TLineFault::Crossed: return "follows " + others + " instead";
    case TLineFault::Erratic: return "does not follow its line";
  }
  return "";
}

int SelfTest(TPorts& ports, BYTE port, std::ostream& out, std::ostream& err) {
  if (!ports.Require(port, err)) return 1;
  TRegisters found;
  if (!ports.Read(port, found, err)) return 1;
  // Drive the data lines (direction bit clear); D5-D7 keep their levels.
  bool ok =
      !(found.Control & DirectionBit) || ports.WriteControl(port, BYTE(found.Control & ~DirectionBit), err);
  std::vector<TLoopbackSample> samples;
  for (const BYTE pattern : LoopbackPatterns()) {
    TRegisters now;
    ok = ok && ports.WriteData(port, BYTE((found.Data & ~AllLines) | pattern), err) &&
         ports.Read(port, now, err);
    if (!ok) break;
    samples.push_back({pattern, InputLevels(now)});
  }
  const bool restored =
      ports.WriteData(port, found.Data, err) && ports.WriteControl(port, found.Control, err);
  if (!ok || !restored) return 1;

  const TLoopbackVerdict verdict = JudgeLoopback(samples);
  const std::string name = PortName(port);
  if (verdict.NoPlug) {
    out << name
        << ": no plug: no status line follows the data lines (a loopback plug wires D0-D4 to ERR, SEL, "
        << "PE, ACK and BUSY)\n";
    return 1;
  }
  const auto inputs = StatusLines();
  int failed = 0;
  for (int line = 0; line < LoopbackLines; ++line) {
    out << name << ' ' << LineName(line) << " -> " << inputs[line].Name << " (pin " << inputs[line].Pin
        << "): " << Describe(verdict.Lines[line]) << '\n';
    if (verdict.Lines[line].Fault != TLineFault::None) ++failed;
  }
  if (failed)
    out << name << ": " << failed << " of " << LoopbackLines << " lines fail\n";
  else
    out << name << ": all " << LoopbackLines << " lines pass\n";
  return failed ? 1 : 0;
}

}  // namespace lptctl
