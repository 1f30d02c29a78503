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
constexpr std::array<TErrnoCode, 13> ErrnoCodes{{
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
    {EINTR, ERROR_OPERATION_ABORTED},  // a signal ended a wait: interrupted, not busy
    {ELOOP, ERROR_ACCESS_DENIED},      // a link where a file of our own should be
}};

}  // namespace

DWORD WindowsError(int error) {
  for (const TErrnoCode& entry : ErrnoCodes)
    if (entry.Errno == error) return entry.Code;
  return ERROR_GEN_FAILURE;
}

}  // namespace lptwdmio
