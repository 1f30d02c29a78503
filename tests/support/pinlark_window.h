// Where things are in Pinlark's window and how its colours read on screen,
// from the layout tables, for the end-to-end tests on X11 and under Wine.
#pragma once

#include <string>

#include "xclient.h"

namespace pinlark::testsupport {

// The runs use the driver's simulated ports, which the title owns up to.
inline const std::string MainTitle = "Pinlark   v1.0 (simulated port)";
inline const std::string StartupBoxTitle = "ERROR";
inline const std::string ErrorBoxTitle = "pinlark";  // the application's title captions its error boxes

inline bool IsLime(TRgb c) { return c.G > 200 && c.R < 80 && c.B < 80; }
inline bool IsGreen(TRgb c) { return c.G > 100 && c.G < 160 && c.R < 40 && c.B < 40; }
inline bool IsRed(TRgb c) { return c.R > 200 && c.G < 80 && c.B < 80; }
inline bool IsGrey(TRgb c) { return c.R > 100 && c.R < 160 && c.R == c.G && c.G == c.B; }

// Client coordinates: the lamp centres of the LEDs, and areas of captions and fields.
constexpr TPoint DataLamp(int bit) { return {215 - 24 * bit + 8, 9 + 26}; }
constexpr TPoint StatusLamp(int line) {  // ERR, SEL, PAP, ASC, BUSY
  constexpr TPoint lamps[] = {
      {49 + 16, 91 + 26}, {86 + 16, 91 + 26}, {127 + 12, 91 + 26}, {164 + 12, 91 + 26}, {191 + 22, 91 + 26}};
  return lamps[line];
}
constexpr TPoint ErrLamp = StatusLamp(0);
constexpr TPoint ConnectionLamp{403 + 12, 106 + 10};
constexpr TPoint PortLamp(int port) { return {394 + 5, 20 + 16 * port + 9}; }  // LPT1 = 0
constexpr TArea D0Caption{215, 9, 232, 29};
constexpr TArea ToggleFace{282, 103, 367, 120};
constexpr TArea StatusLine{148, 136, 450, 160};
constexpr TArea StatusValue{253, 104, 269, 117};
constexpr TArea RdLabel{15, 24, 36, 41};
constexpr TArea Edit1Area{253, 22, 273, 37};
constexpr TPoint Edit1Centre{263, 29};
constexpr TPoint Edit1Enter{301, 29};
constexpr TPoint Edit3Centre{263, 70};
constexpr TPoint Edit3Enter{301, 70};
constexpr TPoint CaptionToggle{324, 111};

}  // namespace pinlark::testsupport
