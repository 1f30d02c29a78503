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
  // The form's window; 0 (and a failure) when it did not appear.
  TWindowId WaitForForm(TChild& app) {
    Win = S.UserAt(WaitForWindowOf(app, S.X(), Title, WaitLimit));
    return Win.Id();
  }

  TWineSession S{std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24"};
  TWindowUser Win;
};

TEST_F(Win32Forms, WindowInputClipboardAndClose) {
  ASSERT_TRUE(S.X().MapCharacters(U"жук ёж"));
  std::unique_ptr<TChild> app =
      S.Start({S.Bin() + "/win32_forms_app.exe"}, S.Temp() + "/stdout.txt", S.Temp() + "/stderr.txt");
  ASSERT_TRUE(app->Started());
  ASSERT_NE(WaitForForm(*app), 0u) << WindowsText(S.Temp() + "/stderr.txt");

  // Exactly the client area, fixed, centred (the caption above it shifts it down a little).
  const std::optional<TGeometry> g = S.X().Geometry(Win.Id());
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->Width, Width);
  EXPECT_EQ(g->Height, Height);
  EXPECT_NEAR(g->X, (ScreenWidth - Width) / 2, 1);
  EXPECT_GE(g->Y, (ScreenHeight - Height) / 2);
  EXPECT_LE(g->Y, (ScreenHeight - Height) / 2 + 30);
  const std::optional<TSizeLimits> limits = S.X().SizeLimits(Win.Id());
  ASSERT_TRUE(limits.has_value());
  EXPECT_TRUE(limits->Fixed);
  EXPECT_EQ(limits->MaxWidth, Width);

  // A press toggles the lamp; a double click is one more press and the double click.
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Win.Pixel({40, 40}) == Green;
      },
      WaitLimit))
      << ToString(Win.Pixel({40, 40}));
  Win.PointAt({40, 40}, {"click", "1"});
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Win.Pixel({40, 40}) == Red;
      },
      WaitLimit))
      << ToString(Win.Pixel({40, 40}));
  Win.PointAt({40, 40}, {"click", "--repeat", "2", "--delay", "80", "1"});
  EXPECT_TRUE(Said("double click"));

  // The pointer entering and leaving a control, and leaving the window.
  Win.PointAt({40, 140});
  EXPECT_TRUE(Said("pad entered"));
  Win.Xdo({"mousemove", "--sync", "5", "5"});
  EXPECT_TRUE(Said("pad left"));

  // A press keeps the mouse: let go off the window, the release still comes, outside the client area.
  Win.PointAt({40, 140}, {"mousedown", "1"});
  Win.Xdo({"mousemove", "--sync", "5", "5", "mouseup", "1"});
  EXPECT_TRUE(Said("released at " + std::to_string(5 - g->X) + "," + std::to_string(5 - g->Y)));

  // Typing, upper-cased by the field, cut at its five characters and echoed in yellow.
  Win.PointAt({150, 30}, {"click", "1"});
  Win.Xdo({"type", "--delay", "30", "ab1xyz"});
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const TRgb& c : Win.Grab({100, 60, 280, 76}))
          if (c == Yellow) return true;
        return false;
      },
      WaitLimit));

  // Cyrillic, as typed.
  Win.PointAt({150, 110}, {"click", "1"});
  Win.Xdo({"type", "--delay", "30", "жук ёж"});
  EXPECT_TRUE(Said("edit2=жук ёж"));

  // Copy from the first field, paste over the second.
  Win.PointAt({150, 30}, {"click", "1"});
  Win.Xdo({"key", "--delay", "30", "ctrl+a", "ctrl+c"});
  Win.PointAt({150, 110}, {"click", "1"});
  Win.Xdo({"key", "--delay", "30", "ctrl+a", "ctrl+v"});
  EXPECT_TRUE(Said("edit2=AB1XY"));

  S.X().SendDeleteWindow(Win.Id());
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
  ASSERT_NE(WaitForForm(*app), 0u) << WindowsText(S.Temp() + "/stderr.txt");
  const std::optional<TGeometry> g = S.X().Geometry(Win.Id());
  ASSERT_TRUE(g.has_value());
  // The lamp flips both ways while the menu or the move is on.
  const auto lit = [&] {
    return Win.Pixel({TickerX, TickerY}) == Purple || Win.Pixel({TickerX, TickerY}) == Aqua;
  };
  ASSERT_TRUE(WaitUntil(lit, WaitLimit)) << "the ticker was never drawn";
  const auto ticking = [&] {
    const TRgb first = Win.Pixel({TickerX, TickerY});
    return WaitUntil(
               [&] {
                 return Win.Pixel({TickerX, TickerY}) != first;
               },
               WaitLimit) &&
           WaitUntil(
               [&] {
                 return Win.Pixel({TickerX, TickerY}) == first;
               },
               WaitLimit);
  };
  // The menu opens over the window's top left.
  const auto menuOpen = [&] { return S.X().ScreenPixel(g->X + 140, g->Y + 140) != Background; };
  ASSERT_TRUE(ticking());
  ASSERT_FALSE(menuOpen());

  Win.PointAt({200, 185}, {"click", "1"});  // the form takes the keyboard
  Win.Xdo({"key", "alt+space"});
  ASSERT_TRUE(WaitUntil(menuOpen, WaitLimit)) << "the system menu did not open";
  EXPECT_TRUE(ticking()) << "the timer stopped while the system menu is open";
  Win.Xdo({"key", "Escape"});
  ASSERT_TRUE(WaitUntil([&] { return !menuOpen(); }, WaitLimit));

  Win.Xdo({"key", "alt+space"});
  ASSERT_TRUE(WaitUntil(menuOpen, WaitLimit));
  Win.Xdo({"key", "m"});  // the pointer goes to the caption, which has no keyboard focus here
  EXPECT_TRUE(WaitUntil([&] { return !menuOpen(); }, WaitLimit));
  EXPECT_TRUE(ticking()) << "the timer stopped while the window is being moved";
  Win.Xdo({"mousemove_relative", "--sync", "40", "0"});
  Win.Xdo({"click", "1"});
  EXPECT_TRUE(WaitUntil([&] { return S.X().Geometry(Win.Id())->X > g->X; }, WaitLimit))
      << "the window did not move";
  EXPECT_TRUE(ticking());

  S.X().SendDeleteWindow(Win.Id());
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
