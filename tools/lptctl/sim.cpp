#include "sim.h"

#include "arguments.h"
#include "commands.h"
#include "lines.h"
#include "port.h"
#include "winapi.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace lptctl {

namespace {

// The far side's bit of an input: its place among ERR, SEL, PE, ACK, BUSY.
int FarBit(const TLine* line) {
  const auto inputs = StatusLines();
  const auto it =
      std::find_if(inputs.begin(), inputs.end(), [&](const TLine& input) { return &input == line; });
  return it == inputs.end() ? -1 : int(it - inputs.begin());
}

bool SameLower(std::string_view word, std::string_view lower) {
  return word.size() == lower.size() &&
         std::equal(word.begin(), word.end(), lower.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

const std::string SimUsage =
    "usage: lptctl sim PORT [LINE=0|1|float ...]\n"
    "\n"
    "The far end of a simulated port's cable: what the device plugged into it\n"
    "drives on the five status inputs, as levels at the pins. LINE is ERR, SEL, PE,\n"
    "ACK or BUSY (any case) or its pin (15, 13, 12, 10, 11); 0 drives it low, 1\n"
    "high, float lets it go, and an input nothing drives floats high. Without a\n"
    "LINE it shows what is driven. It needs no holding of the port, as a device on\n"
    "the cable needs none: the program holding the port (the window, a watch)\n"
    "sees the change at its next read.\n"
    "\n"
    "  $ lptctl sim LPT2 ACK=0 BUSY=1\n"
    "  LPT2 ERR(15)=float SEL(13)=float PE(12)=float ACK(10)=0 BUSY(11)=1\n"
    "\n"
    "The simulated LPT2 takes it. The simulated LPT1's inputs follow its loopback\n"
    "plug (D0-D4), and a real port's inputs are what its cable brings.\n";

bool ApplyFarSide(std::string_view word, TLptFarSide& side, std::string& problem) {
  const auto equals = word.find('=');
  const std::string_view name = word.substr(0, equals);
  const int bit = equals == std::string_view::npos ? -1 : FarBit(FindLine(name));
  if (bit < 0) {
    problem = "'" + std::string(word) +
              "' is no LINE=0|1|float; the inputs are ERR (pin 15), SEL (13), PE (12), ACK (10), BUSY (11)";
    return false;
  }
  const std::string_view level = word.substr(equals + 1);
  const BYTE mask = BYTE(1 << bit);
  if (level == "0" || level == "1") {
    side.Driven |= mask;
    side.Levels = BYTE(level == "1" ? side.Levels | mask : side.Levels & ~mask);
  } else if (SameLower(level, "float")) {
    side.Driven &= BYTE(~mask);
    side.Levels &= BYTE(~mask);
  } else {
    problem = "'" + std::string(level) + "' is no level for " + std::string(name) + "; use 0, 1 or float";
    return false;
  }
  return true;
}

std::string FarSideText(BYTE port, const TLptFarSide& side) {
  std::string text = PortName(port);
  int bit = 0;
  for (const TLine& input : StatusLines()) {
    const BYTE mask = BYTE(1 << bit++);
    text += ' ' + std::string(input.Name) + '(' + std::to_string(input.Pin) + ")=" +
            (!(side.Driven & mask)  ? "float"
             : (side.Levels & mask) ? "1"
                                    : "0");
  }
  return text;
}

int SimCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return UsageError("sim takes a PORT", SimUsage, err);
  const std::optional<BYTE> port = PortArgument(args[0], SimUsage, err);
  if (!port) return ExitUsage;
  // The words are checked on a side of their own first, so that a bad one
  // changes nothing; applied to what is driven now, they change only their lines.
  TLptFarSide check;
  std::string problem;
  for (std::size_t i = 1; i < args.size(); ++i)
    if (!ApplyFarSide(args[i], check, problem)) return UsageError(problem, SimUsage, err);

  auto ports = TPorts::Open(err);
  if (!ports || !ports->Require(*port, err)) return ExitFailed;
  const TLptPortReport& report = ports->Report(*port);
  const std::string name = PortName(*port);
  if (report.Loopback) {
    err << "lptctl: " << name
        << "'s inputs follow its loopback plug (D0-D4 drive ERR, SEL, PE, ACK and BUSY); set its data lines, "
           "or drive the far side of a simulated port without a plug\n";
    return ExitFailed;
  }
  if (report.Present && !report.Simulated) {
    err << "lptctl: " << name << " is a real port: its inputs are what the device on its cable drives\n";
    return ExitFailed;
  }
  TLptFarSide side;
  bool done = ports->Connection().SimulatedInputs(*port, side, false);
  for (std::size_t i = 1; done && i < args.size(); ++i) ApplyFarSide(args[i], side, problem);
  if (done && args.size() > 1) done = ports->Connection().SimulatedInputs(*port, side, true);
  if (!done) {
    const DWORD code = GetLastError();
    err << "lptctl: " << name << " has no far side to drive (error " << code
        << "): " << (code == ERROR_NOT_SUPPORTED ? "only a simulated port has one" : ports->AdviceFor(code))
        << '\n';
    return ExitFailed;
  }
  out << FarSideText(*port, side) << '\n';
  return ExitOk;
}

}  // namespace lptctl
