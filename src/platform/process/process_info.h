// Facts about the running process that more than one layer needs.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable; empty when the system cannot say.
std::string ExecutablePath();

// The executable's name without folder or extension ("pinlark" for
// pinlark.exe); empty when the system cannot say.
std::string ProgramName();

}  // namespace platform
