// console_event PROGRAM [ARGS...]: starts a console program, waits for the
// first line it prints, then closes its console as Windows does: the close
// event runs the program's handlers on a new thread in it (CtrlRoutine), and
// the process is ended once that thread returns. Wine would let the program
// live on, which hides a handler that returns too early. Prints the first
// line and then "exit CODE".
#include "winapi_lean.h"

#include <cstdio>
#include <string>

namespace {

constexpr DWORD Bound = 30000;
constexpr DWORD ClosedByWindows = 0xC000013A;  // STATUS_CONTROL_C_EXIT
constexpr DWORD HandlersReturned = 1;          // what Wine's CtrlRoutine returns then

std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) line += (i > 1 ? " \"" : "\"") + std::string(argv[i]) + "\"";
  return line;
}

std::string FirstLine(HANDLE pipe) {
  std::string line;
  char c = 0;
  DWORD read = 0;
  while (ReadFile(pipe, &c, 1, &read, nullptr) && read == 1 && c != '\n') line += c;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

LPTHREAD_START_ROUTINE ControlRoutine() {
  for (const char* module : {"kernelbase.dll", "kernel32.dll"}) {
    HMODULE handle = GetModuleHandleA(module);
    if (FARPROC routine = handle ? GetProcAddress(handle, "CtrlRoutine") : nullptr)
      return reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(routine));
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: console_event PROGRAM [ARGS...]\n");
    return 2;
  }
  const LPTHREAD_START_ROUTINE routine = ControlRoutine();
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!routine || !CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return 1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  std::string command = CommandLine(argc, argv);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &child)) {
    std::fprintf(stderr, "console_event: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  CloseHandle(writeEnd);
  std::printf("%s\n", FirstLine(readEnd).c_str());

  HANDLE handler =
      CreateRemoteThread(child.hProcess, nullptr, 0, routine,
                         reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(CTRL_CLOSE_EVENT)), 0, nullptr);
  if (handler) {
    WaitForSingleObject(handler, Bound);
    DWORD end = 0;
    GetExitCodeThread(handler, &end);
    CloseHandle(handler);
    // A handler thread ended by the process's own exit (it takes the
    // process's exit code) signals before the process does: let that exit
    // finish rather than take it for the handlers having returned.
    if (end != HandlersReturned) WaitForSingleObject(child.hProcess, Bound);
  }
  if (WaitForSingleObject(child.hProcess, 0) == WAIT_TIMEOUT)
    TerminateProcess(child.hProcess, ClosedByWindows);
  WaitForSingleObject(child.hProcess, Bound);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  std::printf("exit %lu\n", code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  CloseHandle(readEnd);
  return handler ? 0 : 1;
}
