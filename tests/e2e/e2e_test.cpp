// End to end: the real pinlark on the simulated port under Xvfb, driven by
// xdotool, checked through the pixels of its window.
#include <gtest/gtest.h>

#include "xserver.h"
// After gtest: Xlib defines macros such as None and Status.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pinlark::testsupport;

constexpr auto WaitLimit = 20s;  // a bound on waiting for a busy machine, not a speed check

struct TPoint {
  int X, Y;
};
struct TArea {
  int Left, Top, Right, Bottom;
};

struct TRgb {
  int R = 0, G = 0, B = 0;
};
bool IsLime(TRgb c) { return c.G > 200 && c.R < 80 && c.B < 80; }
bool IsGreen(TRgb c) { return c.G > 100 && c.G < 160 && c.R < 40 && c.B < 40; }
bool IsRed(TRgb c) { return c.R > 200 && c.G < 80 && c.B < 80; }
bool IsGrey(TRgb c) { return c.R > 100 && c.R < 160 && c.R == c.G && c.G == c.B; }

std::string ProgramDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

std::string RunOutput(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

class PinlarkWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OnPath("Xvfb")) GTEST_FAIL() << "Xvfb is missing: install xvfb (scripts/setup.sh does)";
    if (!OnPath("xdotool")) GTEST_FAIL() << "xdotool is missing: install xdotool (scripts/setup.sh does)";
    Xvfb = std::make_unique<TXvfb>("800x600x24");
    DisplayName = Xvfb->DisplayName();
    ASSERT_FALSE(DisplayName.empty()) << "Xvfb did not start";
    // A window that went away must fail the test, not end the process.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    X = XOpenDisplay(DisplayName.c_str());
    ASSERT_NE(X, nullptr) << "cannot open " << DisplayName;
    App = std::make_unique<TChild>(std::vector<std::string>{ProgramDir() + "/pinlark"},
                                   TChildOptions().WithDisplay(DisplayName));
    ASSERT_TRUE(App->Started());
    ASSERT_TRUE(WaitUntil([this] { return FindWindow() || App->Exited(); }));
    ASSERT_FALSE(App->Exited()) << "pinlark ended at start-up";
    ASSERT_NE(Win, 0u) << "no window named Pinlark appeared";
    // The first successful poll lights the connection LED.
    ASSERT_TRUE(WaitUntil([this] { return IsLime(Pixel(ConnectionLamp)); })) << "no successful poll";
  }

  void TearDown() override {
    App.reset();
    if (X) XCloseDisplay(X);
    Xvfb.reset();
  }

  bool FindWindow() {
    const std::string out =
        RunOutput("DISPLAY=" + DisplayName + " xdotool search --name '^Pinlark' 2>/dev/null");
    if (out.empty()) return false;
    Win = std::stoul(out);
    return true;
  }

  void Xdo(const std::string& args) {
    const std::string command = "DISPLAY=" + DisplayName + " xdotool " + args;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  void ClickAt(TPoint p, int button = 1) {
    Xdo("mousemove --window " + std::to_string(Win) + " " + std::to_string(p.X) + " " + std::to_string(p.Y) +
        " click " + std::to_string(button));
  }
  void MoveTo(TPoint p) {
    Xdo("mousemove --window " + std::to_string(Win) + " " + std::to_string(p.X) + " " + std::to_string(p.Y));
  }

  std::vector<TRgb> Grab(TArea a) {
    std::vector<TRgb> pixels;
    XImage* image = XGetImage(X, Window(Win), a.Left, a.Top, unsigned(a.Right - a.Left),
                              unsigned(a.Bottom - a.Top), AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < a.Bottom - a.Top; ++y)
      for (int x = 0; x < a.Right - a.Left; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        pixels.push_back({int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)});
      }
    XDestroyImage(image);
    return pixels;
  }
  TRgb Pixel(TPoint p) {
    const auto pixels = Grab({p.X, p.Y, p.X + 1, p.Y + 1});
    return pixels.empty() ? TRgb{} : pixels[0];
  }
  int Count(TArea a, bool (*pred)(TRgb)) {
    int n = 0;
    for (TRgb c : Grab(a)) n += pred(c);
    return n;
  }
  static bool Same(const std::vector<TRgb>& a, const std::vector<TRgb>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i].R != b[i].R || a[i].G != b[i].G || a[i].B != b[i].B) return false;
    return true;
  }

  void SendDeleteWindow() {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Window(Win);
    e.xclient.message_type = XInternAtom(X, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(X, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(X, Window(Win), False, NoEventMask, &e);
    XFlush(X);
  }

  // Window coordinates, from the layout tables: the lamp centres of the LEDs.
  static constexpr TPoint DataLamp(int bit) { return {215 - 24 * bit + 8, 9 + 26}; }
  static constexpr TPoint ErrLamp{49 + 16, 91 + 26};
  static constexpr TPoint ConnectionLamp{403 + 12, 106 + 10};
  static constexpr TPoint PortLamp(int port) { return {394 + 5, 20 + 16 * port + 9}; }  // LPT1 = 0
  static constexpr TArea D0Caption{215, 9, 232, 29};
  static constexpr TArea ToggleFace{282, 103, 367, 120};
  static constexpr TArea StatusLine{148, 136, 450, 160};
  static constexpr TArea RdLabel{15, 24, 36, 41};
  static constexpr TArea Edit1Area{253, 22, 273, 37};
  static constexpr TPoint Edit1Centre{263, 29};
  static constexpr TPoint Edit1Enter{301, 29};
  static constexpr TPoint CaptionToggle{324, 111};

  std::unique_ptr<TXvfb> Xvfb;
  std::unique_ptr<TChild> App;
  std::string DisplayName;
  Display* X = nullptr;
  unsigned long Win = 0;
};

TEST_F(PinlarkWindow, StartupLook) {
  EXPECT_TRUE(IsLime(Pixel(PortLamp(0))));   // LPT1 selected
  EXPECT_TRUE(IsGreen(Pixel(PortLamp(1))));  // LPT2 found, not selected
  EXPECT_TRUE(IsGrey(Pixel(PortLamp(2))));   // LPT3 absent
  EXPECT_GT(Count(Edit1Area, IsLime), 10);   // "00"
  for (int bit = 0; bit < 8; ++bit) EXPECT_FALSE(IsLime(Pixel(DataLamp(bit)))) << bit;
}

TEST_F(PinlarkWindow, D0LightsErrThroughLoopback) {
  EXPECT_FALSE(IsRed(Pixel(ErrLamp)));
  ClickAt(DataLamp(0));
  EXPECT_TRUE(WaitUntil([this] { return IsLime(Pixel(DataLamp(0))); }));
  EXPECT_TRUE(WaitUntil([this] { return IsRed(Pixel(ErrLamp)); }));
}

TEST_F(PinlarkWindow, CaptionToggleShowsPins) {
  const auto caption = Grab(D0Caption);
  const auto face = Grab(ToggleFace);
  ClickAt(CaptionToggle);
  EXPECT_TRUE(WaitUntil([&] { return !Same(Grab(D0Caption), caption); }));
  EXPECT_TRUE(WaitUntil([&] { return !Same(Grab(ToggleFace), face); }));
  ClickAt(CaptionToggle);
  // Back in name mode: "D0" reads as before.
  EXPECT_TRUE(WaitUntil([&] { return Same(Grab(D0Caption), caption); }));
}

TEST_F(PinlarkWindow, HoverShowsHelpAndHighlightsRegister) {
  const auto line = Grab(StatusLine);
  EXPECT_EQ(Count(RdLabel, IsLime), 0);
  MoveTo(DataLamp(5));
  EXPECT_TRUE(WaitUntil([&] { return !Same(Grab(StatusLine), line); }));
  EXPECT_TRUE(WaitUntil([&] { return Count(RdLabel, IsLime) > 0; }));
}

TEST_F(PinlarkWindow, TypedByteLightsItsBits) {
  // Without a window manager the keyboard follows the pointer, which stays on Edit1.
  ClickAt(Edit1Centre);
  Xdo("key ctrl+a");
  Xdo("type A5");
  ClickAt(Edit1Enter);
  for (int bit : {0, 2, 5, 7}) EXPECT_TRUE(WaitUntil([&] { return IsLime(Pixel(DataLamp(bit))); })) << bit;
  for (int bit : {1, 3, 4, 6}) EXPECT_FALSE(IsLime(Pixel(DataLamp(bit)))) << bit;
}

TEST_F(PinlarkWindow, CloseRequestEndsWithExitZero) {
  SendDeleteWindow();
  EXPECT_EQ(App->Wait(WaitLimit), 0) << "pinlark did not end cleanly";
}

TEST_F(PinlarkWindow, TerminationSignalEndsWithExitZero) {
  kill(App->Pid(), SIGTERM);
  EXPECT_EQ(App->Wait(WaitLimit), 0) << "pinlark did not end cleanly";
}

TEST(PinlarkWithoutDisplay, ReportsAndFails) {
  const std::string command = "DISPLAY=:987 " + ProgramDir() + "/pinlark 2>&1";
  const std::string out = RunOutput(command + "; echo \"exit=$?\"");
  EXPECT_NE(out.find("pinlark:"), std::string::npos) << out;
  EXPECT_EQ(out.find("exit=0"), std::string::npos) << out;
}

}  // namespace
