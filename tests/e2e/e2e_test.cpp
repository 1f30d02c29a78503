// End to end: the real pinlark on the simulated port under Xvfb, driven by
// xdotool, checked through the pixels and properties of its windows.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pinlark_window.h"
#include "window_user.h"
#include "xserver.h"

namespace {

using namespace std::chrono_literals;
using namespace pinlark::testsupport;

constexpr auto WaitLimit = 20s;  // a bound on waiting for a busy machine, not a speed check

std::string SignalName(int signal) {
  switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "signal" + std::to_string(signal);
  }
}

std::string ProgramDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

// A private X server, a connection of our own to it, and pinlark started on it
// with its stderr kept in a private folder.
class PinlarkSession : public ::testing::Test {
 protected:
  void SetUp() override {
    Session = std::make_unique<TXSession>(Screen);
    ASSERT_EQ(Session->Problem(), "");
    X = &Session->X();
  }

  // The simulated port, whatever ports this machine has.
  void Launch(const std::string& program = ProgramDir() + "/pinlark",
              const std::vector<std::string>& env = {}) {
    TChildOptions options = TChildOptions()
                                .WithDisplay(Session->DisplayName())
                                .WithStderr(StderrPath())
                                .WithEnv("LPTWDMIO_BACKEND=simulated");
    for (const std::string& e : env) options.WithEnv(e);
    App = std::make_unique<TChild>(std::vector<std::string>{program}, options);
    ASSERT_TRUE(App->Started());
  }

  // A window of the program, or 0 (and a failure) when it ended first.
  TWindowId WaitForWindow(const std::string& title) { return WaitForWindowOf(*App, *X, title, WaitLimit); }
  TWindowUser UserAt(TWindowId w) { return TWindowUser(*X, w, WaitLimit); }

  // lptctl with args, to its end; its exit code, or -1 when it did not end.
  int Lptctl(std::vector<std::string> args) {
    args.insert(args.begin(), ProgramDir() + "/lptctl");
    TChild lptctl(args, TChildOptions().WithStdout("/dev/null").WithStderr(Temp.Path() + "/lptctl.txt"));
    return lptctl.Wait(WaitLimit).value_or(-1);
  }

  std::string StderrPath() const { return Temp.Path() + "/stderr.txt"; }
  std::string Stderr() const { return ReadFile(StderrPath()); }
  // Stderr without the driver module's one notice that it simulates the
  // ports (these runs ask it to): what is left is the program's own.
  std::string ProgramStderr() const {
    std::istringstream all(Stderr());
    std::string line, rest;
    while (std::getline(all, line))
      if (line.rfind(SimulationNotice, 0) != 0) rest += line + "\n";
    return rest;
  }
  static constexpr const char* SimulationNotice = "lptwdmio: simulating ";

  std::string Screen = "800x600x24";
  TTempDir Temp;
  std::unique_ptr<TXSession> Session;
  TXClient* X = nullptr;
  std::unique_ptr<TChild> App;
};

// pinlark started and polling: the connection lamp is lit.
class PinlarkWindow : public PinlarkSession {
 protected:
  void SetUp() override {
    PinlarkSession::SetUp();
    if (!HasFatalFailure()) StartPinlark();
  }
  void StartPinlark() {
    Launch();
    Win = UserAt(WaitForWindow(MainTitle));
    ASSERT_NE(Win.Id(), 0u);
    ASSERT_TRUE(Win.WaitFor(ConnectionLamp, IsLime)) << "no successful poll";
  }

  // Types into Edit3 (which takes any character) and writes it: "g" fails the conversion.
  TWindowId OpenConversionErrorBox() {
    Win.ClickAt(Edit3Centre);
    Win.Xdo({"key", "ctrl+a"});
    Win.Xdo({"type", "g"});
    Win.ClickAt(Edit3Enter);
    return WaitForWindow(ErrorBoxTitle);
  }

  TWindowUser Win;
};

TEST_F(PinlarkWindow, StartupLook) {
  ExpectStartupLook(Win);
  // The simulation is said once, never passed off as hardware.
  const std::string err = Stderr();
  EXPECT_EQ(err.find(SimulationNotice), 0u) << err;
  EXPECT_EQ(err.find(SimulationNotice, 1), std::string::npos) << err;
}

TEST_F(PinlarkWindow, D0LightsErrThroughLoopback) { ExpectD0LightsErr(Win); }

