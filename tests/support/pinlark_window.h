// Where things are in Pinlark's window and how its colours read on screen,
// from the layout tables, and the checks of it that the end-to-end tests on
// X11 and under Wine share.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "window_user.h"
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

// The window as it starts on the simulated ports: LPT1 chosen, LPT2 found,
// LPT3 absent, the data register at 00.
inline void ExpectStartupLook(const TWindowUser& win) {
  EXPECT_TRUE(IsLime(win.Pixel(PortLamp(0))));
  EXPECT_TRUE(IsGreen(win.Pixel(PortLamp(1))));
  EXPECT_TRUE(IsGrey(win.Pixel(PortLamp(2))));
  EXPECT_GT(win.Count(Edit1Area, IsLime), 10);  // "00"
  for (int bit = 0; bit < 8; ++bit) EXPECT_FALSE(IsLime(win.Pixel(DataLamp(bit)))) << bit;
}

// Hovering D5 shows its help in the status line and lights its register's label.
inline void ExpectHoverHelp(const TWindowUser& win) {
  const auto line = win.Grab(StatusLine);
  EXPECT_EQ(win.Count(RdLabel, IsLime), 0);
  win.PointAt(DataLamp(5));
  EXPECT_TRUE(win.WaitFor([&] { return win.Grab(StatusLine) != line; }));
  EXPECT_TRUE(win.WaitFor([&] { return win.Count(RdLabel, IsLime) > 0; }));
}

// D0 lights ERR through LPT1's loopback plug.
inline void ExpectD0LightsErr(const TWindowUser& win) {
  EXPECT_FALSE(IsRed(win.Pixel(ErrLamp)));
  win.ClickAt(DataLamp(0));
  EXPECT_TRUE(win.WaitFor(DataLamp(0), IsLime));
  EXPECT_TRUE(win.WaitFor(ErrLamp, IsRed));
}

// "A5" typed into Edit1 and written: its bits light, the others stay dark.
// Without a window manager the keyboard follows the pointer, which stays on Edit1.
inline void ExpectTypedByteLightsItsBits(const TWindowUser& win) {
  win.ClickAt(Edit1Centre);
  win.Xdo({"key", "ctrl+a"});
  win.Xdo({"type", "A5"});
  win.ClickAt(Edit1Enter);
  for (int bit : {0, 2, 5, 7}) EXPECT_TRUE(win.WaitFor(DataLamp(bit), IsLime)) << bit;
  for (int bit : {1, 3, 4, 6}) EXPECT_FALSE(IsLime(win.Pixel(DataLamp(bit)))) << bit;
}

// The caption toggle shows pin numbers, then names again as before.
inline void ExpectCaptionToggleShowsPins(const TWindowUser& win) {
  const auto caption = win.Grab(D0Caption);
  const auto face = win.Grab(ToggleFace);
  win.ClickAt(CaptionToggle);
  EXPECT_TRUE(win.WaitFor([&] { return win.Grab(D0Caption) != caption; }));
  EXPECT_TRUE(win.WaitFor([&] { return win.Grab(ToggleFace) != face; }));
  win.ClickAt(CaptionToggle);
  EXPECT_TRUE(win.WaitFor([&] { return win.Grab(D0Caption) == caption; }));
}

}  // namespace pinlark::testsupport
