// The portable suites bring the headless display and run under Wine without a
// screen: asking one of them for the real display is an error, not a window.
#include "display.h"

namespace display {

std::unique_ptr<Display> CreateDefaultDisplay() {
  throw DisplayError("the suites draw on the headless display: pass it to the application");
}

}  // namespace display
