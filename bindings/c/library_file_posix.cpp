// POSIX side of library_file.h: the dynamic loader knows which file holds an
// address of ours.
#include "library_file.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace pinlark {

std::string LibraryPath() {
  Dl_info info{};
  if (!::dladdr(reinterpret_cast<void*>(&LibraryPath), &info) || !info.dli_fname) return "";
  // A link (the Python package's, say) leads to the file the driver lies beside.
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(info.dli_fname, nullptr), &std::free);
  return real ? real.get() : "";
}

}  // namespace pinlark
