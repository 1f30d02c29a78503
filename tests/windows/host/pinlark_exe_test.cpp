// End to end under Wine: pinlark.exe beside the real LPTWDMIO.SYS, which
// Wine's service manager starts and which serves its simulated ports there,
// driven with xdotool on a private Xvfb and checked through screen pixels.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pinlark_window.h"
#include "wine_session.h"

namespace {

using namespace pinlark::wine;
namespace fs = std::filesystem;

const std::string StartupBoxText = "Ошибка при создании объекта Lpt, код = 2";
constexpr int ClientWidth = 463, ClientHeight = 170;
// Where the system menu opens over the window's dark panel: light when it is open.
constexpr TPoint MenuSpot{140, 60};

// One Wine session with pinlark.exe started in it from `folder`.
class PinlarkExe : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(S.Problem(), ""); }

  void Launch(const std::string& folder) {
    App = S.Start({folder + "/pinlark.exe"}, S.Temp() + "/stdout.txt", S.Temp() + "/stderr.txt");
    ASSERT_TRUE(App->Started());
  }

  // A window of the program, or 0 (and a failure) when it ended first.
  TWindowId WaitForWindow(const std::string& title) { return WaitForWindowOf(*App, S.X(), title, WaitLimit); }

  // pinlark.exe ended by itself with exit code 0, and once the prefix's
  // wineserver has ended no driver service is left.
  void ExpectOrderlyEnd() {
    EXPECT_EQ(App->Wait(WaitLimit), 0)
        << "pinlark.exe did not end cleanly: " << WindowsText(S.Temp() + "/stderr.txt");
    ASSERT_TRUE(S.WaitForQuiet());
    EXPECT_EQ(S.DriverService(), "1060") << "the lptwdmio service is left behind";
  }

  TWineSession S;
  std::unique_ptr<TChild> App;
};

// The window of a running pinlark.exe, polling: the connection lamp is lit.
class PinlarkExeWindow : public PinlarkExe {
 protected:
  void StartPinlark() {
    ASSERT_NO_FATAL_FAILURE(Launch(S.Bin()));
    Win = S.UserAt(WaitForWindow(MainTitle));
    ASSERT_NE(Win.Id(), 0u);
    ASSERT_TRUE(Win.WaitFor(ConnectionLamp, IsLime)) << "no successful poll";
  }

  TWindowUser Win;
};

// The whole run of one session: start-up look and frame, commands, hover,
// the error box's block, the port choice, and closing the window.
TEST_F(PinlarkExeWindow, RunsOnTheRealDriverAndClosesInOrder) {
  const std::string expectedFrame = S.Temp() + "/headless.png";
  ASSERT_EQ(S.Run({S.Bin() + "/console_frame.exe", "window", expectedFrame}, S.Temp() + "/frame.txt"), 0);
  ASSERT_NO_FATAL_FAILURE(StartPinlark());

  // The frame as the headless display draws the same state, pixel for pixel.
  const std::optional<TImage> headless = ReadPng(expectedFrame);
  ASSERT_TRUE(headless.has_value());
  const TDifference d = Compare(GrabWindow(S.X(), Win.Id(), ClientWidth, ClientHeight), *headless);
  EXPECT_EQ(d.Count, 0) << "first difference at " << d.FirstX << "," << d.FirstY;

  // The same checks as on X11, one after another in one session.
  ExpectStartupLook(Win);
  ExpectHoverHelp(Win);
  ExpectD0LightsErr(Win);
  ExpectTypedByteLightsItsBits(Win);
  ExpectCaptionToggleShowsPins(Win);

  // A failed conversion's box blocks the window until it is closed.
  Win.ClickAt(DataLamp(6));
  EXPECT_TRUE(Win.WaitFor(DataLamp(6), IsLime));
  Win.ClickAt(Edit3Centre);
  Win.Xdo({"key", "ctrl+a"});
  Win.Xdo({"type", "g"});
  Win.ClickAt(Edit3Enter);
  const TWindowId box = WaitForWindow(ErrorBoxTitle);
  ASSERT_NE(box, 0u);
  Win.ClickAt(DataLamp(6));          // beside the box: must not go out
  S.X().SendDeleteWindow(Win.Id());  // nor may the window close
  S.X().SendDeleteWindow(box);
  ASSERT_TRUE(WaitUntil([&] { return S.X().Windows(ErrorBoxTitle).empty(); }, WaitLimit));
  EXPECT_TRUE(IsLime(Win.Pixel(DataLamp(6))));
  EXPECT_FALSE(App->Exited());
  Win.ClickAt(DataLamp(6));
  EXPECT_TRUE(WaitUntil([&] { return !IsLime(Win.Pixel(DataLamp(6))); }, WaitLimit))
      << "the window takes no input";

  // LPT2, the bare port: its inputs float high, so ERR, SEL, PAP and ASC
  // light and BUSY goes out.
  const auto value = Win.Grab(StatusValue);
  Win.ClickAt(PortLamp(1));
  EXPECT_TRUE(Win.WaitFor(PortLamp(1), IsLime));
  EXPECT_TRUE(Win.WaitFor(PortLamp(0), IsGreen));
  EXPECT_TRUE(WaitUntil([&] { return Win.Grab(StatusValue) != value; }, WaitLimit));
  for (int line = 0; line < 4; ++line) EXPECT_TRUE(Win.WaitFor(StatusLamp(line), IsRed)) << line;
  EXPECT_TRUE(WaitUntil([&] { return !IsRed(Win.Pixel(StatusLamp(4))); }, WaitLimit));

  S.X().SendDeleteWindow(Win.Id());
  ExpectOrderlyEnd();
}

