#include "commands.h"

#include "arguments.h"
#include "doctor.h"
#include "interrupt.h"
#include "line_commands.h"
#include "lines.h"
#include "pinlark_version.h"
#include "port.h"
#include "port_text.h"
#include "process_info.h"
#include "selftest.h"
#include "sim.h"
#include "watch.h"
#include "winapi.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>

namespace lptctl {

namespace {

using TArgs = std::vector<std::string>;

constexpr const char* Summary =
    "usage: lptctl COMMAND [ARGUMENTS]   (lptctl COMMAND --help for one command)\n"
    "\n"
    "Reads, writes and watches the lines of a parallel port through the same\n"
    "driver as Pinlark's window (LPTWDMIO.SYS beside lptctl).\n"
    "\n"
    "  probe [--json]                   the ports, their kind and registers\n"
    "  read PORT                        the registers and every line of a port\n"
    "  get PORT LINE...                 each line's level as 0 or 1, for scripts\n"
    "  write PORT data|control VALUE    write a register (VALUE in hex)\n"
    "  set PORT LINE...                 set output lines' register bits\n"
    "  clear PORT LINE...               clear output lines' register bits\n"
    "  toggle PORT LINE...              flip output lines' register bits\n"
    "  pulse PORT LINE [OPTIONS]        timed pulses on an output line\n"
    "  wait PORT LINE=WHEN...           wait for lines' levels or edges\n"
    "  watch PORT [OPTIONS]             report every change of a line\n"
    "  sim PORT [LINE=0|1|float...]     drive a simulated port's inputs from afar\n"
    "  selftest PORT                    check a loopback plug\n"
    "  doctor                           why a port can or cannot be reached\n"
    "\n"
    "PORT is LPT1, LPT2, LPT3 or 1-3, LINE a name (D0, ack: any case) or a pin.\n"
    "A command holds the port it works on until it ends, as the window holds its\n"
    "ports; a port another program holds is waited for a moment, then reported\n"
    "busy. Exit status: 0 done, 1 failed, 2 usage error.\n"
    "lptctl --version prints the version.\n";

std::string RegisterLine(BYTE port, const TRegisters& registers, const std::string& kind) {
  return PortName(port) + ' ' + RegisterText(registers) + kind;
}

constexpr BYTE AllPorts[] = {PortLpt1, PortLpt2, PortLpt3};

// ---- probe ----------------------------------------------------------------

const std::string ProbeUsage =
    "usage: lptctl probe [--json]\n"
    "\n"
    "One line per port: present or absent, the data, status and control registers\n"
    "in hexadecimal, and \"simulated\" for the driver's simulation or \"base=\" and the\n"
    "I/O base for hardware (with \"windows=LPTn\", Windows' own name for it). A port\n"
    "another program holds is left alone and shown as held, by whom where the\n"
    "system can tell (\"LPT2 held by pid 4242 (pinlark) simulated\"). Nothing is\n"
    "written to any port. --json prints the same as a JSON object; registers and\n"
    "the base are numbers there, the base, Windows' name and the holder null when\n"
    "not known.\n";

// A process name may hold anything; control characters become spaces.
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  }
  return quoted + '"';
}

template <typename T>
std::string JsonOrNull(bool known, const T& value) {
  std::ostringstream text;
  if (known)
    text << value;
  else
    text << "null";
  return text.str();
}

