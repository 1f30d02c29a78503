// What the kernel driver decides from what the system hands it, apart from
// the kernel, so tests compiled for user mode check the same code.
#pragma once

#include <stdint.h>

#include "request_rules.h"

namespace lptwdmio::kernel {

// A port the driver may touch: registers in I/O space (data, status and
// control all below 0x10000) at a base it can name. Anything else (a port
// mapped into memory, a short span) would send the byte-wide port
// instructions somewhere no port is.
constexpr bool IsUsablePort(uint64_t originalController, uint64_t controller, uint32_t span) {
  constexpr uint64_t LastIoPort = 0xFFFF;
  return controller != 0 && controller + RegisterCount - 1 <= LastIoPort && originalController != 0 &&
         originalController + RegisterCount - 1 <= LastIoPort && span >= RegisterCount;
}

// Whether an open may change what a port drives (NeedsWriteAccess's
// requests), from the access the system granted it. told is false when the
// system passed no access at all, as Wine's does: that open is served as
// the user opened it, since nothing can be checked.
constexpr uint32_t FileWriteData = 0x00000002, GenericAll = 0x10000000, GenericWrite = 0x40000000;
constexpr bool OpenMayWrite(bool told, uint32_t access) {
  return !told || (access & (FileWriteData | GenericWrite | GenericAll)) != 0;
}

// No-execute non-paged pool exists from Windows 8 (6.2); older kernels
// stop the machine on the type.
constexpr bool HasNoExecutePool(uint32_t major, uint32_t minor) {
  return major > 6 || (major == 6 && minor >= 2);
}

}  // namespace lptwdmio::kernel
