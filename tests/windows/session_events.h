// What Windows does to a program at the end of a session or on a console
// control event, done by a test. Kept apart from the framework's headers,
// whose names the window system's headers would rename.
#pragma once

namespace wintest {

// The termination hook's hidden window, or null.
void* FindHookWindow();
// WM_QUERYENDSESSION, then WM_ENDSESSION with `ending`; returns when both have.
void EndSession(void* window, bool ending);
// Gives the process a console of its own, once, and raises Ctrl+C or Ctrl+Break.
bool RaiseConsoleEvent(bool ctrlBreak);

}  // namespace wintest
