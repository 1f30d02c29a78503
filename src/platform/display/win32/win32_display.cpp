// The Win32 window backend: top-level windows presenting the framework's
// pixel surfaces with SetDIBitsToDevice on WM_PAINT.
#define NOUSER_OK
#define NOGDI_OK
#include "winapi_lean.h"
// display.h names a method so; the Windows macro would rename it here only.
#undef CreateWindow

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "../display.h"
#include "process_info.h"
#include "scaling.h"
#include "utf16.h"

namespace display {
namespace {

constexpr UINT WakeMessage = WM_APP + 1;
constexpr const wchar_t* WindowClass = L"PinlarkWindow";
constexpr const wchar_t* WakeClass = L"PinlarkWake";
// The program's icon in its resources (pinlark.rc), when it has one.
constexpr WORD ProgramIconId = 1;
// Another program may hold the clipboard for a moment.
constexpr int ClipboardTries = 20;
constexpr DWORD ClipboardRetryMs = 10;
// Not in every SDK's headers.
constexpr UINT DpiChangedMessage = 0x02E0;
constexpr DWORD TrackLeave = 0x00000002;
// While Windows runs a menu or move loop of its own, this window timer
// turns the owner's loop work instead (USER_TIMER_MINIMUM: as often as any).
constexpr UINT_PTR SystemLoopTimer = 1;
constexpr UINT SystemLoopPeriodMs = 10;

std::wstring Wide(std::string_view utf8) {
  const std::u16string units = ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

template <class T>
T Resolve(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  FARPROC proc = handle ? GetProcAddress(handle, name) : nullptr;
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(proc));
}

// Newer systems scale by monitor; older ones have one resolution for all.
void DeclareDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (auto set = Resolve<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
    // Per monitor (version 2, else 1). A manifest that declared it already makes this fail, harmlessly.
    if (set(reinterpret_cast<HANDLE>(-4)) || set(reinterpret_cast<HANDLE>(-3))) return;
  }
  if (auto set = Resolve<BOOL(WINAPI*)()>(L"user32.dll", "SetProcessDPIAware")) set();
}

UINT ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? UINT(dpi) : 96;
}

UINT DpiOf(HWND window) {
  static const auto get = Resolve<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
  if (get) {
    if (const UINT dpi = get(window)) return dpi;
  }
  return ScreenDpi();
}

// The outer size of a window whose client area is `width` x `height`.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto adjust =
      Resolve<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>(L"user32.dll", "AdjustWindowRectExForDpi");
  RECT r{0, 0, width, height};
  if (!adjust || !adjust(&r, style, FALSE, exStyle, dpi)) AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return {r.right - r.left, r.bottom - r.top};
}

std::string ProgramName() {
  const std::string name = platform::ProgramName();
  return name.empty() ? "pinlark" : name;
}

int SignedLow(LPARAM v) { return int(short(LOWORD(v))); }
int SignedHigh(LPARAM v) { return int(short(HIWORD(v))); }

bool KeyDown(int vk) { return GetKeyState(vk) < 0; }

unsigned KeyMods() {
  unsigned m = 0;
  if (KeyDown(VK_SHIFT)) m |= ModShift;
  if (KeyDown(VK_CONTROL)) m |= ModCtrl;
  if (KeyDown(VK_MENU)) m |= ModAlt;
  return m;
}

unsigned MouseMods(WPARAM keys) {
  unsigned m = KeyMods();
  if (keys & MK_LBUTTON) m |= ModLeft;
  if (keys & MK_RBUTTON) m |= ModRight;
  if (keys & MK_MBUTTON) m |= ModMiddle;
  return m;
}

unsigned ButtonBit(Button b) {
  switch (b) {
    case Button::Right: return ModRight;
    case Button::Middle: return ModMiddle;
    default: return ModLeft;
  }
}

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// 0x00RRGGBB pixels are what a 32-bit DIB holds (blue, green, red, unused
// bytes on a little-endian machine), so frames go up as they are.
HICON IconFrom(PixelView icon) {
  BITMAPINFO info = TopDown32(icon.Width, icon.Height);
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (int y = 0; y < icon.Height; ++y) {
    for (int x = 0; x < icon.Width; ++x)
      out[std::size_t(y) * std::size_t(icon.Width) + std::size_t(x)] =
          0xFF000000u | icon.Pixels[std::size_t(y) * std::size_t(icon.Stride) + std::size_t(x)];
  }
  // Every pixel opaque: the mask is all zeros.
  const std::vector<std::uint8_t> zeros(std::size_t((icon.Width + 15) / 16 * 2) * std::size_t(icon.Height),
                                        0);
  HBITMAP mask = CreateBitmap(icon.Width, icon.Height, 1, 1, zeros.data());
  ICONINFO parts{TRUE, 0, 0, mask, color};
  HICON handle = mask ? CreateIconIndirect(&parts) : nullptr;
  if (mask) DeleteObject(mask);
  DeleteObject(color);
  return handle;
}

