// A display without a screen, for tests, snapshots and benchmarks: input is
// injected, presented pixels are kept and can be read back, and time is
// virtual (waiting advances the clock instead of sleeping).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "display.h"

namespace display {

class HeadlessWindow;

class HeadlessDisplay : public Display {
 public:
  HeadlessDisplay(int screenWidth = 1024, int screenHeight = 768);
  ~HeadlessDisplay() override;

  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowEvents* events) override;
  void WaitEvents(std::optional<std::chrono::nanoseconds> timeout) override;
  void Wake() override;
  std::chrono::steady_clock::time_point Now() override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  int ScreenWidth() const override { return ScreenWidth_; }
  int ScreenHeight() const override { return ScreenHeight_; }

  // Virtual time (default). With it off, waiting really sleeps.
  void SetVirtualTime(bool on) { VirtualTime_ = on; }
  void Advance(std::chrono::nanoseconds d);

  // Windows created and still alive, oldest first.
  std::vector<HeadlessWindow*> Windows() const;
  HeadlessWindow* FindWindow(const std::string& title) const;

 private:
  friend class HeadlessWindow;
  int ScreenWidth_;
  int ScreenHeight_;
  bool VirtualTime_ = true;
  std::chrono::steady_clock::time_point VirtualNow_;
  std::vector<HeadlessWindow*> Windows_;
  std::string Clipboard_;
  std::mutex WakeMutex_;
  bool Woken_ = false;
  std::condition_variable_any WakeCv_;
};

class HeadlessWindow : public Window {
 public:
  HeadlessWindow(HeadlessDisplay& display, const WindowParams& params, WindowEvents* events);
  ~HeadlessWindow() override;

  void Show() override { Visible_ = true; }
  void Hide() override { Visible_ = false; }
  bool Visible() const override { return Visible_; }
  void SetTitle(const std::string& title) override { Params_.Title = title; }
  void SetIcon(PixelView icon) override;
  void Present(PixelView frame, std::span<const Rect> damage) override;
  std::uint64_t UploadedPixels() const override { return PresentedCount_; }

  const WindowParams& Params() const { return Params_; }
  const std::string& Title() const { return Params_.Title; }
  // Presented pixel (0x00RRGGBB) at client (x, y).
  std::uint32_t PixelAt(int x, int y) const;
  int Width() const { return Params_.ClientWidth; }
  int Height() const { return Params_.ClientHeight; }
  const std::vector<std::uint32_t>& Presented() const { return Pixels_; }
  const std::vector<std::uint32_t>& IconPixels() const { return Icon_; }

  // Input, delivered at once to the window's owner (client coordinates).
  void MouseMove(int x, int y, unsigned mods = 0);
  void MouseLeave();  // the pointer left the window
  void MouseDown(int x, int y, Button b = Button::Left, unsigned mods = 0, bool doubleClick = false);
  void MouseUp(int x, int y, Button b = Button::Left, unsigned mods = 0);
  void Click(int x, int y, Button b = Button::Left);  // move, press, release
  void DoubleClick(int x, int y);                     // press, release, double press, release
  void KeyDown(std::uint16_t vk, unsigned mods = 0);
  void KeyUp(std::uint16_t vk, unsigned mods = 0);
  void Type(const std::string& utf8);  // one Char per code point (key events for control codes)
  void RequestClose();

 private:
  HeadlessDisplay& Display_;
  WindowParams Params_;
  WindowEvents* Events_;
  bool Visible_ = false;
  std::vector<std::uint32_t> Pixels_;
  std::vector<std::uint32_t> Icon_;
  std::uint64_t PresentedCount_ = 0;
};

}  // namespace display
