#include "process_info.h"
#include "winapi.h"

#include <tlhelp32.h>

#include <memory>
#include <type_traits>

namespace platform {

namespace {

// Long enough for any path Windows hands out.
constexpr DWORD MaxPath = 32768;

std::string Utf8(const std::wstring& wide) {
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(std::size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), size, nullptr, nullptr);
  return text;
}

struct THandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

}  // namespace

// The wide query, so a folder name outside the ANSI code page survives.
std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return Utf8(path);
    }
    if (path.size() >= MaxPath) return {};
    path.resize(path.size() * 2);
  }
}

// From the system's process list, which needs no right to open the process
// and which every Windows since XP has.
std::string ProcessName(unsigned long pid) {
  const HANDLE raw = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (raw == INVALID_HANDLE_VALUE) return {};
  const std::unique_ptr<std::remove_pointer_t<HANDLE>, THandleCloser> snapshot(raw);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(raw, &entry); more; more = Process32NextW(raw, &entry))
    if (entry.th32ProcessID == pid) return Utf8(entry.szExeFile);
  return {};
}

bool StandardOutputGone() { return false; }

}  // namespace platform
