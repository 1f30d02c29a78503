// The driver service as the tests set it up and check it: installed from the
// executable's folder, started, deleted, and asked whether it still exists.
#pragma once

#include <memory>
#include <string>

#include "winapi.h"

namespace wintest {

constexpr const char* DriverService = "lptwdmio";

struct TScCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using TScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, TScCloser>;

inline std::string ExecutableFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path, length);
  return full.substr(0, full.find_last_of('\\') + 1);
}

inline TScHandle OpenManager() { return TScHandle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }

// 0 when the service exists, else OpenServiceA's error (1060: no such service).
inline DWORD ServiceState() {
  TScHandle manager = OpenManager();
  if (!manager) return GetLastError();
  TScHandle service(OpenServiceA(manager.get(), DriverService, SERVICE_ALL_ACCESS));
  return service ? 0 : GetLastError();
}

// Installs the driver file beside the executable as the demand-start kernel
// driver service; starts it when asked. Returns the first error, 0 if none.
inline DWORD InstallDriverService(bool start) {
  TScHandle manager = OpenManager();
  if (!manager) return GetLastError();
  const std::string path = ExecutableFolder() + "LPTWDMIO.SYS";
  TScHandle service(CreateServiceA(manager.get(), DriverService, "LPT port direct access service",
                                   SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                   SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr, nullptr,
                                   nullptr));
  if (!service) return GetLastError();
  if (start && !StartServiceA(service.get(), 0, nullptr)) return GetLastError();
  return 0;
}

inline DWORD DeleteDriverService() {
  TScHandle manager = OpenManager();
  if (!manager) return GetLastError();
  TScHandle service(OpenServiceA(manager.get(), DriverService, SERVICE_ALL_ACCESS));
  if (!service) return GetLastError();
  return DeleteService(service.get()) ? 0 : GetLastError();
}

}  // namespace wintest