// With the system menu open (Alt+Space) Windows loops inside the window's
// message handling; the poll goes on there, so what the far end of LPT2's
// cable drives reaches the lamps while the menu stays open.
TEST_F(PinlarkExeWindow, PollsWhileTheSystemMenuIsOpen) {
  ASSERT_NO_FATAL_FAILURE(StartPinlark());
  Win.ClickAt(PortLamp(1));
  ASSERT_TRUE(Win.WaitFor(PortLamp(1), IsLime));
  const TPoint ack = StatusLamp(3);  // right of the menu, as is the status value
  ASSERT_TRUE(Win.WaitFor(ack, IsRed)) << "ACK does not float high on the bare port";
  const auto value = Win.Grab(StatusValue);

  const std::optional<TGeometry> g = S.X().Geometry(Win.Id());
  ASSERT_TRUE(g.has_value());
  const auto menuOpen = [&] {
    const TRgb c = S.X().ScreenPixel(g->X + MenuSpot.X, g->Y + MenuSpot.Y);
    return c.R > 200 && c.G > 200 && c.B > 200;
  };
  ASSERT_FALSE(menuOpen());
  ASSERT_TRUE(Win.Xdo({"key", "alt+space"}));
  ASSERT_TRUE(WaitUntil(menuOpen, WaitLimit)) << "the system menu did not open";

  ASSERT_EQ(S.Run({S.Bin() + "/lptctl.exe", "sim", "LPT2", "ACK=0"}, S.Temp() + "/sim.txt"), 0)
      << WindowsText(S.Temp() + "/sim.txt");
  EXPECT_TRUE(WaitUntil([&] { return !IsRed(Win.Pixel(ack)); }, WaitLimit))
      << "the poll stopped while the system menu is open";
  EXPECT_TRUE(WaitUntil([&] { return Win.Grab(StatusValue) != value; }, WaitLimit));
  EXPECT_TRUE(menuOpen());

  // The first Escape closes the menu and leaves the window in menu mode
  // (its system menu chosen, a close request ignored); the second ends it.
  ASSERT_TRUE(Win.Xdo({"key", "Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return !menuOpen(); }, WaitLimit));
  ASSERT_TRUE(Win.Xdo({"key", "Escape"}));
  S.X().SendDeleteWindow(Win.Id());
  ExpectOrderlyEnd();
}

// The end of the Windows session closes the window through FormDestroy.
TEST_F(PinlarkExeWindow, SessionEndShutsDownInOrder) {
  ASSERT_NO_FATAL_FAILURE(StartPinlark());
  EXPECT_EQ(S.Tool({"wineboot", "--end-session"}), 0);
  ExpectOrderlyEnd();
}

// Without LPTWDMIO.SYS beside it the connection fails with the system's
// "file not found" and start-up shows its box, as the headless display does.
TEST_F(PinlarkExe, MissingDriverModuleShowsTheErrorBox) {
  const std::string folder = S.Temp() + "/alone";
  fs::create_directory(folder);
  for (const fs::directory_entry& e : fs::directory_iterator(S.Bin())) {
    const std::string name = e.path().filename().string();
    if (name == "pinlark.exe" || name == "console_frame.exe" || e.path().extension() == ".ttf")
      fs::copy_file(e.path(), folder + "/" + name);
  }
  const std::string expectedBox = S.Temp() + "/box.png";
  ASSERT_EQ(S.Run({folder + "/console_frame.exe", "box", expectedBox}, S.Temp() + "/box.txt"), 0);
  EXPECT_EQ(WindowsText(S.Temp() + "/box.txt"), StartupBoxTitle + "\n" + StartupBoxText + "\n");

  ASSERT_NO_FATAL_FAILURE(Launch(folder));
  const TWindowId box = WaitForWindow(StartupBoxTitle);
  ASSERT_NE(box, 0u);
  const std::optional<TImage> headless = ReadPng(expectedBox);
  ASSERT_TRUE(headless.has_value());
  TDifference d;
  EXPECT_TRUE(WaitUntil(
      [&] {
        d = Compare(GrabWindow(S.X(), box, headless->Width, headless->Height), *headless);
        return d.Count == 0;
      },
      WaitLimit))
      << d.Count << " pixels differ, the first at " << d.FirstX << "," << d.FirstY;
  S.X().SendDeleteWindow(box);
  ExpectOrderlyEnd();
}

}  // namespace
