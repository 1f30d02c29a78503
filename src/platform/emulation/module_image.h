// A driver module's file, checked before the system loader maps it. The
// loader maps segments straight from the file, so a truncated module (a
// partial copy, a full disk) would be touched past its end and kill the
// process with SIGBUS instead of failing the start.
#pragma once

#include "winapi.h"

#include <string>

namespace emulation {

struct TImageCheck {
  DWORD Error = ERROR_SUCCESS;  // ERROR_BAD_EXE_FORMAT for a damaged image
  std::string Problem;          // what is wrong, for the user
};

// Refuses anything but a regular file (a named pipe in the module's place
// must not block the start), then reads the ELF and program headers with
// ordinary reads (never a mapping) and checks them against this process's
// class and machine and against the size of the file.
TImageCheck CheckModuleImage(const std::string& path);

}  // namespace emulation
