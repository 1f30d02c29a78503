// Windows side of interrupt.h: the console's control handler runs on a
// thread of its own and sets an event the sleeper waits on.
#include "interrupt.h"

#include <windows.h>

#include <atomic>

namespace lptctl {

namespace {

std::atomic<bool> Flag{false};
HANDLE Wake = nullptr;

BOOL WINAPI OnControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  Flag = true;
  if (Wake) SetEvent(Wake);
  return TRUE;
}

}  // namespace

TInterrupt::TInterrupt() {
  Flag = false;
  Wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

TInterrupt::~TInterrupt() {
  SetConsoleCtrlHandler(OnControl, FALSE);
  if (Wake) CloseHandle(Wake);
  Wake = nullptr;
}

bool TInterrupt::Requested() const { return Flag; }

// A closed pipe fails the next write on Windows; there is no signal to lose.
bool TInterrupt::OutputGone() const { return false; }

bool TInterrupt::WaitUntil(TClock::time_point deadline) {
  while (!Flag) {
    const auto left = deadline - TClock::now();
    if (left <= TClock::duration::zero()) return false;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    if (ms == 0) continue;  // under a millisecond: the wait's unit is too coarse, spin
    if (Wake)
      WaitForSingleObject(Wake, DWORD(ms));
    else
      Sleep(DWORD(ms));
  }
  return true;
}

}  // namespace lptctl
