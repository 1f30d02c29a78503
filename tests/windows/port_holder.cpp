// port_holder ADDRESS EVENT: another program on the driver, for the driver
// tests. Opens \\.\LptAccessAgent, reads the register at ADDRESS (hex), so
// that this process's session holds its port, and keeps it until the named
// event is set (a minute at most). Exit 0 when the read was served;
// otherwise 1, with the read's Windows error on stdout.
#include <cstdio>
#include <cstdlib>

#include "request_rules.h"
#include "winapi.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: port_holder ADDRESS EVENT\n");
    return 2;
  }
  const HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
  const HANDLE device = CreateFileA("\\\\.\\LptAccessAgent", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (!release || device == INVALID_HANDLE_VALUE) {
    std::printf("%lu\n", GetLastError());
    return 1;
  }
  BYTE pair[2] = {BYTE(std::strtoul(argv[1], nullptr, 16)), 0};
  DWORD returned = 0;
  if (!DeviceIoControl(device, lptwdmio::IoctlBatchRead, pair, sizeof pair, pair, sizeof pair, &returned,
                       nullptr)) {
    std::printf("%lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(release, 60000);
  return 0;
}
