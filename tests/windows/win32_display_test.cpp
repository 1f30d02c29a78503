// The win32 display in process, on a real screen under Wine: what it uploads
// and shows, its window's style and place, boxes that block their owner, the
// clipboard, wake-ups from other threads, the high-resolution factor, and
// characters typed in two halves.
#define NOUSER_OK
#define NOGDI_OK
#include "winapi_lean.h"
#undef CreateWindow

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "display.h"
#include "display_recorder.h"

namespace {

using namespace std::chrono_literals;
using pinlark::testsupport::TRecorder;
constexpr auto Bound = 20s;

class Win32DisplayTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Windows_.clear();
    Display_.reset();
    _putenv("PINLARK_SCALE=");
  }

  void Start(const char* scale = nullptr) {
    if (scale) _putenv((std::string("PINLARK_SCALE=") + scale).c_str());
    Display_ = display::CreateDefaultDisplay();
  }

  // A shown window of w x h frame pixels filled with `fill`, once the window
  // system has had all of it presented.
  display::Window* Open(const std::wstring& title, int w, int h, std::uint32_t fill,
                        const std::function<void(display::WindowParams&)>& adjust = {}) {
    Pixels_.assign(std::size_t(w) * std::size_t(h), fill);
    Events_.Frame = {Pixels_.data(), w, h, w};
    display::WindowParams params;
    params.Title = Utf8(title);
    params.ClientWidth = w;
    params.ClientHeight = h;
    if (adjust) adjust(params);
    Windows_.push_back(Display_->CreateWindow(params, &Events_));
    display::Window* window = Windows_.back().get();
    Events_.Window = window;
    window->Show();
    const std::uint64_t all = std::uint64_t(w) * std::uint64_t(h);
    EXPECT_TRUE(Pump([&] { return window->UploadedPixels() >= all; })) << "never presented";
    return window;
  }

  bool Pump(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + Bound;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Display_->WaitEvents(20ms);
    }
    return true;
  }

  static std::string Utf8(const std::wstring& text) {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
  }

  static HWND Handle(const std::wstring& title) { return FindWindowW(L"PinlarkWindow", title.c_str()); }

  // What the window shows at client (x, y), as 0x00RRGGBB.
  static std::uint32_t Shown(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | GetBValue(c);
  }

  void Paint(int left, int top, int right, int bottom, std::uint32_t colour) {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) Pixels_[std::size_t(y * Events_.Frame.Stride + x)] = colour;
  }

  std::uint64_t PresentCost(display::Window* window, std::vector<display::Rect> damage) {
    const std::uint64_t before = window->UploadedPixels();
    window->Present(Events_.Frame, damage);
    return window->UploadedPixels() - before;
  }

  std::unique_ptr<display::Display> Display_;
  std::vector<std::unique_ptr<display::Window>> Windows_;
  std::vector<std::uint32_t> Pixels_;
  TRecorder Events_;
};

TEST_F(Win32DisplayTest, PresentsExactlyWhatChangedAndNothingElse) {
  Start();
  display::Window* window = Open(L"present test", 64, 48, 0x204060);
  const HWND handle = Handle(L"present test");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Shown(handle, 63, 47), 0x204060u);

  Paint(10, 5, 20, 15, 0xC08040);
  Paint(40, 30, 41, 31, 0xFFFFFF);  // changed, never presented
  EXPECT_EQ(PresentCost(window, {{10, 5, 20, 15}}), 100u);
  EXPECT_EQ(Shown(handle, 10, 5), 0xC08040u);
  EXPECT_EQ(Shown(handle, 19, 14), 0xC08040u);
  EXPECT_EQ(Shown(handle, 20, 14), 0x204060u);
  EXPECT_EQ(Shown(handle, 40, 30), 0x204060u);

  EXPECT_EQ(PresentCost(window, {}), 0u);
  // Damage beyond the frame is cut to it.
  EXPECT_EQ(PresentCost(window, {{60, 44, 80, 60}}), 16u);
  EXPECT_EQ(PresentCost(window, {{-5, -5, 0, 10}}), 0u);
}

TEST_F(Win32DisplayTest, ScaledWindowShowsBlocksAndDividesInputBack) {
  Start("2");
  display::Window* window = Open(L"scaled test", 40, 30, 0x000000);
  const HWND handle = Handle(L"scaled test");
  ASSERT_NE(handle, nullptr);
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 80);
  EXPECT_EQ(client.bottom, 60);

  Paint(3, 4, 6, 7, 0x12AB34);
  EXPECT_EQ(PresentCost(window, {{3, 4, 6, 7}}), 36u);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{6, 8}, {7, 9}, {11, 13}})
    EXPECT_EQ(Shown(handle, x, y), 0x12AB34u) << x << "," << y;
  EXPECT_EQ(Shown(handle, 12, 13), 0u);

  PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(21, 11));
  PostMessageW(handle, WM_LBUTTONUP, 0, MAKELPARAM(21, 11));
  ASSERT_TRUE(Pump([&] { return !Events_.Presses.empty(); }));
  EXPECT_EQ(Events_.Presses[0], std::make_pair(10, 5));
}

