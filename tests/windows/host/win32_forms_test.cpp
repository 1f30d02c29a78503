// The Win32 display under Wine through a small form program: the window
// itself, clicks and double clicks, typing (Cyrillic included), the
// clipboard, the mouse kept by a press, and the pointer leaving; driven with
// xdotool, checked through screen pixels and what the program says.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "wine_session.h"

namespace {

using namespace pinlark::wine;

const std::string Title = "Pinlark forms e2e";
constexpr int Width = 300, Height = 200, ScreenWidth = 1024, ScreenHeight = 768;
constexpr TRgb Green{0, 0x80, 0}, Red{0xFF, 0, 0}, Yellow{0xFF, 0xFF, 0}, Purple{0x80, 0, 0x80},
    Aqua{0, 0xFF, 0xFF};

class Win32Forms : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(S.Problem(), ""); }

  std::string Output() { return WindowsText(S.Temp() + "/stdout.txt"); }
  bool Said(const std::string& line) {
    return WaitUntil([&] { return Output().find(line + "\n") != std::string::npos; }, WaitLimit);
  }
  void At(int x, int y, const std::vector<std::string>& then = {}) {
    std::vector<std::string> args{"mousemove", "--window", std::to_string(Win), std::to_string(x),
                                  std::to_string(y)};
    args.insert(args.end(), then.begin(), then.end());
    EXPECT_TRUE(S.Xdo(args));
  }
  void Xdo(const std::vector<std::string>& args) { EXPECT_TRUE(S.Xdo(args)); }
  TRgb Pixel(int x, int y) { return S.X().Pixel(Win, x, y); }

  TWineSession S{std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24"};
  TWindowId Win = 0;
};

