// Facts about the running process that more than one layer needs.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable; empty when the system cannot say.
std::string ExecutablePath();

}  // namespace platform
