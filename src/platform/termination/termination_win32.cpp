// Windows side of termination.h: Ctrl+C, Ctrl+Break and the console closing
// through a console control handler, and the end of the session through a
// hidden top-level window (message-only windows are not told). Windows runs
// console handlers on threads of its own, so there is nothing to block.
//
// Closing the console, signing out and shutting down end the process as soon
// as the handler returns, so for those it does not return: the program ends
// in order and the waiting handler goes with it. Windows bounds that wait
// itself; ours only covers a program that hangs. The handler stays
// registered for good: taking it off while it waits would wait for it.
#define NOUSER_OK
#include "winapi_lean.h"

#include "termination.h"

namespace platform {

namespace {

constexpr UINT RequestMessage = WM_APP + 1;
constexpr const char* WindowClass = "PinlarkTerminationHook";
constexpr DWORD CleanUpWait = 30000;

// The hook's thread while one runs; the console handler posts to it.
std::atomic<DWORD> HookThread{0};

// Set when the hook goes, that is once the program has shut down. One for the
// process: each hook resets it before its window can be told anything.
HANDLE ShutDownEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

bool EndsTheProcess(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

TTermination Why(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return TTermination::Interrupt;
    case CTRL_CLOSE_EVENT: return TTermination::HangUp;
    default: return TTermination::SessionEnd;
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const DWORD thread = HookThread.load();
  if (thread == 0 || event > CTRL_SHUTDOWN_EVENT || !PostThreadMessageA(thread, RequestMessage, event, 0))
    return FALSE;
  if (EndsTheProcess(event)) Sleep(CleanUpWait);
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
    const auto* onRequest =
        reinterpret_cast<const std::function<void(TTermination)>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (wParam && onRequest) {
      (*onRequest)(TTermination::SessionEnd);
      WaitForSingleObject(ShutDownEvent(), CleanUpWait);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateSessionWindow(const std::function<void(TTermination)>* onRequest) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SessionWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = WindowClass;
  RegisterClassA(&windowClass);  // fails harmlessly when registered already
  return CreateWindowExA(0, WindowClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                         windowClass.hInstance, const_cast<std::function<void(TTermination)>*>(onRequest));
}

}  // namespace

std::string Describe(TTermination why) {
  switch (why) {
    case TTermination::Interrupt: return "Ctrl+C";
    case TTermination::Terminate: return "a termination request";
    case TTermination::HangUp: return "the console closing";
    case TTermination::SessionEnd: break;
  }
  return "the end of the session";
}

void HoldTerminationRequests() {}

// A closed pipe fails the next write on Windows; there is no signal to lose.
void IgnoreClosedPipes() {}

void TTerminationHook::Nudge() {
  SetEvent(ShutDownEvent());
  if (const DWORD thread = HookThread.load()) PostThreadMessageA(thread, WM_QUIT, 0, 0);
}

void TTerminationHook::Watch() {
  static const bool registered = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
  (void)registered;
  MSG message;
  PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists from here on
  ResetEvent(ShutDownEvent());
  HWND window = CreateSessionWindow(&OnRequest_);
  HookThread = GetCurrentThreadId();
  while (!Stopping_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == RequestMessage)
      OnRequest_(Why(DWORD(message.wParam)));
    else
      DispatchMessageA(&message);
  }
  HookThread = 0;
  if (window) DestroyWindow(window);
  Finished_ = true;
}

}  // namespace platform