TEST_F(Win32Forms, WindowInputClipboardAndClose) {
  ASSERT_TRUE(S.X().MapCharacters(U"жук ёж"));
  std::unique_ptr<TChild> app =
      S.Start({S.Bin() + "/win32_forms_app.exe"}, S.Temp() + "/stdout.txt", S.Temp() + "/stderr.txt");
  ASSERT_TRUE(app->Started());
  Win = S.X().WaitForWindow(Title, WaitLimit);
  ASSERT_NE(Win, 0u) << "the form's window did not appear: " << WindowsText(S.Temp() + "/stderr.txt");

  // Exactly the client area, fixed, centred (the caption above it shifts it down a little).
  const std::optional<TGeometry> g = S.X().Geometry(Win);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->Width, Width);
  EXPECT_EQ(g->Height, Height);
  EXPECT_NEAR(g->X, (ScreenWidth - Width) / 2, 1);
  EXPECT_GE(g->Y, (ScreenHeight - Height) / 2);
  EXPECT_LE(g->Y, (ScreenHeight - Height) / 2 + 30);
  const std::optional<TSizeLimits> limits = S.X().SizeLimits(Win);
  ASSERT_TRUE(limits.has_value());
  EXPECT_TRUE(limits->Fixed);
  EXPECT_EQ(limits->MaxWidth, Width);

  // A press toggles the lamp; a double click is one more press and the double click.
  EXPECT_TRUE(WaitUntil([&] { return Pixel(40, 40) == Green; }, WaitLimit)) << ToString(Pixel(40, 40));
  At(40, 40, {"click", "1"});
  EXPECT_TRUE(WaitUntil([&] { return Pixel(40, 40) == Red; }, WaitLimit)) << ToString(Pixel(40, 40));
  At(40, 40, {"click", "--repeat", "2", "--delay", "80", "1"});
  EXPECT_TRUE(Said("double click"));

  // The pointer entering and leaving a control, and leaving the window.
  At(40, 140);
  EXPECT_TRUE(Said("pad entered"));
  Xdo({"mousemove", "--sync", "5", "5"});
  EXPECT_TRUE(Said("pad left"));

  // A press keeps the mouse: let go off the window, the release still comes, outside the client area.
  At(40, 140, {"mousedown", "1"});
  Xdo({"mousemove", "--sync", "5", "5", "mouseup", "1"});
  EXPECT_TRUE(Said("released at " + std::to_string(5 - g->X) + "," + std::to_string(5 - g->Y)));

  // Typing, upper-cased by the field, cut at its five characters and echoed in yellow.
  At(150, 30, {"click", "1"});
  Xdo({"type", "--delay", "30", "ab1xyz"});
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const TRgb& c : S.X().Grab(Win, {100, 60, 280, 76}))
          if (c == Yellow) return true;
        return false;
      },
      WaitLimit));

  // Cyrillic, as typed.
  At(150, 110, {"click", "1"});
  Xdo({"type", "--delay", "30", "жук ёж"});
  EXPECT_TRUE(Said("edit2=жук ёж"));

  // Copy from the first field, paste over the second.
  At(150, 30, {"click", "1"});
  Xdo({"key", "--delay", "30", "ctrl+a", "ctrl+c"});
  At(150, 110, {"click", "1"});
  Xdo({"key", "--delay", "30", "ctrl+a", "ctrl+v"});
  EXPECT_TRUE(Said("edit2=AB1XY"));

  S.X().SendDeleteWindow(Win);
  EXPECT_EQ(app->Wait(WaitLimit), 0);
  const std::string text = Output();
  EXPECT_NE(text.find("edit=AB1XY\n"), std::string::npos) << text;
  EXPECT_NE(text.find("clicks=3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("dblclicks=1\n"), std::string::npos) << text;
}

// Windows runs loops of its own inside the window's message handling: the
// system menu's (Alt+Space) and moving the window from that menu (Alt+Space,
// M, then the mouse, until a click). The form's timer, which flips the ticker
// lamp, goes on in both.
TEST_F(Win32Forms, TimersRunInsideTheSystemMenuAndMoveLoops) {
  constexpr int TickerX = 260, TickerY = 170;  // beside where the system menu opens
  constexpr TRgb Background{0x40, 0x40, 0x40};
  std::unique_ptr<TChild> app = S.Start({S.Bin() + "/win32_forms_app.exe", "--ticker"},
                                        S.Temp() + "/stdout.txt", S.Temp() + "/stderr.txt");
  ASSERT_TRUE(app->Started());
  Win = S.X().WaitForWindow(Title, WaitLimit);
  ASSERT_NE(Win, 0u) << "the form's window did not appear: " << WindowsText(S.Temp() + "/stderr.txt");
  const std::optional<TGeometry> g = S.X().Geometry(Win);
  ASSERT_TRUE(g.has_value());
  // The lamp flips both ways while the menu or the move is on.
  const auto lit = [&] { return Pixel(TickerX, TickerY) == Purple || Pixel(TickerX, TickerY) == Aqua; };
  ASSERT_TRUE(WaitUntil(lit, WaitLimit)) << "the ticker was never drawn";
  const auto ticking = [&] {
    const TRgb first = Pixel(TickerX, TickerY);
    return WaitUntil([&] { return Pixel(TickerX, TickerY) != first; }, WaitLimit) &&
           WaitUntil([&] { return Pixel(TickerX, TickerY) == first; }, WaitLimit);
  };
  // The menu opens over the window's top left.
  const auto menuOpen = [&] { return S.X().ScreenPixel(g->X + 140, g->Y + 140) != Background; };
  ASSERT_TRUE(ticking());
  ASSERT_FALSE(menuOpen());

  At(200, 185, {"click", "1"});  // the form takes the keyboard
  Xdo({"key", "alt+space"});
  ASSERT_TRUE(WaitUntil(menuOpen, WaitLimit)) << "the system menu did not open";
  EXPECT_TRUE(ticking()) << "the timer stopped while the system menu is open";
  Xdo({"key", "Escape"});
  ASSERT_TRUE(WaitUntil([&] { return !menuOpen(); }, WaitLimit));

  Xdo({"key", "alt+space"});
  ASSERT_TRUE(WaitUntil(menuOpen, WaitLimit));
  Xdo({"key", "m"});  // the pointer goes to the caption, which has no keyboard focus here
  EXPECT_TRUE(WaitUntil([&] { return !menuOpen(); }, WaitLimit));
  EXPECT_TRUE(ticking()) << "the timer stopped while the window is being moved";
  Xdo({"mousemove_relative", "--sync", "40", "0"});
  Xdo({"click", "1"});
  EXPECT_TRUE(WaitUntil([&] { return S.X().Geometry(Win)->X > g->X; }, WaitLimit))
      << "the window did not move";
  EXPECT_TRUE(ticking());

  S.X().SendDeleteWindow(Win);
  EXPECT_EQ(app->Wait(WaitLimit), 0);
}

// The display's own suite (win32_display_test.exe) needs a screen: it runs here.
TEST(Win32Display, SuiteOnAScreen) {
  TWineSession s;
  ASSERT_EQ(s.Problem(), "");
  const std::string out = s.Temp() + "/suite.txt";
  EXPECT_EQ(s.Run({s.Bin() + "/win32_display_test.exe"}, out), 0) << WindowsText(out);
}

}  // namespace
