// Windows side of interrupt.h: the console's control handler runs on a
// thread of its own and sets an event the sleeper waits on.
//
// Closing the console window, signing out and shutting down end the process
// as soon as the handler returns, so for those it does not return: the
// command stops, lptctl cleans up (the connection deletes the driver service
// it installed) and ends, and the waiting handler goes with the process.
// Windows bounds that wait itself; ours only covers a program that hangs.
// The handler stays registered to the end: taking it off while it waits
// would wait for it.
#include "interrupt.h"

#include "winapi_lean.h"

#include <atomic>

namespace lptctl {

namespace {

constexpr DWORD CleanUpWait = 30000;

std::atomic<bool> Flag{false};
std::atomic<bool> Listening{false};

// Kept for the process: a handler may run while an interrupt goes.
HANDLE WakeEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

bool EndsTheProcess(DWORD type) {
  return type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
}

void Raise() {
  Flag = true;
  if (HANDLE wake = WakeEvent()) SetEvent(wake);
}

BOOL WINAPI OnControl(DWORD type) {
  if (EndsTheProcess(type)) {
    Raise();
    Sleep(CleanUpWait);
    return TRUE;
  }
  if ((type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) || !Listening) return FALSE;
  Raise();
  return TRUE;
}

}  // namespace

TInterrupt::TInterrupt() {
  static const bool registered = SetConsoleCtrlHandler(OnControl, TRUE) != FALSE;
  (void)registered;
  Flag = false;
  if (HANDLE wake = WakeEvent()) ResetEvent(wake);
  Listening = true;
}

TInterrupt::~TInterrupt() { Listening = false; }

bool TInterrupt::Requested() const { return Flag; }

// A closed pipe fails the next write on Windows; there is no signal to lose.
bool TInterrupt::OutputGone() const { return false; }

bool TInterrupt::WaitUntil(TClock::time_point deadline) {
  while (!Flag) {
    const auto left = deadline - TClock::now();
    if (left <= TClock::duration::zero()) return false;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    if (ms == 0) continue;  // under a millisecond: the wait's unit is too coarse, spin
    if (HANDLE wake = WakeEvent())
      WaitForSingleObject(wake, DWORD(ms));
    else
      Sleep(DWORD(ms));
  }
  return true;
}

}  // namespace lptctl