// The far end of LPT2's cable, driven by another program while the window
// holds the port: the ACK lamp follows at the next poll.
TEST_F(PinlarkWindow, TheFarSideOfLpt2MovesItsStatusLamps) {
  Win.ClickAt(PortLamp(1));
  ASSERT_TRUE(Win.WaitFor(PortLamp(1), IsLime));
  const TPoint ack = StatusLamp(3);
  ASSERT_TRUE(Win.WaitFor(ack, IsRed));  // nothing attached: the input floats high
  EXPECT_EQ(Lptctl({"sim", "LPT2", "ACK=0"}), 0);
  EXPECT_TRUE(Win.WaitFor(ack, [](TRgb c) { return !IsRed(c); }));
  EXPECT_EQ(Lptctl({"sim", "LPT2", "ACK=float"}), 0);
  EXPECT_TRUE(Win.WaitFor(ack, IsRed));
}

TEST_F(PinlarkWindow, CaptionToggleShowsPins) { ExpectCaptionToggleShowsPins(Win); }

TEST_F(PinlarkWindow, HoverShowsHelpAndHighlightsRegister) { ExpectHoverHelp(Win); }

TEST_F(PinlarkWindow, TypedByteLightsItsBits) { ExpectTypedByteLightsItsBits(Win); }

TEST_F(PinlarkWindow, WindowClassNamesTheProgram) {
  EXPECT_EQ(X->ClassHint(Win.Id()), std::make_pair(std::string("pinlark"), std::string("Pinlark")));
}

TEST_F(PinlarkWindow, ConversionErrorBoxBlocksTheWindowUntilClosed) {
  const TWindowId box = OpenConversionErrorBox();
  ASSERT_NE(box, 0u);
  EXPECT_EQ(X->TransientFor(box), Win.Id());
  EXPECT_TRUE(X->ListsAtom(box, "_NET_WM_STATE", "_NET_WM_STATE_MODAL"));
  Win.ClickAt(DataLamp(7));  // beside the box: must not light
  Win.ClickAt(Edit3Enter);   // the failing write again: must not open a second box
  X->SendDeleteWindow(box);
  // Input is handled in order: once the box is gone, both clicks have been seen.
  ASSERT_TRUE(WaitUntil([&] { return X->Windows(ErrorBoxTitle).empty(); }, WaitLimit));
  EXPECT_FALSE(IsLime(Win.Pixel(DataLamp(7))));
  EXPECT_TRUE(X->Windows(ErrorBoxTitle).empty()) << "a second box opened behind the first";
  // The window takes input again.
  Win.ClickAt(DataLamp(7));
  EXPECT_TRUE(Win.WaitFor(DataLamp(7), IsLime));
}

TEST_F(PinlarkWindow, CloseRequestEndsWithExitZero) {
  X->SendDeleteWindow(Win.Id());
  EXPECT_EQ(App->Wait(WaitLimit), 0) << "pinlark did not end cleanly";
}

TEST_F(PinlarkWindow, TerminationSignalEndsWithExitZero) {
  EXPECT_EQ(App->Stop(SIGTERM, WaitLimit), 0) << "pinlark did not end cleanly";
}

// Every port held by other programs: start-up stops with its box, naming
// the cause, instead of opening a window without ports.
TEST_F(PinlarkSession, EveryPortHeldElsewhereStopsTheStartUp) {
  std::vector<std::unique_ptr<TChild>> holders;
  for (const char* port : {"LPT1", "LPT2"}) {
    const std::string err = Temp.Path() + "/" + port + ".txt";
    holders.push_back(
        std::make_unique<TChild>(std::vector<std::string>{ProgramDir() + "/lptctl", "watch", port},
                                 TChildOptions().WithStdout("/dev/null").WithStderr(err)));
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(err).find("Ctrl+C ends") != std::string::npos; }, WaitLimit))
        << ReadFile(err);
  }
  Launch();
  ASSERT_NE(WaitForWindow(StartupBoxTitle), 0u);
}

TEST(PinlarkWithoutDisplay, ReportsAndFails) {
  TTempDir temp;
  const std::string out = temp.Path() + "/out.txt";
  TChild app({ProgramDir() + "/pinlark"}, TChildOptions().WithDisplay(":987").WithStderr(out));
  const std::optional<int> code = app.Wait(WaitLimit);
  ASSERT_TRUE(code.has_value());
  EXPECT_NE(*code, 0);
  EXPECT_NE(ReadFile(out).find("pinlark:"), std::string::npos) << ReadFile(out);
}