void ProbeJson(TPorts& ports, BYTE port, bool last, std::ostream& out) {
  out << "  {\"port\": \"" << PortName(port)
      << "\", \"present\": " << (ports.Present(port) ? "true" : "false");
  if (ports.Present(port)) {
    const TPortLook look = ports.Look(port);
    const TLptPortReport& report = look.Report;
    const bool held = look.State == TPortLook::Held;
    const std::string holder = report.Holder ? platform::ProcessName(report.Holder) : "";
    out << ", \"held\": " << (held ? "true" : "false");
    if (held)
      out << ", \"holder\": " << JsonOrNull(report.Holder != 0, report.Holder)
          << ", \"holder_name\": " << JsonOrNull(!holder.empty(), JsonString(holder));
    out << ", \"simulated\": " << (report.Simulated ? "true" : "false")
        << ", \"base\": " << JsonOrNull(report.Base != 0, report.Base) << ", \"windows\": "
        << JsonOrNull(report.SystemNumber != 0, "\"LPT" + std::to_string(report.SystemNumber) + "\"");
    if (look.State == TPortLook::Failed)
      out << ", \"error\": " << look.Error;
    else if (look.State == TPortLook::Read)
      out << ", \"data\": " << int(look.Data) << ", \"status\": " << int(look.Status)
          << ", \"control\": " << int(look.Control);
  }
  out << '}' << (last ? "" : ",") << '\n';
}

int ProbeCommand(const TArgs& args, std::ostream& out, std::ostream& err) {
  const bool json = args.size() == 1 && args[0] == "--json";
  if (!args.empty() && !json) return UsageError("unexpected argument '" + args[0] + "'", ProbeUsage, err);
  auto ports = TPorts::Open(err);
  if (!ports) return ExitFailed;
  if (!json) {
    ports->PrintProbe(out);
    return ExitOk;
  }
  out << "{\"ports\": [\n";
  for (const BYTE port : AllPorts) ProbeJson(*ports, port, port == PortLpt3, out);
  out << "]}\n";
  return ExitOk;
}

// ---- read -----------------------------------------------------------------

const std::string ReadUsage =
    "usage: lptctl read PORT\n"
    "\n"
    "The data, status and control registers of PORT in hexadecimal, then every line\n"
    "of the connector: its name, pin, level at the pin, and the register bit that\n"
    "carries it. STR, LF/CR, SELIN and BUSY are inverted by the port: their pin is\n"
    "high when their bit is 0.\n";

const char* RegisterName(TRegisterKind kind) {
  switch (kind) {
    case TRegisterKind::Data: return "data";
    case TRegisterKind::Status: return "status";
    case TRegisterKind::Control: return "control";
  }
  return "";
}

int BitIndex(BYTE mask) {
  int index = 0;
  for (; mask > 1; mask >>= 1) ++index;
  return index;
}

int ReadCommand(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) return UsageError("read takes one PORT", ReadUsage, err);
  const std::optional<BYTE> port = PortArgument(args[0], ReadUsage, err);
  if (!port) return ExitUsage;
  auto ports = TPorts::Open(err);
  TRegisters registers;
  if (!ports || !ports->Require(*port, err) || !ports->Read(*port, registers, err)) return ExitFailed;
  out << RegisterLine(*port, registers, ports->Kind(*port)) << '\n';
  for (const TLine& line : Lines()) {
    char text[96];
    std::snprintf(text, sizeof text, "%-6s pin %2d  %-4s  %s bit %d = %d%s\n", line.Name, line.Pin,
                  line.PinHigh(registers) ? "high" : "low", RegisterName(line.Register), BitIndex(line.Bit),
                  line.BitSet(registers) ? 1 : 0, line.Inverted ? ", inverted" : "");
    out << text;
  }
  return ExitOk;
}

// ---- write ----------------------------------------------------------------

const std::string WriteUsage =
    "usage: lptctl write PORT data|control VALUE\n"
    "\n"
    "Writes VALUE, a byte in hexadecimal (A5, 0xA5), to the data or control register\n"
    "of PORT and prints the registers after it. Of the control register only the\n"
    "four line bits (STR, LF/CR, INIT, SELIN) are written; bits 4-7 (interrupt,\n"
    "data direction) stay as the port has them.\n";

