#include "headless.h"

#include <algorithm>
#include <thread>

#include "../display.h"
#include "utf8.h"

namespace display {

HeadlessDisplay::HeadlessDisplay(int screenWidth, int screenHeight)
    : ScreenWidth_(screenWidth),
      ScreenHeight_(screenHeight),
      // Any fixed point will do; starting away from zero keeps "now - interval" meaningful.
      VirtualNow_(std::chrono::steady_clock::time_point(std::chrono::hours(1))) {}

HeadlessDisplay::~HeadlessDisplay() = default;

std::unique_ptr<Window> HeadlessDisplay::CreateWindow(const WindowParams& params, WindowEvents* events) {
  return std::make_unique<HeadlessWindow>(*this, params, events);
}

void HeadlessDisplay::WaitEvents(std::optional<std::chrono::nanoseconds> timeout) {
  std::unique_lock lock(WakeMutex_);
  if (Woken_) {
    Woken_ = false;
    return;
  }
  if (VirtualTime_ && timeout) {
    VirtualNow_ += *timeout;
    return;
  }
  // Nothing can arrive but a wake from another thread; don't hang forever on it.
  const auto limit = timeout ? std::min(*timeout, std::chrono::nanoseconds(std::chrono::milliseconds(50)))
                             : std::chrono::nanoseconds(std::chrono::milliseconds(50));
  WakeCv_.wait_for(lock, limit, [&] { return Woken_; });
  Woken_ = false;
}

void HeadlessDisplay::Wake() {
  {
    std::lock_guard lock(WakeMutex_);
    Woken_ = true;
  }
  WakeCv_.notify_all();
}

std::chrono::steady_clock::time_point HeadlessDisplay::Now() {
  if (!VirtualTime_) return std::chrono::steady_clock::now();
  std::lock_guard lock(WakeMutex_);
  return VirtualNow_;
}

void HeadlessDisplay::Advance(std::chrono::nanoseconds d) {
  std::lock_guard lock(WakeMutex_);
  VirtualNow_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(d);
}

void HeadlessDisplay::SetClipboardText(const std::string& text) { Clipboard_ = text; }
std::string HeadlessDisplay::ClipboardText() { return Clipboard_; }

std::vector<HeadlessWindow*> HeadlessDisplay::Windows() const { return Windows_; }

HeadlessWindow* HeadlessDisplay::FindWindow(const std::string& title) const {
  for (HeadlessWindow* w : Windows_) {
    if (w->Title() == title) return w;
  }
  return nullptr;
}

HeadlessWindow::HeadlessWindow(HeadlessDisplay& display, const WindowParams& params, WindowEvents* events)
    : Display_(display),
      Params_(params),
      Events_(events),
      Pixels_(std::size_t(std::max(params.ClientWidth, 0)) * std::size_t(std::max(params.ClientHeight, 0))) {
  Display_.Windows_.push_back(this);
}

HeadlessWindow::~HeadlessWindow() { std::erase(Display_.Windows_, this); }

void HeadlessWindow::SetIcon(PixelView icon) {
  Icon_.clear();
  for (int y = 0; y < icon.Height; ++y) {
    const std::uint32_t* row = icon.Pixels + std::size_t(y) * std::size_t(icon.Stride);
    Icon_.insert(Icon_.end(), row, row + icon.Width);
  }
}

void HeadlessWindow::Present(PixelView frame, std::span<const Rect> damage) {
  const int w = std::min(frame.Width, Width());
  const int h = std::min(frame.Height, Height());
  for (const Rect& r : damage) {
    const int left = std::max(r.Left, 0), right = std::min(r.Right, w);
    const int top = std::max(r.Top, 0), bottom = std::min(r.Bottom, h);
    if (left >= right || top >= bottom) continue;
    for (int y = top; y < bottom; ++y) {
      const std::uint32_t* from = frame.Pixels + std::size_t(y) * std::size_t(frame.Stride);
      std::copy(from + left, from + right, Pixels_.begin() + std::ptrdiff_t(y) * Width() + left);
    }
    PresentedCount_ += std::uint64_t(right - left) * std::uint64_t(bottom - top);
  }
}

std::uint32_t HeadlessWindow::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  return Pixels_[std::size_t(y) * std::size_t(Width()) + std::size_t(x)];
}

void HeadlessWindow::MouseMove(int x, int y, unsigned mods) { Events_->MouseMove(mods, x, y); }

void HeadlessWindow::MouseLeave() { Events_->MouseLeave(); }

void HeadlessWindow::MouseDown(int x, int y, Button b, unsigned mods, bool doubleClick) {
  Events_->MouseButton(b, true, doubleClick, mods, x, y);
}

void HeadlessWindow::MouseUp(int x, int y, Button b, unsigned mods) {
  Events_->MouseButton(b, false, false, mods, x, y);
}

void HeadlessWindow::Click(int x, int y, Button b) {
  MouseMove(x, y);
  MouseDown(x, y, b);
  MouseUp(x, y, b);
}

void HeadlessWindow::DoubleClick(int x, int y) {
  MouseMove(x, y);
  MouseDown(x, y);
  MouseUp(x, y);
  MouseDown(x, y, Button::Left, 0, true);
  MouseUp(x, y);
}

void HeadlessWindow::KeyDown(std::uint16_t vk, unsigned mods) { Events_->Key(vk, true, mods); }
void HeadlessWindow::KeyUp(std::uint16_t vk, unsigned mods) { Events_->Key(vk, false, mods); }

void HeadlessWindow::Type(const std::string& utf8) {
  for (char32_t ch : platform::Utf8Decode(utf8)) {
    // Control characters come with their key, as a keyboard sends them.
    const bool control = ch < 0x20;
    if (control) Events_->Key(std::uint16_t(ch), true, 0);
    Events_->Char(ch);
    if (control) Events_->Key(std::uint16_t(ch), false, 0);
  }
}

void HeadlessWindow::RequestClose() { Events_->CloseRequest(); }

}  // namespace display