// SIGINT, SIGTERM and SIGHUP end pinlark in order whatever it is doing: exit
// code 0 and nothing on stderr.
class PinlarkSignal : public PinlarkWindow, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override { PinlarkSession::SetUp(); }  // each case starts pinlark its own way

  void ExpectOrderlyEndOnSignal() {
    ASSERT_FALSE(App->Exited()) << "pinlark ended before the signal";
    EXPECT_EQ(App->Stop(GetParam(), WaitLimit), 0)
        << "pinlark did not end cleanly on " << SignalName(GetParam());
    EXPECT_EQ(ProgramStderr(), "");
  }
};

TEST_P(PinlarkSignal, DuringTheStartupErrorBox) {
  // Without LPTWDMIO.SYS beside it the connection fails and start-up shows its box.
  const std::string program = Temp.Path() + "/pinlark";
  std::filesystem::copy_file(ProgramDir() + "/pinlark", program);
  Launch(program);
  ASSERT_NE(WaitForWindow(StartupBoxTitle), 0u);
  ExpectOrderlyEndOnSignal();
}

TEST_P(PinlarkSignal, DuringAConversionErrorBox) {
  ASSERT_NO_FATAL_FAILURE(StartPinlark());
  ASSERT_NE(OpenConversionErrorBox(), 0u);
  ExpectOrderlyEndOnSignal();
}

TEST_P(PinlarkSignal, WhileRunning) {
  ASSERT_NO_FATAL_FAILURE(StartPinlark());
  ExpectOrderlyEndOnSignal();
}

INSTANTIATE_TEST_SUITE_P(Signals, PinlarkSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) { return SignalName(info.param); });

// The window scales by a whole factor from Xft.dpi or PINLARK_SCALE; pinlark
// still lays out at 1x and a click lands on the control drawn under it.
struct TScaleCase {
  const char* Name;
  std::string Resources;  // the screen's resource database
  std::string Scale;      // PINLARK_SCALE, empty for none
  int Factor;
  bool Complains;  // one line on stderr about PINLARK_SCALE
};

void PrintTo(const TScaleCase& c, std::ostream* out) { *out << c.Name; }

class PinlarkScale : public PinlarkSession, public ::testing::WithParamInterface<TScaleCase> {
 protected:
  // Room for a window four times its size, so every pixel can be read back.
  PinlarkScale() { Screen = "1920x1200x24"; }
};

TEST_P(PinlarkScale, WindowAndInputFollowTheFactor) {
  const TScaleCase& c = GetParam();
  if (!c.Resources.empty()) X->SetResources(c.Resources);
  std::vector<std::string> env;
  if (!c.Scale.empty()) env.push_back("PINLARK_SCALE=" + c.Scale);
  Launch(ProgramDir() + "/pinlark", env);
  const TWindowUser win = UserAt(WaitForWindow(MainTitle));
  ASSERT_NE(win.Id(), 0u);
  const auto at = [&](TPoint p) { return TPoint{p.X * c.Factor, p.Y * c.Factor}; };
  const std::optional<TGeometry> size = X->Geometry(win.Id());
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->Width, 463 * c.Factor);
  EXPECT_EQ(size->Height, 170 * c.Factor);
  ASSERT_TRUE(win.WaitFor(at(ConnectionLamp), IsLime)) << "no successful poll";

  win.ClickAt(at(DataLamp(0)));
  EXPECT_TRUE(win.WaitFor(at(DataLamp(0)), IsLime));
  // Every screen pixel of the lamp's block shows the lamp.
  const TPoint last{at(DataLamp(0)).X + c.Factor - 1, at(DataLamp(0)).Y + c.Factor - 1};
  EXPECT_TRUE(IsLime(win.Pixel(last)));

  const std::string err = ProgramStderr();
  if (c.Complains) {
    EXPECT_NE(err.find("PINLARK_SCALE=" + c.Scale + " ignored"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  } else {
    EXPECT_EQ(err, "");
  }
}

INSTANTIATE_TEST_SUITE_P(HiDpi, PinlarkScale,
                         ::testing::Values(TScaleCase{"XftDpi192", "Xft.dpi:\t192\n", "", 2, false},
                                           TScaleCase{"PinlarkScale2", "", "2", 2, false},
                                           TScaleCase{"PinlarkScaleOverXftDpi", "Xft.dpi:\t192\n", "1", 1,
                                                      false},
                                           TScaleCase{"BadPinlarkScale", "Xft.dpi:\t96\n", "9", 1, true}),
                         [](const ::testing::TestParamInfo<TScaleCase>& info) { return info.param.Name; });

}  // namespace
