// service_probe query | install: what the Wine service tests ask of the
// service manager from outside the program under test. Prints one number:
// 0 or the Windows error code.
#include <cstdio>
#include <cstring>

#include "service_control.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "query") == 0) {
    std::printf("%lu\n", static_cast<unsigned long>(wintest::ServiceState()));
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "install") == 0) {
    const DWORD error = wintest::InstallDriverService(false);
    std::printf("%lu\n", static_cast<unsigned long>(error));
    return error == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "usage: service_probe query|install\n");
  return 2;
}
