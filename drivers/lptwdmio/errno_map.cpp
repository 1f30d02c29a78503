#include "errno_map.h"

#include <array>
#include <cerrno>

namespace lptwdmio {

namespace {

struct TErrnoCode {
  int Errno;
  DWORD Code;
};

// The one statement of the mapping; anything not listed is ERROR_GEN_FAILURE.
constexpr std::array<TErrnoCode, 11> ErrnoCodes{{
    {0, ERROR_SUCCESS},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENODEV, ERROR_DEVICE_NOT_CONNECTED},
    {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
    {EBUSY, ERROR_BUSY},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOTTY, ERROR_NOT_SUPPORTED},  // the node is no ppdev device
    {EIO, ERROR_IO_DEVICE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
}};

}  // namespace

DWORD WindowsError(int error) {
  for (const TErrnoCode& entry : ErrnoCodes)
    if (entry.Errno == error) return entry.Code;
  return ERROR_GEN_FAILURE;
}

}  // namespace lptwdmio
