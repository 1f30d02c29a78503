// Facts about the running process that more than one layer needs.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable; empty when the system cannot say.
std::string ExecutablePath();

// The executable's name without folder or extension ("pinlark" for
// pinlark.exe); empty when the system cannot say.
std::string ProgramName();

// The name of a running process by its id, as the system shows it ("lptctl"
// on Linux, "lptctl.exe" on Windows); empty when the system does not say.
std::string ProcessName(unsigned long pid);

// Whether the reader of standard output has gone (`| head -1` done) or the
// terminal hung up, so that a quiet program learns it before it writes
// again. Windows cannot tell before the write fails: false there.
bool StandardOutputGone();

}  // namespace platform