struct TIconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using TIcon = std::unique_ptr<std::remove_pointer_t<HICON>, TIconDeleter>;

class TOpenClipboard {
 public:
  explicit TOpenClipboard(HWND owner) {
    for (int i = 0; i < ClipboardTries && !Open_; ++i) {
      Open_ = OpenClipboard(owner) != FALSE;
      if (!Open_) Sleep(ClipboardRetryMs);
    }
  }
  ~TOpenClipboard() {
    if (Open_) CloseClipboard();
  }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;
  bool Open() const { return Open_; }

 private:
  bool Open_ = false;
};

class Win32Window;

class Win32Display : public Display {
 public:
  Win32Display();
  ~Win32Display() override;

  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowEvents* events) override;
  void WaitEvents(std::optional<std::chrono::nanoseconds> timeout) override;
  void Wake() override;
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  // The framework lays out at 1x: the screen it sees is the real one divided by the scale.
  int ScreenWidth() const override { return GetSystemMetrics(SM_CXSCREEN) / ScreenScale(); }
  int ScreenHeight() const override { return GetSystemMetrics(SM_CYSCREEN) / ScreenScale(); }
  std::chrono::milliseconds DoubleClickTime() const override {
    return std::chrono::milliseconds(GetDoubleClickTime());
  }
  void SetLoopWork(std::function<void()> work) override { LoopWork_ = std::move(work); }
  // From a system loop's timer; never nested.
  void RunLoopWork();

  HINSTANCE Instance() const { return Instance_; }
  bool HasProgramIcon() const { return HasProgramIcon_; }
  // The factor for a window showing at `dpi`.
  int ScaleFor(UINT dpi) const { return ScaleOverride_ ? ScaleOverride_ : ScaleForDpi(double(dpi)); }
  const std::string& Program() const { return Program_; }

 private:
  static LRESULT CALLBACK WakeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool DispatchPending();
  int ScreenScale() const { return ScaleFor(ScreenDpi()); }

  std::string Program_;
  HINSTANCE Instance_;
  bool HasProgramIcon_ = false;
  int ScaleOverride_ = 0;
  HWND WakeWindow_ = nullptr;
  std::atomic<bool> WakePending_{false};
  std::function<void()> LoopWork_;
  bool RunningLoopWork_ = false;
};

class Win32Window : public Window {
 public:
  Win32Window(Win32Display& display, const WindowParams& params, WindowEvents* events);
  ~Win32Window() override;

  void Show() override;
  void Hide() override;
  bool Visible() const override { return Visible_; }
  void SetTitle(const std::string& title) override;
  void SetIcon(PixelView icon) override;
  void Present(PixelView frame, std::span<const Rect> damage) override;
  std::uint64_t UploadedPixels() const override { return Uploaded_; }

  HWND Handle() const { return Handle_; }
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Place(UINT dpi, const RECT* suggested);
  void Paint();
  void Draw(HDC dc, const PixelView& frame, const Rect& part);
  void Mouse(Button button, bool pressed, bool doubleClick, WPARAM wParam, LPARAM lParam);
  void MouseMoved(WPARAM wParam, LPARAM lParam);
  void KeyMessage(WPARAM virtualKey, bool pressed);
  void CharMessage(WPARAM unit);
  void ForgetInput();

  Win32Display& Display_;
  WindowEvents* Events_;
  int ClientWidth_;  // frame pixels
  int ClientHeight_;
  bool Centered_;
  int Left_;
  int Top_;
  DWORD Style_;
  DWORD ExStyle_;
  HWND Owner_ = nullptr;
  HWND Handle_ = nullptr;
  bool Visible_ = false;
  // Set while a box is up over its owner: it was we who disabled the owner.
  bool OwnerDisabled_ = false;
  int Scale_ = 1;
  SIZE Outer_{0, 0};  // the window's size, frame included
  // Inside WM_PAINT, presenting draws on the paint pass's device context.
  HDC PaintDc_ = nullptr;
  unsigned ButtonsDown_ = 0;
  bool TrackingLeave_ = false;
  TSurrogateJoiner Joiner_;
  std::vector<std::uint32_t> Upload_;
  std::uint64_t Uploaded_ = 0;
  TIcon Icon_;
};

