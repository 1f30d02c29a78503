// Opens the port connection the way the window does and prints what each
// LPT port answers. Exit status 0 when the ports were probed, 1 when the
// connection failed, 2 for a usage error.
#include "LPTIO.h"
#include "pinlark_version.h"
#include "winapi.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int ExitProbed = 0;
constexpr int ExitConnectionFailed = 1;
constexpr int ExitUsage = 2;

constexpr const char* Usage =
    "usage: lptprobe [--help | --version]\n"
    "\n"
    "Opens the parallel-port connection the way Pinlark does, starting the driver\n"
    "module LPTWDMIO.SYS that lies beside lptprobe, and prints one line per port:\n"
    "\n"
    "  LPT1 present data=00 status=87 control=CC simulated\n"
    "  LPT2 present data=00 status=78 control=CC base=0x378\n"
    "  LPT3 absent\n"
    "\n"
    "A present port shows its data, status and control registers in hexadecimal,\n"
    "then \"simulated\" when it is the driver's simulation or \"base=\" and its I/O\n"
    "base when it is hardware. When the connection cannot be made lptprobe prints\n"
    "\"error <code>\" (a Windows error code) and a line on what to do.\n"
    "\n"
    "Exit status: 0 the ports were probed, 1 the connection failed, 2 usage error.\n"
    "\n"
    "Environment: LPTWDMIO_BACKEND=simulated makes the driver simulate the ports,\n"
    "LPTWDMIO_BACKEND=ppdev makes it use real ports only; unset, it uses real ports\n"
    "when the machine has any and simulates them otherwise.\n";

struct TPortEntry {
  const char* Name;
  BYTE Prefix;
  bool (TLptPortConnection::*Present)() const;
};

constexpr TPortEntry Ports[] = {
    {"LPT1", PortLpt1, &TLptPortConnection::Lpt1Present},
    {"LPT2", PortLpt2, &TLptPortConnection::Lpt2Present},
    {"LPT3", PortLpt3, &TLptPortConnection::Lpt3Present},
};

struct TErrorAdvice {
  DWORD Code;
  const char* Text;
};

constexpr TErrorAdvice ErrorAdvice[] = {
    {ERROR_FILE_NOT_FOUND,
     "the driver module LPTWDMIO.SYS beside lptprobe is missing or did not start, or the port has no "
     "device node (on Linux: sudo modprobe ppdev)"},
    {ERROR_ACCESS_DENIED,
     "no permission to open the port: on Linux join group lp (sudo usermod -aG lp $USER, then log in "
     "again); on Windows run as administrator"},
    {ERROR_BUSY, "another program holds the port: close that program and try again"},
    {ERROR_BAD_EXE_FORMAT, "the driver module LPTWDMIO.SYS is damaged: build or install it again"},
};

constexpr const char* GenericAdvice =
    "the port connection could not be made; the driver's message above, if any, says more";

const char* AdviceFor(DWORD code) {
  for (const TErrorAdvice& advice : ErrorAdvice)
    if (advice.Code == code) return advice.Text;
  return GenericAdvice;
}

// What the driver said about the port, after the registers.
void PrintKind(const TLptPortReport& report) {
  if (!report.Present) return;
  if (report.Simulated)
    std::printf(" simulated");
  else if (report.Base)
    std::printf(" base=0x%03x", unsigned(report.Base));
}

void PrintPort(TLptPortConnection& connection, const TPortEntry& port, const TLptPortReport& report) {
  if (!(connection.*port.Present)()) {
    std::printf("%s absent\n", port.Name);
    return;
  }
  PortIoPair pairs[] = {{BYTE(port.Prefix | RegData), 0},
                        {BYTE(port.Prefix | RegStatus), 0},
                        {BYTE(port.Prefix | RegControl), 0}};
  if (!connection.ReadPairs(pairs, 3)) {
    std::printf("%s present error %lu\n", port.Name, static_cast<unsigned long>(GetLastError()));
    return;
  }
  std::printf("%s present data=%02X status=%02X control=%02X", port.Name, pairs[0].Value, pairs[1].Value,
              pairs[2].Value);
  PrintKind(report);
  std::printf("\n");
}

int Probe() {
  TLptPortConnection connection;
  if (!connection.IsUsable()) {
    const DWORD code = GetLastError();
    std::printf("error %lu\n%s\n", static_cast<unsigned long>(code), AdviceFor(code));
    return ExitConnectionFailed;
  }
  // Without an answer (direct path, older driver) nothing is added to the lines.
  TLptPortReports reports{};
  connection.QueryPorts(reports);
  for (std::size_t i = 0; i < std::size(Ports); ++i) PrintPort(connection, Ports[i], reports[i]);
  return ExitProbed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return Probe();
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(Usage, stdout);
    return ExitProbed;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("lptprobe %s\n", PINLARK_VERSION);
    return ExitProbed;
  }
  std::fprintf(stderr, "lptprobe: unexpected argument '%s'\n", argv[1]);
  std::fputs(Usage, stderr);
  return ExitUsage;
}
