// Opens the port connection through the window's driver and prints what
// each LPT port answers, writing nothing. Exit status 0 when the ports were
// probed, 1 when the connection failed, 2 for a usage error.
#include "LPTIO.h"
#include "pinlark_version.h"
#include "port_session.h"

#include <cstdio>
#include <cstring>
#include <iostream>

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

int Probe() {
  TPortSession session("lptprobe");
  if (const DWORD code = session.OpenError()) {
    std::cout << "error " << code << '\n' << session.AdviceFor(code) << '\n';
    return ExitConnectionFailed;
  }
  session.PrintProbe(std::cout);
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
