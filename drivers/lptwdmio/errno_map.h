#pragma once

#include "winapi.h"

namespace lptwdmio {

// The Windows error code for a failed system call's errno.
DWORD WindowsError(int error);

}  // namespace lptwdmio
