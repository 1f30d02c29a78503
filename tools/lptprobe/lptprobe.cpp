// Opens the port connection through the window's driver and prints what
// each LPT port answers, writing nothing. Exit status 0 when the ports were
// probed, 1 when the connection failed, 2 for a usage error.
#include "LPTIO.h"
#include "pinlark_version.h"
#include "port_text.h"
#include "winapi.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int ExitProbed = 0;
constexpr int ExitConnectionFailed = 1;
constexpr int ExitUsage = 2;

constexpr const char* Usage =
    "usage: lptprobe [--help | --version]\n"
    "\n"
    "Opens the parallel-port connection through Pinlark's driver, starting the\n"
    "driver module LPTWDMIO.SYS that lies beside lptprobe, and prints one line per\n"
    "port, writing nothing to any:\n"
    "\n"
    "  LPT1 present data=00 status=87 control=CC simulated\n"
    "  LPT2 present data=00 status=78 control=CC base=0x378\n"
    "  LPT3 held by pid 4242 (pinlark) base=0x278\n"
    "\n"
    "A present port shows its data, status and control registers in hexadecimal,\n"
    "then \"simulated\" when it is the driver's simulation or \"base=\" and its I/O\n"
    "base when it is hardware (and \"windows=LPTn\", Windows' own name for it). A\n"
    "port another program holds is left alone and shown as held, with the holder\n"
    "where the system can tell; one that is not there is \"absent\". When the\n"
    "connection cannot be made lptprobe prints \"error <code>\" (a Windows error\n"
    "code) and a line on what to do.\n"
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

constexpr const char* GenericAdvice =
    "the port connection could not be made; the driver's message above, if any, says more";

std::string AdviceFor(const TLptPortConnection& connection, DWORD code) {
  const std::string advice = ConnectionAdvice(connection, code, "lptprobe");
  return advice.empty() ? GenericAdvice : advice;
}

int Probe() {
  TLptPortConnection connection(TLptConnectionOptions{.EchoProbe = false, .DriverFolder = {}});
  if (!connection.IsUsable()) {
    const DWORD code = GetLastError();
    std::printf("error %lu\n%s\n", static_cast<unsigned long>(code), AdviceFor(connection, code).c_str());
    return ExitConnectionFailed;
  }
  // Without an answer (direct path, older driver) nothing is added to the lines.
  TLptPortReports reports{};
  connection.QueryPorts(reports);
  for (std::size_t i = 0; i < std::size(Ports); ++i) {
    const TPortEntry& port = Ports[i];
    const bool present = (connection.*port.Present)();
    std::printf("%s\n",
                PortLine(port.Name, LookAtPort(connection, port.Prefix, present, reports[i])).c_str());
  }
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
