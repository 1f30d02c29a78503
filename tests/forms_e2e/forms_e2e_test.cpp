// Runs the e2e form program under Xvfb, clicks and types with xdotool, checks
// the screen's pixels, closes the window and checks the exit code and output.
#include <gtest/gtest.h>

#include "xserver.h"
// After gtest: Xlib's macros clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pinlark::testsupport;

const std::string WindowTitle = "Pinlark e2e";

class forms_e2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OnPath("Xvfb")) << "Xvfb is missing: run scripts/setup.sh (package xvfb)";
    ASSERT_TRUE(OnPath("xdotool")) << "xdotool is missing: run scripts/setup.sh (package xdotool)";
    Server_ = std::make_unique<TXvfb>("1024x768x24");
    DisplayName_ = Server_->DisplayName();
    ASSERT_FALSE(DisplayName_.empty()) << "Xvfb did not start";
    Dpy_ = XOpenDisplay(DisplayName_.c_str());
    ASSERT_NE(Dpy_, nullptr) << "cannot open " << DisplayName_;
  }
  void TearDown() override {
    if (Dpy_) XCloseDisplay(Dpy_);
    Server_.reset();
  }

  TChildOptions Options(const std::string& stdoutPath = "/dev/null") const {
    return TChildOptions().WithDisplay(DisplayName_).WithStdout(stdoutPath).WithStderr("/dev/null");
  }

  void Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    TChild tool(argv, Options());
    ASSERT_EQ(tool.Wait(10s), 0) << "xdotool " << args.front() << " failed";
  }

  Window FindWindow() {
    Window root = DefaultRootWindow(Dpy_), parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(Dpy_, root, &root, &parent, &children, &count)) return 0;
    const Atom netName = XInternAtom(Dpy_, "_NET_WM_NAME", False);
    for (unsigned i = 0; i < count && !found; ++i) {
      Atom type;
      int format;
      unsigned long items, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(Dpy_, children[i], netName, 0, 256, False, AnyPropertyType, &type, &format,
                             &items, &after, &data) == Success &&
          data) {
        if (std::string(reinterpret_cast<char*>(data), items) == WindowTitle) found = children[i];
        XFree(data);
      }
    }
    if (children) XFree(children);
    return found;
  }

  // Screen pixel as 0xRRGGBB.
  unsigned long ScreenPixel(int x, int y) {
    XImage* image = XGetImage(Dpy_, DefaultRootWindow(Dpy_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  }

  void SendClose(Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(Dpy_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(Dpy_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(Dpy_, w, False, NoEventMask, &e);
    XFlush(Dpy_);
  }

  std::string DisplayName_;
  std::unique_ptr<TXvfb> Server_;
  Display* Dpy_ = nullptr;
};

TEST_F(forms_e2e, ClickTypeCheckPixelsAndClose) {
  const std::string outPath = testing::TempDir() + "forms_e2e_out.txt";
  TChild app({E2E_APP}, Options(outPath));
  ASSERT_TRUE(app.Started());

  Window w = 0;
  ASSERT_TRUE(WaitUntil([&] {
    w = FindWindow();
    XWindowAttributes a;
    return w && XGetWindowAttributes(Dpy_, w, &a) && a.map_state == IsViewable;
  })) << "the form's window did not appear";

  // Fixed size, centred on the screen.
  XSizeHints hints;
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(Dpy_, w, &hints, &supplied));
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
  EXPECT_EQ(hints.min_width, 300);
  EXPECT_EQ(hints.max_width, 300);
  EXPECT_EQ(hints.max_height, 200);
  int ox = 0, oy = 0;
  Window child;
  XTranslateCoordinates(Dpy_, w, DefaultRootWindow(Dpy_), 0, 0, &ox, &oy, &child);
  EXPECT_EQ(ox, (1024 - 300) / 2);
  EXPECT_EQ(oy, (768 - 200) / 2);

  const int lampX = ox + 40, lampY = oy + 40;
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(lampX, lampY) == 0x008000; }))
      << std::hex << ScreenPixel(lampX, lampY);
  EXPECT_EQ(ScreenPixel(ox + 5, oy + 150), 0x404040u);

  Xdotool({"mousemove", "--sync", std::to_string(lampX), std::to_string(lampY), "click", "1"});
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(lampX, lampY) == 0xFF0000; }))
      << std::hex << ScreenPixel(lampX, lampY);

  Xdotool({"mousemove", "--sync", std::to_string(ox + 150), std::to_string(oy + 30), "click", "1"});
  Xdotool({"type", "--delay", "30", "ab1xyz"});
  // The label echoes the field in yellow.
  EXPECT_TRUE(WaitUntil([&] {
    for (int y = oy + 60; y < oy + 76; ++y) {
      for (int x = ox + 100; x < ox + 140; ++x) {
        if (ScreenPixel(x, y) == 0xFFFF00) return true;
      }
    }
    return false;
  }));

  // Copy from the first field, paste into the second.
  Xdotool({"key", "--delay", "30", "ctrl+a", "ctrl+c"});
  Xdotool({"mousemove", "--sync", std::to_string(ox + 150), std::to_string(oy + 110), "click", "1"});
  Xdotool({"key", "ctrl+v"});

  // A double click on the lamp: two more presses, one of them a double click.
  Xdotool({"mousemove", "--sync", std::to_string(lampX), std::to_string(lampY), "click", "--repeat", "2",
           "--delay", "80", "1"});
  std::this_thread::sleep_for(300ms);

  SendClose(w);
  EXPECT_EQ(app.Wait(10s), 0);
  std::ifstream out(outPath);
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_NE(text.str().find("edit=AB1XY\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("edit2=AB1XY\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("\nclicks=3\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("dblclicks=1\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("ticking=1\n"), std::string::npos) << text.str();
}

// No server of our own: nothing listens on :199 here.
TEST(forms_e2e_headless, NoDisplayGivesAClearError) {
  const std::string outPath = testing::TempDir() + "forms_e2e_nodisplay.txt";
  TChild app({"/bin/sh", "-c", std::string("DISPLAY=:199 ") + E2E_APP + " 2>&1"},
             TChildOptions().WithStdout(outPath));
  EXPECT_EQ(app.Wait(10s), 1);
  std::ifstream out(outPath);
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_NE(text.str().find("cannot open X display ':199': set DISPLAY or run under Xvfb"), std::string::npos)
      << text.str();
}

}  // namespace
