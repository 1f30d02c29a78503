// The test's own view of an X server: finds the windows a program opened,
// reads their pixels and properties, does what a window manager or a user
// would (close requests, resources, xdotool input), and waits on conditions.
// No Xlib header leaks out of here, so tests keep gtest's names intact.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct _XDisplay;

namespace pinlark::testsupport {

using TWindowId = unsigned long;

struct TRgb {
  int R = 0, G = 0, B = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};
std::string ToString(const TRgb& c);
inline void PrintTo(const TRgb& c, std::ostream* out) { *out << ToString(c); }

struct TPoint {
  int X = 0, Y = 0;
};

// A half-open rectangle in window coordinates.
struct TArea {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TGeometry {
  int X = 0, Y = 0;  // origin on the screen
  int Width = 0, Height = 0;
};

struct TSizeLimits {
  bool Fixed = false;  // both a minimum and a maximum size given
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};

// Runs xdotool on `display` and waits for it; true when it succeeded.
bool Xdotool(const std::string& display, const std::vector<std::string>& args);

class TXClient {
 public:
  explicit TXClient(const std::string& displayName);
  ~TXClient();
  TXClient(const TXClient&) = delete;
  TXClient& operator=(const TXClient&) = delete;

  bool Connected() const { return Dpy_ != nullptr; }
  const std::string& DisplayName() const { return Name_; }

  // Top-level windows titled exactly `title` (UTF-8 name), oldest first.
  std::vector<TWindowId> Windows(const std::string& title);
  // The first such window that is mapped, or 0.
  TWindowId FindWindow(const std::string& title);
  // Waits until a window titled `title` is on screen; 0 when none came.
  TWindowId WaitForWindow(const std::string& title,
                          std::chrono::milliseconds limit = std::chrono::seconds(20));
  bool Exists(TWindowId w);

  std::optional<TGeometry> Geometry(TWindowId w);
  std::optional<TSizeLimits> SizeLimits(TWindowId w);
  // WM_CLASS as {res_name, res_class}.
  std::optional<std::pair<std::string, std::string>> ClassHint(TWindowId w);
  TWindowId TransientFor(TWindowId w);
  // Whether the atom property `property` of w lists `atom`.
  bool ListsAtom(TWindowId w, const std::string& property, const std::string& atom);

  // Pixels of a window (row after row) or of the screen.
  std::vector<TRgb> Grab(TWindowId w, TArea a);
  TRgb Pixel(TWindowId w, int x, int y);
  TRgb ScreenPixel(int x, int y);

  // What the window manager sends when the user clicks a window's close button.
  void SendDeleteWindow(TWindowId w);
  // Asks the server to tell w that the area lost its contents (an Expose).
  void RequestExpose(TWindowId w, TArea a);
  // Replaces the screen's resource database, as `xrdb -load` does.
  void SetResources(const std::string& text);
  // Puts each character the keymap lacks on a spare keycode for good, so
  // xdotool types it without rebinding a key per character: a client that
  // reads its key events late would otherwise look them up in the map as
  // it was after the rebinding was undone. False when no keycode is free.
  bool MapCharacters(std::u32string_view chars);

 private:
  std::string Name_;
  _XDisplay* Dpy_ = nullptr;
};

}  // namespace pinlark::testsupport
