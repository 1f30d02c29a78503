// The emulation's state: one object, reached through EmulatedSystem(). Every
// entry point takes its lock. A driver's entry point runs under it (the lock
// is recursive, so the driver may register its devices); a device's open,
// requests and close run outside it, as a kernel sends requests to a driver
// from many threads at once, so a slow device never stalls the other calls.
#pragma once

#include "driver_abi.h"
#include "emulation_control.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace emulation {

// An opened device. Its handle holds one reference and a running request
// another, so closing the handle during a request closes the session only
// when the request has finished.
class TDeviceSession {
 public:
  TDeviceSession(std::shared_ptr<TEmulatedDevice> device, void* session)
      : Device(std::move(device)), Session(session) {}
  ~TDeviceSession() {
    if (Device->Close) Device->Close(Session);
  }
  TDeviceSession(const TDeviceSession&) = delete;
  TDeviceSession& operator=(const TDeviceSession&) = delete;

  const std::shared_ptr<TEmulatedDevice> Device;
  void* const Session;
};
struct TManagerObject {};
struct TServiceObject {
  std::string Key;
};
using TArgs = std::vector<std::string>;
using THandleObject = std::variant<std::shared_ptr<TDeviceSession>, TManagerObject, TServiceObject>;

struct TActiveFault {
  TFault Fault;
  unsigned Matched = 0;
  unsigned Failed = 0;
};

// A loaded driver module; unloading closes the library after the driver's Unload.
class TDriverModule {
 public:
  explicit TDriverModule(void* library);
  ~TDriverModule();
  TDriverModule(const TDriverModule&) = delete;
  TDriverModule& operator=(const TDriverModule&) = delete;

  PinlarkDriverObject Object{};
  std::vector<std::string> Devices;
  bool Entered = false;

 private:
  void* Library_;
};

class TEmulatedSystem {
 public:
  TEmulatedSystem();
  ~TEmulatedSystem();
  TEmulatedSystem(const TEmulatedSystem&) = delete;
  TEmulatedSystem& operator=(const TEmulatedSystem&) = delete;

  std::recursive_mutex Mutex;
  TPlatformFamily Family = TPlatformFamily::Nt;
  UINT AnsiCodePage = CP_UTF8;
  std::map<std::string, std::shared_ptr<TEmulatedDevice>> Devices;  // key: upper case
  std::map<std::uintptr_t, THandleObject> Handles;
  std::uintptr_t NextHandle = 0;
  int Advapi32References = 0;
  std::map<std::string, TServiceInfo> Services;  // key: upper case
  std::vector<std::unique_ptr<TDriverModule>> Drivers;
  std::vector<TActiveFault> Faults;
  bool Tracing = false;
  std::vector<TTraceEntry> CallTrace;
  std::shared_ptr<TIoSpace> IoSpace;

  // Traces the call; returns the error of a fault that hits it. The
  // arguments are formatted only when a trace or a fault can look at them:
  // the program's own calls pay nothing for the test controls.
  template <typename F>
  std::optional<DWORD> Enter(const char* function, F&& formatArgs) {
    if (!Tracing && Faults.empty()) return std::nullopt;
    return Record(function, std::forward<F>(formatArgs)());
  }
  std::optional<DWORD> Enter(const char* function) {
    return Enter(function, [] { return TArgs{}; });
  }

  std::uintptr_t AddHandle(THandleObject object);
  THandleObject* FindHandle(std::uintptr_t value);
  void RemoveHandle(std::uintptr_t value);
  DWORD AddDevice(const std::string& name, TEmulatedDevice device);
  void RemoveDevices(const std::vector<std::string>& names);
  void Clear();

 private:
  std::optional<DWORD> Record(const char* function, TArgs args);
  static bool FaultHits(TActiveFault& fault, const char* function, const std::vector<std::string>& args);
};

TEmulatedSystem& EmulatedSystem();
std::unique_lock<std::recursive_mutex> LockSystem();

// Sets the calling thread's last error without tracing.
void StoreLastError(DWORD error);

// Conversions inside the emulation, which no trace shows.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

std::string UpperCase(std::string text);
std::string FormatHex(std::uint64_t value);
std::string FormatDec(std::uint64_t value);
std::string FormatString(const char* text);
std::string FormatPointer(const void* pointer);

template <typename T>
std::uintptr_t HandleValue(T handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace emulation
