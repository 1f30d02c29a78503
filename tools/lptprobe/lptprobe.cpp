// Opens the port connection the way the window does and prints what each
// LPT port answers; exit status 1 when the connection is unusable.
#include "LPTIO.h"
#include "winapi.h"

#include <cstdio>

namespace {

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

void PrintPort(TLptPortConnection& connection, const TPortEntry& port) {
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
  std::printf("%s present data=%02X status=%02X control=%02X\n", port.Name, pairs[0].Value, pairs[1].Value,
              pairs[2].Value);
}

}  // namespace

int main() {
  TLptPortConnection connection;
  if (!connection.IsUsable()) {
    std::printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  for (const TPortEntry& port : Ports) PrintPort(connection, port);
  return 0;
}
