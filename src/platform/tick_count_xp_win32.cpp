// Windows XP has no GetTickCount64, which the static threads library
// (winpthreads) imports, so a 32-bit program would not even start there. The
// 32-bit build fills that import itself: the system's function where it has
// one, else a count of its own from the performance counter, which runs from
// boot without GetTickCount's 49-day wrap.
#include "winapi_lean.h"

namespace {

ULONGLONG WINAPI TickCount64() {
  using TGetTickCount64 = ULONGLONG(WINAPI*)();
  const auto system = reinterpret_cast<TGetTickCount64>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  if (system) return system();
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  const auto ticks = ULONGLONG(count.QuadPart), perSecond = ULONGLONG(frequency.QuadPart);
  return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

}  // namespace

// The import slot the linker would otherwise take from kernel32.
extern "C" {
extern ULONGLONG(WINAPI* const PinlarkTickCount64Import)() __asm__("__imp__GetTickCount64@0");
ULONGLONG(WINAPI* const PinlarkTickCount64Import)() = TickCount64;
}
