#include "errno_map.h"

#include <cerrno>

namespace lptwdmio {

// errno                  Windows code
// 0                      0    ERROR_SUCCESS
// EACCES, EPERM          5    ERROR_ACCESS_DENIED
// ENOENT                 2    ERROR_FILE_NOT_FOUND
// ENODEV, ENXIO          1167 ERROR_DEVICE_NOT_CONNECTED
// EBUSY                  170  ERROR_BUSY
// EINVAL                 87   ERROR_INVALID_PARAMETER
// ENOTTY                 50   ERROR_NOT_SUPPORTED (the node is no ppdev device)
// EIO                    1117 ERROR_IO_DEVICE
// ENOMEM                 8    ERROR_NOT_ENOUGH_MEMORY
// anything else          31   ERROR_GEN_FAILURE
DWORD WindowsError(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENODEV:
    case ENXIO: return ERROR_DEVICE_NOT_CONNECTED;
    case EBUSY: return ERROR_BUSY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOTTY: return ERROR_NOT_SUPPORTED;
    case EIO: return ERROR_IO_DEVICE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
  }
}

}  // namespace lptwdmio
