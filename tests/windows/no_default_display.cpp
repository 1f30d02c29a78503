// The Windows build has no window backend yet; test programs bring the
// headless display themselves, so asking for the default one is an error.
#include "display.h"

namespace display {

std::unique_ptr<Display> CreateDefaultDisplay() {
  throw DisplayError("no window system in this build: pass a display to the application");
}

}  // namespace display