TEST_F(Win32DisplayTest, WindowIsFixedTitledInUnicodeAndWearsItsIcon) {
  Start();
  const std::wstring title = L"Пинларк \u2713";
  display::Window* window = Open(title, 120, 80, 0x404040, [](display::WindowParams& p) {
    p.Minimizable = true;
    p.Maximizable = false;
    p.Resizable = false;
  });
  const HWND handle = Handle(title);
  ASSERT_NE(handle, nullptr) << "no window titled in UTF-16 as given in UTF-8";

  const LONG style = GetWindowLongW(handle, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  // Its size and place on the screen: the forms test under Wine.

  std::vector<std::uint32_t> icon(16 * 16);
  for (std::size_t i = 0; i < icon.size(); ++i) icon[i] = std::uint32_t(i * 0x010305) & 0xFFFFFF;
  window->SetIcon({icon.data(), 16, 16, 16});
  const HICON shown = reinterpret_cast<HICON>(SendMessageW(handle, WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(shown, nullptr);
  ICONINFO parts{};
  ASSERT_TRUE(GetIconInfo(shown, &parts));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = -16;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> read(16 * 16);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(GetDIBits(dc, parts.hbmColor, 0, 16, read.data(), &info, DIB_RGB_COLORS), 16);
  ReleaseDC(nullptr, dc);
  DeleteObject(parts.hbmColor);
  DeleteObject(parts.hbmMask);
  for (std::size_t i = 0; i < icon.size(); ++i) EXPECT_EQ(read[i] & 0xFFFFFF, icon[i]) << i;
}

TEST_F(Win32DisplayTest, BoxStaysAboveAndBlocksItsOwnerWhileShown) {
  Start();
  display::Window* owner = Open(L"owner", 100, 60, 0x404040);
  const HWND ownerHandle = Handle(L"owner");
  const auto box = [&](const std::wstring& title) {
    return Open(title, 80, 40, 0xF0F0F0, [owner](display::WindowParams& p) {
      p.Dialog = true;
      p.Owner = owner;
    });
  };
  display::Window* first = box(L"box");
  const HWND boxHandle = Handle(L"box");
  ASSERT_NE(boxHandle, nullptr);
  EXPECT_EQ(GetWindow(boxHandle, GW_OWNER), ownerHandle);
  EXPECT_FALSE(GetWindowLongW(boxHandle, GWL_STYLE) & WS_MINIMIZEBOX);
  EXPECT_FALSE(IsWindowEnabled(ownerHandle));
  first->Hide();
  EXPECT_TRUE(IsWindowEnabled(ownerHandle));

  // Gone while shown, it gives its owner back too.
  box(L"second box");
  EXPECT_FALSE(IsWindowEnabled(ownerHandle));
  Windows_.pop_back();
  EXPECT_TRUE(IsWindowEnabled(ownerHandle));
}

TEST_F(Win32DisplayTest, ClipboardKeepsUnicodeTextWithWindowsLineBreaks) {
  Start();
  const std::string text = "Ключ \xF0\x9D\x84\x9E\nline";  // with U+1D11E, outside the BMP
  Display_->SetClipboardText(text);
  EXPECT_EQ(Display_->ClipboardText(), text);

  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(data))), L"Ключ \U0001D11E\r\nline");
  GlobalUnlock(data);
  EmptyClipboard();
  const wchar_t other[] = L"a\r\nб";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof other);
  std::memcpy(GlobalLock(memory), other, sizeof other);
  GlobalUnlock(memory);
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
  CloseClipboard();
  EXPECT_EQ(Display_->ClipboardText(), "a\nб");
}

TEST_F(Win32DisplayTest, WakeUpsFromOtherThreadsEndUnboundedWaits) {
  Start();
  std::atomic<bool> done{false}, watchdog{false};
  const DWORD self = GetCurrentThreadId();
  // Should a wake-up be lost, the watchdog ends the wait and says so.
  std::thread guard([&] {
    const auto end = std::chrono::steady_clock::now() + Bound;
    while (!done && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
    if (!done) {
      watchdog = true;
      PostThreadMessageW(self, WM_NULL, 0, 0);
    }
  });
  std::atomic<bool> woken{false};
  std::thread waker([&] {
    woken = true;
    Display_->Wake();
  });
  while (!woken && !watchdog) Display_->WaitEvents(std::nullopt);
  waker.join();
  Display_->WaitEvents(std::chrono::nanoseconds(0));
  // Many at once from many threads: however few reach the queue, one does.
  std::vector<std::thread> crowd;
  for (int i = 0; i < 8; ++i)
    crowd.emplace_back([&] {
      for (int k = 0; k < 1000; ++k) Display_->Wake();
    });
  for (std::thread& t : crowd) t.join();
  if (!watchdog) Display_->WaitEvents(std::nullopt);
  done = true;
  guard.join();
  EXPECT_FALSE(watchdog.load()) << "a wait outlived its wake-up";
}

TEST_F(Win32DisplayTest, CharactersInTwoHalvesArriveWholeAndCloseAsksTheOwner) {
  Start();
  Open(L"typing", 40, 20, 0);
  const HWND handle = Handle(L"typing");
  for (WPARAM unit : std::initializer_list<WPARAM>{0xD834, 0xDD1E, 0xDC00, 'x', 0xD834, 'y', 0x0416})
    PostMessageW(handle, WM_CHAR, unit, 0);
  ASSERT_TRUE(Pump([&] { return Events_.Chars.size() >= 6; }));
  EXPECT_EQ(Events_.Chars, U"\U0001D11E\uFFFDx\uFFFDy\u0416");

  PostMessageW(handle, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Pump([&] { return Events_.Closes == 1; }));
  EXPECT_TRUE(IsWindow(handle)) << "the owner decides whether the window goes";
}

}  // namespace