int WriteCommand(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 3) return UsageError("write takes PORT, data or control, and VALUE", WriteUsage, err);
  const std::optional<BYTE> port = PortArgument(args[0], WriteUsage, err);
  if (!port) return ExitUsage;
  if (args[1] != "data" && args[1] != "control")
    return UsageError("'" + args[1] + "' is no register; use data or control", WriteUsage, err);
  const std::optional<BYTE> value = ParseByte(args[2]);
  if (!value)
    return UsageError("'" + args[2] + "' is no byte; give it in hexadecimal, 00 to FF", WriteUsage, err);
  auto ports = TPorts::Open(err);
  if (!ports || !ports->Require(*port, err)) return ExitFailed;
  TRegisters registers;
  if (args[1] == "data") {
    if (!ports->WriteData(*port, *value, err)) return ExitFailed;
  } else {
    if (!ports->Read(*port, registers, err)) return ExitFailed;
    if ((registers.Control ^ *value) & 0xF0)
      err << "lptctl: control bits 4-7 stay as the port has them (" << Hex2(registers.Control & 0xF0)
          << "); only the four line bits were written\n";
    if (!ports->WriteControlLines(*port, registers.Control, *value, err)) return ExitFailed;
  }
  if (!ports->Read(*port, registers, err)) return ExitFailed;
  out << RegisterLine(*port, registers, ports->Kind(*port)) << '\n';
  return ExitOk;
}

// ---- set, clear, toggle -----------------------------------------------------

std::string LineUsage(const char* name, const char* what) {
  return std::string("usage: lptctl ") + name + " PORT LINE...\n\n" + what +
         " LINE is a name, D0-D7, STR,\n"
         "LF/CR (or LF), INIT, SELIN (any case), or the connector pin: 2-9 for D0-D7,\n"
         "1 STR, 14 LF/CR, 16 INIT, 17 SELIN. The register bit is what changes: for STR,\n"
         "LF/CR and SELIN, which the port inverts, a set bit is a low pin. The registers\n"
         "after the change are printed.\n";
}

const std::string SetUsage = LineUsage("set", "Sets the lines' register bits to 1.");
const std::string ClearUsage = LineUsage("clear", "Clears the lines' register bits to 0.");
const std::string ToggleUsage = LineUsage("toggle", "Flips the lines' register bits.");

enum class TLineChange { Set, Clear, Toggle };

BYTE Changed(BYTE value, BYTE mask, TLineChange change) {
  switch (change) {
    case TLineChange::Set: return BYTE(value | mask);
    case TLineChange::Clear: return BYTE(value & ~mask);
    case TLineChange::Toggle: return BYTE(value ^ mask);
  }
  return value;
}

int ChangeLines(const std::string& usage, TLineChange change, const TArgs& args, std::ostream& out,
                std::ostream& err) {
  if (args.size() < 2) return UsageError("give PORT and at least one LINE", usage, err);
  const std::optional<BYTE> port = PortArgument(args[0], usage, err);
  if (!port) return ExitUsage;
  BYTE dataMask = 0, controlMask = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const TLine* line = FindLine(args[i]);
    if (!line)
      return UsageError("'" + args[i] + "' is no line; the lines you can change are " + OutputLineList(),
                        usage, err);
    if (!line->Output)
      return UsageError(std::string(line->Name) + " (pin " + std::to_string(line->Pin) +
                            ") is an input; the lines you can change are " + OutputLineList(),
                        usage, err);
    (line->Register == TRegisterKind::Data ? dataMask : controlMask) |= line->Bit;
  }
  auto ports = TPorts::Open(err);
  TRegisters registers;
  if (!ports || !ports->Require(*port, err) || !ports->Read(*port, registers, err)) return ExitFailed;
  if (dataMask && !ports->WriteData(*port, Changed(registers.Data, dataMask, change), err)) return ExitFailed;
  if (controlMask && !ports->WriteControlLines(*port, registers.Control,
                                               Changed(registers.Control, controlMask, change), err))
    return ExitFailed;
  if (!ports->Read(*port, registers, err)) return ExitFailed;
  out << RegisterLine(*port, registers, ports->Kind(*port)) << '\n';
  return ExitOk;
}

