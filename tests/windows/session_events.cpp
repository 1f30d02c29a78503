#define NOUSER_OK
#include "session_events.h"

#include "winapi_lean.h"

namespace wintest {

void* FindHookWindow() { return FindWindowA("PinlarkTerminationHook", nullptr); }

void EndSession(void* window, bool ending) {
  SendMessageA(static_cast<HWND>(window), WM_QUERYENDSESSION, 0, 0);
  SendMessageA(static_cast<HWND>(window), WM_ENDSESSION, ending, 0);
}

bool RaiseConsoleEvent(bool ctrlBreak) {
  // A console of the process's own: the one a program inherits (a pipe, or
  // Wine's terminal) may not take control events. Output keeps its handles.
  static const bool own = FreeConsole(), made = AllocConsole();
  return own && made && GenerateConsoleCtrlEvent(ctrlBreak ? CTRL_BREAK_EVENT : CTRL_C_EVENT, 0);
}

}  // namespace wintest
