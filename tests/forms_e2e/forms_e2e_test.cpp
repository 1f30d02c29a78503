// Runs the e2e form program under Xvfb, clicks and types with xdotool, checks
// the screen's pixels, closes the window and checks the exit code and output.
#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

const std::string WindowTitle = "Pinlark e2e";

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string full = dir + "/" + name;
    if (access(full.c_str(), X_OK) == 0) return full;
  }
  return "";
}

// A child process, killed and reaped when it goes out of scope.
class TChild {
 public:
  TChild(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
         const std::string& stdoutPath = "/dev/null") {
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> a, en;
    for (auto& s : const_cast<std::vector<std::string>&>(argv)) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : env) en.push_back(s.data());
    en.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&Pid_, a[0], &actions, nullptr, a.data(), en.data()) != 0) Pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TChild() {
    if (Pid_ <= 0) return;
    kill(Pid_, SIGTERM);
    waitpid(Pid_, nullptr, 0);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;
  bool Started() const { return Pid_ > 0; }
  // Exit status, or -1 when it has not ended within `limit`.
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(Pid_, &status, WNOHANG) == Pid_) {
        Pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

 private:
  pid_t Pid_ = -1;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return condition();
}

int FreeDisplayNumber() {
  for (int n = 73; n < 200; ++n) {
    struct stat st;
    if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) != 0 &&
        stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) != 0) {
      return n;
    }
  }
  return -1;
}

class forms_e2e : public ::testing::Test {
 protected:
  void SetUp() override {
    Xvfb_ = FindProgram("Xvfb");
    Xdotool_ = FindProgram("xdotool");
    ASSERT_FALSE(Xvfb_.empty()) << "Xvfb is missing: run scripts/setup.sh (package xvfb)";
    ASSERT_FALSE(Xdotool_.empty()) << "xdotool is missing: run scripts/setup.sh (package xdotool)";
    const int n = FreeDisplayNumber();
    ASSERT_GE(n, 0) << "no free X display number";
    DisplayName_ = ":" + std::to_string(n);
    Server_ = std::make_unique<TChild>(
        std::vector<std::string>{Xvfb_, DisplayName_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        std::vector<std::string>{});
    ASSERT_TRUE(Server_->Started());
    ASSERT_TRUE(WaitFor([&] { return (Dpy_ = XOpenDisplay(DisplayName_.c_str())) != nullptr; }, 10s))
        << "Xvfb did not come up on " << DisplayName_;
  }
  void TearDown() override {
    if (Dpy_) XCloseDisplay(Dpy_);
    Server_.reset();
  }

  std::vector<std::string> Env() const { return {"DISPLAY=" + DisplayName_}; }

  void Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{Xdotool_};
    argv.insert(argv.end(), args.begin(), args.end());
    TChild tool(argv, Env());
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
      if (XGetWindowProperty(Dpy_, children[i], netName, 0, 256, False, AnyPropertyType, &type, &format, &items,
                             &after, &data) == Success && data) {
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

  std::string Xvfb_, Xdotool_, DisplayName_;
  std::unique_ptr<TChild> Server_;
  Display* Dpy_ = nullptr;
};

TEST_F(forms_e2e, ClickTypeCheckPixelsAndClose) {
  const std::string outPath = testing::TempDir() + "forms_e2e_out.txt";
  TChild app({E2E_APP}, Env(), outPath);
  ASSERT_TRUE(app.Started());

  Window w = 0;
  ASSERT_TRUE(WaitFor([&] {
    w = FindWindow();
    XWindowAttributes a;
    return w && XGetWindowAttributes(Dpy_, w, &a) && a.map_state == IsViewable;
  }, 15s)) << "the form's window did not appear";

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
  EXPECT_TRUE(WaitFor([&] { return ScreenPixel(lampX, lampY) == 0x008000; }, 5s))
      << std::hex << ScreenPixel(lampX, lampY);
  EXPECT_EQ(ScreenPixel(ox + 5, oy + 150), 0x404040u);

  Xdotool({"mousemove", "--sync", std::to_string(lampX), std::to_string(lampY), "click", "1"});
  EXPECT_TRUE(WaitFor([&] { return ScreenPixel(lampX, lampY) == 0xFF0000; }, 5s))
      << std::hex << ScreenPixel(lampX, lampY);

  Xdotool({"mousemove", "--sync", std::to_string(ox + 150), std::to_string(oy + 30), "click", "1"});
  Xdotool({"type", "--delay", "30", "ab1xyz"});
  // The label echoes the field in yellow.
  EXPECT_TRUE(WaitFor([&] {
    for (int y = oy + 60; y < oy + 76; ++y) {
      for (int x = ox + 100; x < ox + 140; ++x) {
        if (ScreenPixel(x, y) == 0xFFFF00) return true;
      }
    }
    return false;
  }, 5s));

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

TEST_F(forms_e2e, NoDisplayGivesAClearError) {
  const std::string outPath = testing::TempDir() + "forms_e2e_nodisplay.txt";
  TChild app({"/bin/sh", "-c", std::string("DISPLAY=:199 ") + E2E_APP + " 2>&1"}, {}, outPath);
  EXPECT_EQ(app.Wait(10s), 1);
  std::ifstream out(outPath);
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_NE(text.str().find("cannot open X display ':199': set DISPLAY or run under Xvfb"), std::string::npos)
      << text.str();
}

}  // namespace
