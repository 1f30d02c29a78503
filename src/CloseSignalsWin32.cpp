// Windows side of CloseSignals.h: Ctrl+C, Ctrl+Break and the console window
// closing through a console control handler, and the end of the session
// through a hidden top-level window (message-only windows are not told). The
// watcher thread turns each into one close of the main window, sent to the UI
// thread. Windows runs console handlers on threads of its own, so there is
// nothing to block. The watcher goes last, once the program has shut down.
#define NOUSER_OK
#include "winapi_lean.h"

#include <atomic>
#include <cstdio>

#include "CloseSignals.h"
#include "threads.h"

namespace {

constexpr UINT CloseMessage = WM_APP + 1;
constexpr const char* WindowClass = "PinlarkCloseWatcher";

// The watcher thread while one runs; console handlers post to it.
std::atomic<DWORD> WatcherThread{0};
// Set when the watcher goes, that is once the program has shut down. One for
// the process: each watcher resets it before its window can be told anything.
HANDLE ShutDownEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}
// Windows itself ends a program that holds up the session for long.
constexpr DWORD ShutDownWait = 30000;

void SendClose(const std::function<void()>& onSignal, const char* what) {
  try {
    SendToMainThread(onSignal);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pinlark: closing on %s failed: %s\n", what, e.what());
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const DWORD thread = WatcherThread.load();
  if (thread == 0 || event > CTRL_SHUTDOWN_EVENT || !PostThreadMessageA(thread, CloseMessage, event, 0))
    return FALSE;
  // For these Windows ends the process as soon as the handler returns; the
  // close must have its time to shut down in order (Windows bounds the wait).
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    Sleep(INFINITE);
  return TRUE;
}

// The session may end the process once WM_ENDSESSION returns, so it returns
// only when the program has shut down in order (or the wait runs out).
LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
  if (message == WM_QUERYENDSESSION) return TRUE;
  if (message == WM_ENDSESSION) {
    const auto* onSignal =
        reinterpret_cast<const std::function<void()>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (wParam && onSignal) {
      SendClose(*onSignal, "the end of the session");
      WaitForSingleObject(ShutDownEvent(), ShutDownWait);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateSessionWindow(const std::function<void()>* onSignal) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SessionWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = WindowClass;
  RegisterClassA(&windowClass);  // fails harmlessly when registered already
  return CreateWindowExA(0, WindowClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                         windowClass.hInstance, const_cast<std::function<void()>*>(onSignal));
}

}  // namespace

void BlockCloseSignals() {}

TCloseSignalWatcher::TCloseSignalWatcher(std::function<void()> onSignal)
    : OnSignal_(std::move(onSignal)), Thread_([this] { Watch(); }) {}

TCloseSignalWatcher::~TCloseSignalWatcher() {
  Stopping_ = true;
  SetEvent(ShutDownEvent());
  // The watcher may be waiting for the UI thread to run its close request,
  // or not have made its message queue yet: ask until it has gone.
  while (!WaitWhileServingSentWork([this] { return Finished_.load(); }, std::chrono::milliseconds(20)))
    if (const DWORD thread = WatcherThread.load()) PostThreadMessageA(thread, WM_QUIT, 0, 0);
  Thread_.join();
}

void TCloseSignalWatcher::Watch() {
  MSG message;
  PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists from here on
  ResetEvent(ShutDownEvent());
  HWND window = CreateSessionWindow(&OnSignal_);
  WatcherThread = GetCurrentThreadId();
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  while (!Stopping_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == CloseMessage)
      SendClose(OnSignal_, message.wParam == CTRL_C_EVENT ? "Ctrl+C" : "a console event");
    else
      DispatchMessageA(&message);
  }
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  WatcherThread = 0;
  if (window) DestroyWindow(window);
  Finished_ = true;
  WakeMainThread();
}