// ---- display ----

Win32Display::Win32Display() : Program_(ProgramName()), Instance_(GetModuleHandleW(nullptr)) {
  DeclareDpiAware();
  ScaleOverride_ = ScaleFromEnvironment(Program_);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = Win32Window::WindowProc;
  windowClass.hInstance = Instance_;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  windowClass.hIcon =
      static_cast<HICON>(LoadImageW(Instance_, MAKEINTRESOURCEW(ProgramIconId), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageW(Instance_, MAKEINTRESOURCEW(ProgramIconId), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  HasProgramIcon_ = windowClass.hIcon != nullptr;
  windowClass.lpszClassName = WindowClass;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw DisplayError("cannot register the window class: error " + std::to_string(GetLastError()));

  WNDCLASSEXW wakeClass{};
  wakeClass.cbSize = sizeof wakeClass;
  wakeClass.lpfnWndProc = WakeProc;
  wakeClass.hInstance = Instance_;
  wakeClass.lpszClassName = WakeClass;
  if (!RegisterClassExW(&wakeClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw DisplayError("cannot register the wake-up window class: error " + std::to_string(GetLastError()));
  // A message-only window: wake-ups posted to it and the clipboard it owns.
  WakeWindow_ = CreateWindowExW(0, WakeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance_, this);
  if (!WakeWindow_) {
    const DWORD error = GetLastError();
    throw DisplayError("cannot open the window system (error " + std::to_string(error) +
                       "): no desktop to show windows on");
  }
}

Win32Display::~Win32Display() {
  DestroyWindow(WakeWindow_);
  UnregisterClassW(WakeClass, Instance_);
  UnregisterClassW(WindowClass, Instance_);
}

std::unique_ptr<Window> Win32Display::CreateWindow(const WindowParams& params, WindowEvents* events) {
  return std::make_unique<Win32Window>(*this, params, events);
}

LRESULT CALLBACK Win32Display::WakeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  } else if (message == WakeMessage) {
    if (auto* self = reinterpret_cast<Win32Display*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
      self->WakePending_ = false;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool Win32Display::DispatchPending() {
  bool any = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    // Nothing of ours posts a quit; the loop ends through the framework.
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return any;
}

void Win32Display::WaitEvents(std::optional<std::chrono::nanoseconds> timeout) {
  if (DispatchPending()) return;
  DWORD ms = INFINITE;
  if (timeout) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(*timeout, {})).count();
    ms = DWORD(std::min<long long>(wait, INFINITE - 1));
  }
  MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  DispatchPending();
}

void Win32Display::RunLoopWork() {
  if (!LoopWork_ || RunningLoopWork_) return;
  RunningLoopWork_ = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{RunningLoopWork_};
  LoopWork_();
}

void Win32Display::Wake() {
  // One wake-up in the queue is enough, however many threads ask.
  if (WakePending_.exchange(true)) return;
  if (!PostMessageW(WakeWindow_, WakeMessage, 0, 0)) WakePending_ = false;
}

void Win32Display::SetClipboardText(const std::string& text) {
  const std::u16string units = ToUtf16(ToCrLf(text));
  const std::size_t bytes = (units.size() + 1) * sizeof(char16_t);
  TOpenClipboard clipboard(WakeWindow_);
  if (!clipboard.Open() || !EmptyClipboard()) return;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return;
  if (void* to = GlobalLock(memory)) {
    std::memcpy(to, units.c_str(), bytes);
    GlobalUnlock(memory);
    if (SetClipboardData(CF_UNICODETEXT, memory)) return;  // the clipboard owns it now
  }
  GlobalFree(memory);
}

std::string Win32Display::ClipboardText() {
  TOpenClipboard clipboard(WakeWindow_);
  if (!clipboard.Open()) return {};
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* units = data ? static_cast<const char16_t*>(GlobalLock(data)) : nullptr;
  if (!units) return {};
  // Up to the terminating zero, and never past the block however the text was put there.
  const std::size_t limit = GlobalSize(data) / sizeof(char16_t);
  const std::u16string_view text(units, std::size_t(std::find(units, units + limit, u'\0') - units));
  std::string result = FromCrLf(FromUtf16(text));
  GlobalUnlock(data);
  return result;
}

// ---- window ----

Win32Window::Win32Window(Win32Display& display, const WindowParams& params, WindowEvents* events)
    : Display_(display),
      Events_(events),
      ClientWidth_(std::max(params.ClientWidth, 1)),
      ClientHeight_(std::max(params.ClientHeight, 1)),
      Centered_(params.Centered),
      Left_(params.Left),
      Top_(params.Top) {
  if (params.Dialog && params.Owner) {
    if (auto* owner = dynamic_cast<Win32Window*>(params.Owner)) Owner_ = owner->Handle();
  }
  if (params.Dialog) {
    Style_ = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    // An owned box stays above its owner; one without an owner needs its own taskbar button.
    ExStyle_ = WS_EX_DLGMODALFRAME | (Owner_ ? 0 : WS_EX_APPWINDOW);
  } else {
    Style_ = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    if (params.Minimizable) Style_ |= WS_MINIMIZEBOX;
    if (params.Maximizable) Style_ |= WS_MAXIMIZEBOX;
    if (params.Resizable) Style_ |= WS_THICKFRAME;
    ExStyle_ = 0;
  }
  const std::wstring title = Wide(params.Title);
  if (!CreateWindowExW(ExStyle_, WindowClass, title.c_str(), Style_, CW_USEDEFAULT, CW_USEDEFAULT, 1, 1,
                       Owner_, nullptr, Display_.Instance(), this)) {
    throw DisplayError("cannot create a window: error " + std::to_string(GetLastError()));
  }
  // The size and place follow the resolution of the screen the window is on.
  Place(DpiOf(Handle_), nullptr);
}

Win32Window::~Win32Window() {
  Hide();
  if (Handle_) {
    SetWindowLongPtrW(Handle_, GWLP_USERDATA, 0);
    DestroyWindow(Handle_);
  }
}

void Win32Window::Place(UINT dpi, const RECT* suggested) {
  Scale_ = Display_.ScaleFor(dpi);
  const SIZE outer = Outer_ = OuterSize(ClientWidth_ * Scale_, ClientHeight_ * Scale_, Style_, ExStyle_, dpi);
  int x = Left_ * Scale_, y = Top_ * Scale_;
  if (suggested) {
    x = suggested->left;
    y = suggested->top;
  } else if (Centered_) {
    // On the work area of the owner's screen, else of the main screen.
    HMONITOR monitor = Owner_ ? MonitorFromWindow(Owner_, MONITOR_DEFAULTTOPRIMARY)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(monitor, &info)) work = info.rcWork;
    x = work.left + std::max(0L, (work.right - work.left - outer.cx) / 2);
    y = work.top + std::max(0L, (work.bottom - work.top - outer.cy) / 2);
  }
  SetWindowPos(Handle_, nullptr, x, y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::Show() {
  if (Visible_ || !Handle_) return;
  Visible_ = true;
  // A box blocks its owner, as a modal dialog does, until it goes.
  if (Owner_ && IsWindowEnabled(Owner_)) {
    EnableWindow(Owner_, FALSE);
    OwnerDisabled_ = true;
  }
  ShowWindow(Handle_, SW_SHOWNORMAL);
  SetForegroundWindow(Handle_);
}

void Win32Window::Hide() {
  if (!Visible_) return;
  Visible_ = false;
  // The owner first, so that the activation goes back to it and not to another program.
  if (OwnerDisabled_) {
    EnableWindow(Owner_, TRUE);
    OwnerDisabled_ = false;
  }
  if (Handle_) ShowWindow(Handle_, SW_HIDE);
  ForgetInput();
}

void Win32Window::ForgetInput() {
  if (ButtonsDown_ && Handle_ && GetCapture() == Handle_) ReleaseCapture();
  ButtonsDown_ = 0;
  TrackingLeave_ = false;
  Joiner_.Reset();
}

void Win32Window::SetTitle(const std::string& title) {
  if (Handle_) SetWindowTextW(Handle_, Wide(title).c_str());
}

void Win32Window::SetIcon(PixelView icon) {
  if (!Handle_ || !icon.Pixels || icon.Width <= 0 || icon.Height <= 0) return;
  TIcon made(IconFrom(icon));
  if (!made) return;
  SendMessageW(Handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(made.get()));
  // The task switcher's large icon is the program's own, drawn for that size, when it has one.
  if (!Display_.HasProgramIcon())
    SendMessageW(Handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(made.get()));
  Icon_ = std::move(made);
}

void Win32Window::Present(PixelView frame, std::span<const Rect> damage) {
  if (!Handle_ || !Visible_ || !frame.Pixels || frame.Width <= 0 || frame.Height <= 0) return;
  bool any = false;
  for (const Rect& r : damage) {
    const Rect part{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, frame.Width),
                    std::min(r.Bottom, frame.Height)};
    if (part.Left >= part.Right || part.Top >= part.Bottom) continue;
    if (PaintDc_) {
      Draw(PaintDc_, frame, part);
      continue;
    }
    const Rect screen = ToScreen(part, Scale_);
    const RECT area{screen.Left, screen.Top, screen.Right, screen.Bottom};
    InvalidateRect(Handle_, &area, FALSE);
    any = true;
  }
  // The paint pass comes at once and asks the owner for exactly what changed.
  if (any) UpdateWindow(Handle_);
}

void Win32Window::Paint() {
  // The rectangles to paint, read before BeginPaint validates them.
  std::vector<Rect> areas;
  if (HRGN region = CreateRectRgn(0, 0, 0, 0)) {
    if (GetUpdateRgn(Handle_, region, FALSE) > NULLREGION) {
      const DWORD size = GetRegionData(region, 0, nullptr);
      std::vector<std::uint8_t> buffer(size);
      auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
      if (size && GetRegionData(region, size, data)) {
        const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
        for (DWORD i = 0; i < data->rdh.nCount; ++i)
          areas.push_back(
              ToFrame(Rect{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom}, Scale_));
      }
    }
    DeleteObject(region);
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Handle_, &paint);
  if (!dc) return;
  struct TPaintPass {
    Win32Window& Self;
    PAINTSTRUCT& Paint;
    ~TPaintPass() {
      Self.PaintDc_ = nullptr;
      EndPaint(Self.Handle_, &Paint);
    }
  } pass{*this, paint};
  PaintDc_ = dc;
  for (const Rect& r : areas) Events_->Exposed(r);
}

void Win32Window::Draw(HDC dc, const PixelView& frame, const Rect& part) {
  const std::uint32_t* pixels = frame.Pixels;
  int stride = frame.Stride;
  Rect out = part;
  if (Scale_ != 1) {
    stride = frame.Width * Scale_;
    const std::size_t size = std::size_t(stride) * std::size_t(frame.Height * Scale_);
    if (Upload_.size() != size) Upload_.assign(size, 0);
    ScaleRect(frame, part, Scale_, PixelFormat{}, Upload_.data(), stride);
    pixels = Upload_.data();
    out = ToScreen(part, Scale_);
  }
  const int width = out.Right - out.Left, height = out.Bottom - out.Top;
  const BITMAPINFO info = TopDown32(stride, height);
  SetDIBitsToDevice(dc, out.Left, out.Top, DWORD(width), DWORD(height), out.Left, 0, 0, UINT(height),
                    pixels + std::size_t(out.Top) * std::size_t(stride), &info, DIB_RGB_COLORS);
  Uploaded_ += std::uint64_t(width) * std::uint64_t(height);
}

void Win32Window::Mouse(Button button, bool pressed, bool doubleClick, WPARAM wParam, LPARAM lParam) {
  const unsigned bit = ButtonBit(button);
  if (pressed) {
    // The window keeps the mouse from a press until the last button is up.
    if (!ButtonsDown_) SetCapture(Handle_);
    ButtonsDown_ |= bit;
  } else {
    ButtonsDown_ &= ~bit;
    if (!ButtonsDown_ && GetCapture() == Handle_) ReleaseCapture();
  }
  Events_->MouseButton(button, pressed, doubleClick, MouseMods(wParam), ToFrame(SignedLow(lParam), Scale_),
                       ToFrame(SignedHigh(lParam), Scale_));
}

void Win32Window::MouseMoved(WPARAM wParam, LPARAM lParam) {
  if (!TrackingLeave_) {
    TRACKMOUSEEVENT track{sizeof track, TrackLeave, Handle_, 0};
    TrackingLeave_ = TrackMouseEvent(&track) != FALSE;
  }
  Events_->MouseMove(MouseMods(wParam), ToFrame(SignedLow(lParam), Scale_),
                     ToFrame(SignedHigh(lParam), Scale_));
}

void Win32Window::KeyMessage(WPARAM virtualKey, bool pressed) {
  // Input methods and injected characters name no key; their text comes as WM_CHAR.
  if (virtualKey == 0 || virtualKey > 0xFE || virtualKey == VK_PROCESSKEY || virtualKey == VK_PACKET) return;
  Events_->Key(std::uint16_t(virtualKey), pressed, KeyMods());
}

void Win32Window::CharMessage(WPARAM unit) {
  const unsigned mods = KeyMods();
  for (char32_t c : Joiner_.Push(char16_t(unit))) {
    // Ctrl with a letter makes a control code, not text; Ctrl with Alt is
    // AltGr, which types real characters.
    if (c == 0x7F || ((mods & ModCtrl) && !(mods & ModAlt))) continue;
    Events_->Char(c);
  }
}

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->Handle_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  // Nothing may unwind through the system's frames.
  try {
    return self->OnMessage(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: window message %u failed: %s\n", self->Display_.Program().c_str(), message,
                 e.what());
  } catch (...) {
    std::fprintf(stderr, "%s: window message %u failed\n", self->Display_.Program().c_str(), message);
  }
  return 0;
}

LRESULT Win32Window::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return 1;  // every pixel comes from the frame
    case WM_LBUTTONDOWN: Mouse(Button::Left, true, false, wParam, lParam); return 0;
    case WM_LBUTTONDBLCLK: Mouse(Button::Left, true, true, wParam, lParam); return 0;
    case WM_LBUTTONUP: Mouse(Button::Left, false, false, wParam, lParam); return 0;
    case WM_RBUTTONDOWN: Mouse(Button::Right, true, false, wParam, lParam); return 0;
    case WM_RBUTTONDBLCLK: Mouse(Button::Right, true, true, wParam, lParam); return 0;
    case WM_RBUTTONUP: Mouse(Button::Right, false, false, wParam, lParam); return 0;
    case WM_MBUTTONDOWN: Mouse(Button::Middle, true, false, wParam, lParam); return 0;
    case WM_MBUTTONDBLCLK: Mouse(Button::Middle, true, true, wParam, lParam); return 0;
    case WM_MBUTTONUP: Mouse(Button::Middle, false, false, wParam, lParam); return 0;
    case WM_MOUSEMOVE: MouseMoved(wParam, lParam); return 0;
    case WM_MOUSELEAVE:
      TrackingLeave_ = false;
      Events_->MouseLeave();
      return 0;
    // Taken away (another window, a box disabling this one): no release will come.
    case WM_CAPTURECHANGED: ButtonsDown_ = 0; return 0;
    case WM_KEYDOWN: KeyMessage(wParam, true); return 0;
    case WM_KEYUP: KeyMessage(wParam, false); return 0;
    // Alt combinations also keep their system meaning (Alt+F4, Alt+Space).
    case WM_SYSKEYDOWN: KeyMessage(wParam, true); break;
    case WM_SYSKEYUP: KeyMessage(wParam, false); break;
    case WM_CHAR: CharMessage(wParam); return 0;
    case WM_SETFOCUS: Events_->FocusChanged(true); return 0;
    case WM_KILLFOCUS:
      Joiner_.Reset();
      Events_->FocusChanged(false);
      return 0;
    case WM_CLOSE: Events_->CloseRequest(); return 0;
    // The system menu, a menu bar, moving or sizing: Windows loops inside
    // DispatchMessage until they end, and the owner's timers must go on.
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE: SetTimer(Handle_, SystemLoopTimer, SystemLoopPeriodMs, nullptr); return 0;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE: KillTimer(Handle_, SystemLoopTimer); return 0;
    case WM_TIMER:
      if (wParam != SystemLoopTimer) break;
      Display_.RunLoopWork();
      return 0;
    case WM_GETMINMAXINFO:
      // The frame's size, even below the smallest size Windows gives a captioned window.
      if (Outer_.cx > 0 && !(Style_ & WS_THICKFRAME)) {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = limits->ptMaxTrackSize = {Outer_.cx, Outer_.cy};
      }
      return 0;
    case DpiChangedMessage: {
      Place(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      InvalidateRect(Handle_, nullptr, FALSE);
      return 0;
    }
    case WM_NCDESTROY:
      // Windows takes an owned window with its owner.
      Handle_ = nullptr;
      Visible_ = false;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<Display> CreateDefaultDisplay() { return std::make_unique<Win32Display>(); }

}  // namespace display