// ---- watch ----------------------------------------------------------------

const std::string WatchUsage =
    "usage: lptctl watch PORT [--interval MS] [--duration S] [--format F] [--vcd FILE]\n"
    "\n"
    "Samples the registers of PORT every MS milliseconds (default 1; 0 as fast as\n"
    "it can; at most 60000) and reports each change of a connector line: its time\n"
    "in seconds and each changed line's name, pin and new level at the pin. MS and\n"
    "S are plain decimals (0.5, 250), down to the microsecond. F is text (the\n"
    "default), jsonl or csv; text prints a line per sample with a change:\n"
    "\n"
    "  0.000000 LPT1 data=00 status=87 control=CC\n"
    "  0.412007 D0(2)=1 ERR(15)=1\n"
    "\n"
    "--format jsonl prints one JSON object per changed line, and a summary object\n"
    "(samples, seconds, late and missed samples) at the end:\n"
    "\n"
    "  {\"t\":0.412007,\"port\":\"LPT1\",\"line\":\"D0\",\"pin\":2,\"level\":1}\n"
    "  {\"port\":\"LPT1\",\"samples\":9982,\"seconds\":10.000114,\"late\":0,\"missed\":0}\n"
    "\n"
    "--format csv prints the header t,port,line,pin,level and one row per changed\n"
    "line. Both start with every line's level at t=0.\n"
    "\n"
    "It runs for S seconds (at most 30 days), or until Ctrl+C. --vcd writes a Value\n"
    "Change Dump of every line (one wire each, named by signal and pin, 1 us\n"
    "timescale) that logic-analyser viewers open; FILE must be a new or ordinary\n"
    "file, and the dump is complete however the watch ends. A read that fails\n"
    "while the port is busy counts as a missed sample and the watch goes on; a\n"
    "port that keeps failing ends it. When the output goes away (`| head`), the\n"
    "watch stops, completes the dump and exits 1. At the end it says on stderr how\n"
    "many samples it took, whether it fell behind its interval and what it missed.\n";

constexpr std::uint64_t MaxIntervalUs = 60000ull * 1000;
constexpr std::uint64_t MaxDurationUs = 30ull * 24 * 3600 * 1000000;

int WatchCommand(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return UsageError("watch takes a PORT", WatchUsage, err);
  const std::optional<BYTE> port = PortArgument(args[0], WatchUsage, err);
  if (!port) return ExitUsage;
  TWatchOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string option, value;
    if (!OptionValue(args, i, option, value)) return UsageError(option + " needs a value", WatchUsage, err);
    if (option == "--interval") {
      const auto us = PlainDecimal(value, 3, MaxIntervalUs);
      if (!us)
        return UsageError(
            "'" + value + "' is no interval; give milliseconds from 0 to 60000 as a plain decimal",
            WatchUsage, err);
      options.Interval = std::chrono::microseconds(*us);
    } else if (option == "--duration") {
      const auto us = PlainDecimal(value, 6, MaxDurationUs);
      if (!us)
        return UsageError("'" + value + "' is no duration; give seconds up to 30 days as a plain decimal",
                          WatchUsage, err);
      options.Duration = std::chrono::microseconds(*us);
    } else if (option == "--format") {
      const auto format = ParseWatchFormat(value);
      if (!format) return UsageError("'" + value + "' is no format; use text, jsonl or csv", WatchUsage, err);
      options.Format = *format;
    } else if (option == "--vcd" && !value.empty()) {
      options.VcdPath = value;
    } else {
      return UsageError("unexpected argument '" + option + "'", WatchUsage, err);
    }
  }
  auto ports = TPorts::Open(err);
  if (!ports) return ExitFailed;
  TInterrupt interrupt;
  return Watch(*ports, *port, options, interrupt, out, err);
}

