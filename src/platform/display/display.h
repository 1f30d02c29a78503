// Window backends: what the form framework needs from a window system.
// Deliberately independent of the framework's own types.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace display {

struct Rect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// 0x00RRGGBB pixels, row after row.
struct PixelView {
  const std::uint32_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Stride = 0;  // pixels per row
};

enum class Button { Left, Right, Middle };

// Modifier and button bits (same values as the framework's shift flags).
enum Modifier : unsigned {
  ModShift = 1u << 0,
  ModAlt = 1u << 1,
  ModCtrl = 1u << 2,
  ModLeft = 1u << 3,
  ModRight = 1u << 4,
  ModMiddle = 1u << 5,
};

// What a window reports to its owner. Coordinates are client coordinates of
// the frame the owner draws, whatever scale the backend presents it at.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void MouseButton(Button button, bool pressed, bool doubleClick, unsigned mods, int x, int y) = 0;
  virtual void MouseMove(unsigned mods, int x, int y) = 0;
  virtual void MouseLeave() = 0;
  // Virtual-key codes (VK_*), and characters typed, separately.
  virtual void Key(std::uint16_t virtualKey, bool pressed, unsigned mods) = 0;
  virtual void Char(char32_t ch) = 0;
  virtual void CloseRequest() = 0;
  virtual void FocusChanged(bool focused) = 0;
  // The window system lost what was presented in r: present it again.
  virtual void Exposed(Rect r) = 0;
};

struct WindowParams {
  std::string Title;  // UTF-8
  int ClientWidth = 0;
  int ClientHeight = 0;
  bool Resizable = false;
  bool Maximizable = false;
  bool Minimizable = true;
  bool Centered = true;  // else Left/Top
  int Left = 0;
  int Top = 0;
  bool Dialog = false;  // a transient (message box) window
  class Window* Owner = nullptr;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetIcon(PixelView icon) = 0;
  // Copies the damaged rectangles of frame to the screen.
  virtual void Present(PixelView frame, std::span<const Rect> damage) = 0;
  // Screen pixels handed to the window system so far (a scaled window counts
  // each block whole): tests and benchmarks read what presenting costs.
  virtual std::uint64_t UploadedPixels() const = 0;
};

class DisplayError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Display {
 public:
  virtual ~Display() = default;
  virtual std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowEvents* events) = 0;
  // Delivers pending events; when there are none, waits for one, a Wake(),
  // or until `timeout` (nullopt: no limit) passes.
  virtual void WaitEvents(std::optional<std::chrono::nanoseconds> timeout) = 0;
  // Thread-safe: makes a waiting WaitEvents return.
  virtual void Wake() = 0;
  // The clock timers run on (virtual in the headless backend).
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  virtual std::string ClipboardText() = 0;
  virtual int ScreenWidth() const = 0;
  virtual int ScreenHeight() const = 0;
  // Double-click detection limits.
  virtual std::chrono::milliseconds DoubleClickTime() const { return std::chrono::milliseconds(500); }
  // What the owner's loop does on each turn besides waiting here (sent work,
  // due timers, painting). A window system that runs loops of its own, where
  // the owner's cannot turn (Windows' menu and move loops), runs it from
  // there. Empty: nothing.
  virtual void SetLoopWork(std::function<void()> work) { (void)work; }
};

// The platform's window system. Throws DisplayError with a message a user can
// act on when no display can be opened.
std::unique_ptr<Display> CreateDefaultDisplay();

}  // namespace display
