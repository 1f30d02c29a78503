#include "process_info.h"

namespace platform {

std::string ProgramName() {
  std::string name = ExecutablePath();
  name = name.substr(name.find_last_of("/\\") + 1);
  if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace platform
