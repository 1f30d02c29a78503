// Processors without port instructions have no real I/O space.
#include "emulation_control.h"

namespace emulation {

std::shared_ptr<TIoSpace> OpenRealIoSpace(DWORD& error) {
  error = ERROR_NOT_SUPPORTED;
  return nullptr;
}

}  // namespace emulation
