// The machine's own I/O ports, for hardware tests run as root.
#include "emulation_control.h"

#include <sys/io.h>

#include <bitset>
#include <cerrno>

namespace emulation {

namespace {

struct TPortRange {
  WORD First;
  WORD Count;
};

// The three classic LPT register blocks.
constexpr TPortRange LptRanges[] = {{0x3BC, 4}, {0x378, 8}, {0x278, 8}};

class TRealIoSpace : public TIoSpace {
 public:
  BYTE In(WORD port) override { return Allowed(port) ? inb(port) : 0xFF; }

  void Out(WORD port, BYTE value) override {
    if (Allowed(port)) outb(value, port);
  }

  bool Grant(WORD first, WORD count) {
    if (ioperm(first, count, 1) != 0) return false;
    for (unsigned port = first; port < unsigned(first) + count; ++port) FGranted.set(port);
    return true;
  }

 private:
  // An instruction on a port without permission would kill the process, so
  // such ports behave like a floating bus instead.
  bool Allowed(WORD port) { return FGranted.test(port) || Grant(port, 1); }

  std::bitset<0x10000> FGranted;
};

}  // namespace

std::shared_ptr<TIoSpace> OpenRealIoSpace(DWORD& error) {
  auto space = std::make_shared<TRealIoSpace>();
  for (const TPortRange& range : LptRanges) {
    if (!space->Grant(range.First, range.Count)) {
      error = (errno == EPERM || errno == EACCES) ? ERROR_ACCESS_DENIED : ERROR_NOT_SUPPORTED;
      return nullptr;
    }
  }
  error = ERROR_SUCCESS;
  return space;
}

}  // namespace emulation