// ---- selftest, doctor ---------------------------------------------------------

const std::string SelftestUsage =
    "usage: lptctl selftest PORT\n"
    "\n"
    "With a loopback plug on PORT (D0-D4 wired to ERR, SEL, PE, ACK and BUSY, as\n"
    "the simulated LPT1 has), drives each of D0-D4 alone at both levels and reports\n"
    "per line: ok, stuck high, stuck low, shorted to which other line; \"no plug\"\n"
    "when no status line follows at all. Puts back the registers it found. Exit\n"
    "status 0 only when every line passes.\n";

int SelftestCommand(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) return UsageError("selftest takes one PORT", SelftestUsage, err);
  const std::optional<BYTE> port = PortArgument(args[0], SelftestUsage, err);
  if (!port) return ExitUsage;
  auto ports = TPorts::Open(err);
  return ports ? SelfTest(*ports, *port, out, err) : ExitFailed;
}

const std::string DoctorUsage =
    "usage: lptctl doctor\n"
    "\n"
    "Checks what a real port needs and says what it found, with the command that\n"
    "fixes each problem. On Linux: the parport, parport_pc, ppdev and lp modules,\n"
    "the ports the kernel knows and who holds them, the /dev/parport* nodes and\n"
    "whether you may open them, group lp, and the driver module beside lptctl.\n"
    "On Windows: the driver file and its signature, the service, test signing and\n"
    "the LPT ports Windows lists. Last, whether the driver serves real ports or\n"
    "simulated ones. Exit status 0 when a real port is usable, 1 otherwise.\n";

int DoctorCommand(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return UsageError("unexpected argument '" + args[0] + "'", DoctorUsage, err);
  return Doctor(out, err);
}

struct TCommand {
  const char* Name;
  const std::string& Usage;
  int (*Body)(const TArgs&, std::ostream&, std::ostream&);
};

const TCommand Commands[] = {
    {"probe", ProbeUsage, ProbeCommand},
    {"read", ReadUsage, ReadCommand},
    {"get", GetUsage, GetCommand},
    {"wait", WaitUsage, WaitCommand},
    {"pulse", PulseUsage, PulseCommand},
    {"write", WriteUsage, WriteCommand},
    {"set", SetUsage,
     [](const TArgs& args, std::ostream& out, std::ostream& err) {
       return ChangeLines(SetUsage, TLineChange::Set, args, out, err);
     }},
    {"clear", ClearUsage,
     [](const TArgs& args, std::ostream& out, std::ostream& err) {
       return ChangeLines(ClearUsage, TLineChange::Clear, args, out, err);
     }},
    {"toggle", ToggleUsage,
     [](const TArgs& args, std::ostream& out, std::ostream& err) {
       return ChangeLines(ToggleUsage, TLineChange::Toggle, args, out, err);
     }},
    {"watch", WatchUsage, WatchCommand},
    {"sim", SimUsage, SimCommand},
    {"selftest", SelftestUsage, SelftestCommand},
    {"doctor", DoctorUsage, DoctorCommand},
};

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

}  // namespace

int Run(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << Summary;
    return ExitUsage;
  }
  if (IsHelp(args[0])) {
    out << Summary;
    return ExitOk;
  }
  if (args[0] == "--version") {
    out << "lptctl " << PINLARK_VERSION << '\n';
    return ExitOk;
  }
  for (const TCommand& command : Commands) {
    if (args[0] != command.Name) continue;
    const TArgs rest(args.begin() + 1, args.end());
    if (rest.size() == 1 && IsHelp(rest[0])) {
      out << command.Usage;
      return ExitOk;
    }
    return command.Body(rest, out, err);
  }
  err << "lptctl: unknown command '" << args[0] << "'\n" << Summary;
  return ExitUsage;
}

}  // namespace lptctl
