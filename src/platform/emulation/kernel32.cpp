// Process, file, device and module services of the emulation.
#include "emulated_system.h"
#include "process_info.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>
#include <string_view>

namespace emulation {

namespace {

thread_local DWORD LastError = ERROR_SUCCESS;

constexpr std::string_view DevicePrefix = "\\\\.\\";

// The built-in modules have fixed handles, like system DLLs mapped at their
// preferred bases; so has the executable.
const HMODULE Advapi32Module = reinterpret_cast<HMODULE>(std::uintptr_t{0x7FF80000});
const HMODULE NtdllModule = reinterpret_cast<HMODULE>(std::uintptr_t{0x7FFA0000});
const HMODULE ExecutableModule = reinterpret_cast<HMODULE>(std::uintptr_t{0x400000});

struct TExport {
  const char* Name;
  FARPROC Address;
};

template <typename F>
FARPROC AsFarProc(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const std::array<TExport, 6>& Advapi32Exports() {
  static const std::array<TExport, 6> exports{{
      {"OpenSCManagerA", AsFarProc(&OpenSCManagerA)},
      {"CreateServiceA", AsFarProc(&CreateServiceA)},
      {"OpenServiceA", AsFarProc(&OpenServiceA)},
      {"StartServiceA", AsFarProc(&StartServiceA)},
      {"DeleteService", AsFarProc(&DeleteService)},
      {"CloseServiceHandle", AsFarProc(&CloseServiceHandle)},
  }};
  return exports;
}

// ntdll's own version, which no compatibility mode changes: Windows 10.
constexpr DWORD NtMajor = 10, NtMinor = 0, NtBuild = 19045;

struct TRtlOsVersionInfoW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};

LONG RtlGetVersion(TRtlOsVersionInfoW* info) {
  info->dwMajorVersion = NtMajor;
  info->dwMinorVersion = NtMinor;
  info->dwBuildNumber = NtBuild;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return 0;
}

void RtlGetNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
  if (major) *major = NtMajor;
  if (minor) *minor = NtMinor;
  if (build) *build = 0xF0000000 | NtBuild;  // the high bits: a free build
}

const std::array<TExport, 2>& NtdllExports() {
  static const std::array<TExport, 2> exports{{
      {"RtlGetVersion", AsFarProc(&RtlGetVersion)},
      {"RtlGetNtVersionNumbers", AsFarProc(&RtlGetNtVersionNumbers)},
  }};
  return exports;
}

template <std::size_t N>
FARPROC FindExport(const std::array<TExport, N>& exports, const char* name) {
  for (const TExport& entry : exports)
    if (std::strcmp(entry.Name, name) == 0) return entry.Address;
  return nullptr;
}

bool IsModuleName(const char* name, const char* module) {
  const std::string upper = UpperCase(name);
  return upper == module || upper == std::string(module) + ".DLL";
}

// ntdll.dll is mapped into every process of the NT family and into none of
// the 9x family.
bool NtdllMapped(const TEmulatedSystem& system) { return system.Family != TPlatformFamily::Win9x; }

std::shared_ptr<TDeviceSession>* FindDeviceSession(HANDLE handle) {
  THandleObject* object = EmulatedSystem().FindHandle(HandleValue(handle));
  return object ? std::get_if<std::shared_ptr<TDeviceSession>>(object) : nullptr;
}

// Copies like Windows: a truncated result is cut, terminated and reported.
template <typename Char>
DWORD CopyResult(const std::basic_string<Char>& text, Char* buffer, DWORD size) {
  if (text.size() < size) {
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(Char));
    StoreLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(text.size());
  }
  if (size > 0) {
    std::memcpy(buffer, text.data(), (size - 1) * sizeof(Char));
    buffer[size - 1] = Char(0);
  }
  StoreLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

// The executable's path for GetModuleFileNameA/W; empty, with the error
// stored, when there is none to give.
std::string ModulePath(HMODULE module, const void* fileName, DWORD size) {
  if (!fileName && size > 0) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return {};
  }
  if (module && module != ExecutableModule) {
    StoreLastError(ERROR_MOD_NOT_FOUND);
    return {};
  }
  const std::string path = platform::ExecutablePath();
  if (path.empty()) StoreLastError(ERROR_FILE_NOT_FOUND);
  return path;
}

}  // namespace

void StoreLastError(DWORD error) { LastError = error; }

}  // namespace emulation

using namespace emulation;

DWORD GetLastError() {
  auto lock = LockSystem();
  EmulatedSystem().Enter("GetLastError");
  return LastError;
}

void SetLastError(DWORD errorCode) {
  auto lock = LockSystem();
  EmulatedSystem().Enter("SetLastError", [&] { return TArgs{FormatDec(errorCode)}; });
  LastError = errorCode;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("GetVersionExA",
                   [&] { return TArgs{info ? FormatDec(info->dwOSVersionInfoSize) : "null"}; }))
    return FALSE;
  if (!info) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
    StoreLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const bool nt = system.Family == TPlatformFamily::Nt;
  info->dwMajorVersion = nt ? 10 : 4;
  info->dwMinorVersion = nt ? 0 : 10;
  info->dwBuildNumber = nt ? 19045 : 2222;
  info->dwPlatformId = nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strcpy(info->szCSDVersion, nt ? "" : " A");
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("GetModuleFileNameA", [&] {
        return TArgs{FormatPointer(module), FormatPointer(fileName), FormatDec(size)};
      }))
    return 0;
  const std::string path = ModulePath(module, fileName, size);
  return path.empty() ? 0 : CopyResult(path, fileName, size);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("GetModuleFileNameW", [&] {
        return TArgs{FormatPointer(module), FormatPointer(fileName), FormatDec(size)};
      }))
    return 0;
  const std::string path = ModulePath(module, fileName, size);
  return path.empty() ? 0 : CopyResult(Utf8ToUtf16(path), fileName, size);
}

DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD size) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("GetShortPathNameW", [&] {
        return TArgs{FormatPointer(longPath), FormatPointer(shortPath), FormatDec(size)};
      }))
    return 0;
  if (!longPath || (!shortPath && size > 0)) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string path(longPath);
  struct stat info {};
  if (::stat(Utf16ToUtf8(path).c_str(), &info) != 0) {
    StoreLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  // Too small a buffer is told the size it needs, with the terminating zero.
  if (path.size() >= size) return DWORD(path.size() + 1);
  std::memcpy(shortPath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  StoreLastError(ERROR_SUCCESS);
  return DWORD(path.size());
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("CreateFileA", [&] {
        return TArgs{FormatString(fileName),         FormatHex(desiredAccess),
                     FormatDec(shareMode),           FormatPointer(securityAttributes),
                     FormatDec(creationDisposition), FormatHex(flagsAndAttributes),
                     FormatPointer(templateFile)};
      }))
    return INVALID_HANDLE_VALUE;
  if (!fileName) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string_view name(fileName);
  // Only the device namespace exists here; there is no file system behind it.
  auto device = name.substr(0, DevicePrefix.size()) == DevicePrefix
                    ? system.Devices.find(UpperCase(std::string(name.substr(DevicePrefix.size()))))
                    : system.Devices.end();
  if (device == system.Devices.end()) {
    StoreLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const std::shared_ptr<TEmulatedDevice> opening = device->second;
  void* session = nullptr;
  if (opening->Open) {
    lock.unlock();
    const DWORD status = opening->Open(&session);
    lock.lock();
    if (status != ERROR_SUCCESS) {
      StoreLastError(status);
      return INVALID_HANDLE_VALUE;
    }
  }
  StoreLastError(ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(system.AddHandle(std::make_shared<TDeviceSession>(opening, session)));
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("DeviceIoControl", [&] {
        return TArgs{FormatPointer(device),        FormatHex(ioControlCode), FormatPointer(inBuffer),
                     FormatDec(inBufferSize),      FormatPointer(outBuffer), FormatDec(outBufferSize),
                     FormatPointer(bytesReturned), FormatPointer(overlapped)};
      }))
    return FALSE;
  const std::shared_ptr<TDeviceSession>* found = FindDeviceSession(device);
  if (!found) {
    StoreLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Requests run synchronously; a caller without an overlapped record must
  // take the byte count, and buffers must exist where lengths say so.
  if (overlapped || !bytesReturned || (inBufferSize && !inBuffer) || (outBufferSize && !outBuffer)) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::shared_ptr<TDeviceSession> session = *found;
  lock.unlock();
  DWORD returned = 0;
  const DWORD status = session->Device->Control
                           ? session->Device->Control(session->Session, ioControlCode, inBuffer, inBufferSize,
                                                      outBuffer, outBufferSize, &returned)
                           : ERROR_INVALID_FUNCTION;
  *bytesReturned = returned;
  StoreLastError(status);
  return status == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE object) {
  // Declared before the lock, so the session closes after it is released
  // (or later, when a request still running on it ends).
  std::shared_ptr<TDeviceSession> closing;
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("CloseHandle", [&] { return TArgs{FormatPointer(object)}; })) return FALSE;
  std::shared_ptr<TDeviceSession>* session = FindDeviceSession(object);
  if (!session) {
    StoreLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  closing = std::move(*session);
  system.RemoveHandle(HandleValue(object));
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("GetModuleHandleA", [&] { return TArgs{FormatString(moduleName)}; })) return nullptr;
  if (!moduleName) return ExecutableModule;
  if (IsModuleName(moduleName, "NTDLL") && NtdllMapped(system)) return NtdllModule;
  if (IsModuleName(moduleName, "ADVAPI32") && system.Advapi32References > 0) return Advapi32Module;
  StoreLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE LoadLibraryA(LPCSTR libFileName) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("LoadLibraryA", [&] { return TArgs{FormatString(libFileName)}; })) return nullptr;
  if (!libFileName || !IsModuleName(libFileName, "ADVAPI32")) {
    StoreLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++system.Advapi32References;
  return Advapi32Module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  // Values below 64K are ordinals, not names, and must not be read.
  const bool byName = reinterpret_cast<std::uintptr_t>(procName) >= 0x10000;
  if (system.Enter("GetProcAddress", [&] {
        return TArgs{FormatPointer(module), byName ? FormatString(procName) : FormatPointer(procName)};
      }))
    return nullptr;
  const bool advapi32 = module == Advapi32Module && system.Advapi32References > 0;
  const bool ntdll = module == NtdllModule && NtdllMapped(system);
  if (!advapi32 && !ntdll) {
    StoreLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const FARPROC found = !byName    ? nullptr
                        : advapi32 ? FindExport(Advapi32Exports(), procName)
                                   : FindExport(NtdllExports(), procName);
  if (!found) StoreLastError(ERROR_PROC_NOT_FOUND);
  return found;
}

BOOL FreeLibrary(HMODULE libModule) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("FreeLibrary", [&] { return TArgs{FormatPointer(libModule)}; })) return FALSE;
  if (libModule != Advapi32Module || system.Advapi32References == 0) {
    StoreLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --system.Advapi32References;
  return TRUE;
}

BYTE InPortByte(WORD port) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  system.Enter("InPortByte", [&] { return TArgs{FormatHex(port)}; });
  return system.IoSpace->In(port);
}

void OutPortByte(WORD port, BYTE value) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  system.Enter("OutPortByte", [&] { return TArgs{FormatHex(port), FormatHex(value)}; });
  system.IoSpace->Out(port, value);
}
