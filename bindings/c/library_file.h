// Where the library itself lies, as the system loaded it: the driver module
// is looked for beside it, not beside the program that loaded it (for a
// script, that is the interpreter). The build picks the platform's file.
#pragma once

#include <string>

namespace pinlark {

// The library's file, links followed to the real file; empty when the
// system cannot say.
std::string LibraryPath();

}  // namespace pinlark
