// The service manager of the emulation: an in-process service database whose
// kernel-driver services are driver modules loaded with dlopen.
#include "emulated_system.h"
#include "module_image.h"

#include <dlfcn.h>

#include <cstdio>
#include <string_view>

namespace emulation {

namespace {

TServiceInfo* FindService(const std::string& key) {
  auto& services = EmulatedSystem().Services;
  auto it = services.find(key);
  return it == services.end() ? nullptr : &it->second;
}

bool IsManagerHandle(SC_HANDLE handle) {
  THandleObject* object = EmulatedSystem().FindHandle(HandleValue(handle));
  return object && std::holds_alternative<TManagerObject>(*object);
}

TServiceObject* FindServiceObject(SC_HANDLE handle) {
  THandleObject* object = EmulatedSystem().FindHandle(HandleValue(handle));
  return object ? std::get_if<TServiceObject>(object) : nullptr;
}

bool ServiceHasHandles(const std::string& key) {
  for (auto& [value, object] : EmulatedSystem().Handles) {
    if (auto* service = std::get_if<TServiceObject>(&object); service && service->Key == key) return true;
  }
  return false;
}

// Windows allows at most 256 characters and no slash or backslash.
constexpr std::size_t MaxServiceName = 256;

bool ValidServiceName(const char* name) {
  if (!name || !*name) return false;
  const std::string_view text(name);
  return text.size() <= MaxServiceName && text.find_first_of("/\\") == std::string_view::npos;
}

uint32_t RegisterDriverDevice(void* host, const char* name, const PinlarkDeviceOps* ops) {
  if (!host || !name || !*name || !ops) return ERROR_INVALID_PARAMETER;
  auto* module = static_cast<TDriverModule*>(host);
  const PinlarkDeviceOps copy = *ops;
  TEmulatedDevice device;
  device.Open = [copy](void** session) -> DWORD {
    if (!copy.Open) {
      *session = copy.Context;
      return ERROR_SUCCESS;
    }
    return copy.Open(copy.Context, session);
  };
  if (copy.Control) {
    device.Control = [copy](void* session, DWORD code, const void* in, DWORD inLength, void* out,
                            DWORD outLength, DWORD* returned) -> DWORD {
      return copy.Control(session, code, in, inLength, out, outLength, returned);
    };
  }
  if (copy.Close) device.Close = [copy](void* session) { copy.Close(session); };
  const DWORD status = EmulatedSystem().AddDevice(name, std::move(device));
  if (status == ERROR_SUCCESS) module->Devices.push_back(name);
  return status;
}

// A start that fails on the module itself says why in one line, as the
// system's event log would; the caller only sees the code.
DWORD Refuse(const std::string& path, DWORD error, const std::string& problem) {
  std::fprintf(stderr, "%s: cannot start this driver module: %s\n", path.c_str(), problem.c_str());
  return error;
}

// Loads the module at the service's binary path and runs its entry point.
DWORD LoadDriver(const std::string& path) {
  const TImageCheck image = CheckModuleImage(path);
  if (image.Error == ERROR_FILE_NOT_FOUND) return image.Error;
  if (image.Error != ERROR_SUCCESS) return Refuse(path, image.Error, image.Problem);
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return Refuse(path, ERROR_BAD_EXE_FORMAT, dlerror());
  auto module = std::make_unique<TDriverModule>(library);
  auto entry = reinterpret_cast<PinlarkDriverEntry>(dlsym(library, PINLARK_DRIVER_ENTRY_NAME));
  if (!entry) return Refuse(path, ERROR_PROC_NOT_FOUND, "it has no " PINLARK_DRIVER_ENTRY_NAME);
  module->Object.AbiVersion = PINLARK_DRIVER_ABI_VERSION;
  module->Object.Host = module.get();
  module->Object.RegisterDevice = &RegisterDriverDevice;
  TEmulatedSystem& system = EmulatedSystem();
  if (const DWORD status = entry(&module->Object); status != ERROR_SUCCESS) {
    system.RemoveDevices(module->Devices);
    return status;
  }
  module->Entered = true;
  system.Drivers.push_back(std::move(module));
  return ERROR_SUCCESS;
}

DWORD StartService(TServiceInfo& service) {
  if (service.Deleted) return ERROR_SERVICE_MARKED_FOR_DELETE;
  if (service.Running) return ERROR_SERVICE_ALREADY_RUNNING;
  if (service.ServiceType != SERVICE_KERNEL_DRIVER) return ERROR_NOT_SUPPORTED;
  const DWORD status = LoadDriver(service.BinaryPath);
  service.Running = status == ERROR_SUCCESS;
  return status;
}

template <typename T>
T Fail(DWORD error, T result) {
  StoreLastError(error);
  return result;
}

}  // namespace

}  // namespace emulation

using namespace emulation;

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("OpenSCManagerA", [&] {
        return TArgs{FormatString(machineName), FormatString(databaseName), FormatHex(desiredAccess)};
      }))
    return nullptr;
  if (machineName && *machineName) return Fail(RPC_S_SERVER_UNAVAILABLE, SC_HANDLE{});
  if (databaseName && UpperCase(databaseName) != "SERVICESACTIVE")
    return Fail(ERROR_DATABASE_DOES_NOT_EXIST, SC_HANDLE{});
  return reinterpret_cast<SC_HANDLE>(system.AddHandle(TManagerObject{}));
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName, DWORD desiredAccess,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPathName,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName,
                         LPCSTR password) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("CreateServiceA", [&] {
        return TArgs{
            FormatPointer(manager),       FormatString(serviceName),    FormatString(displayName),
            FormatHex(desiredAccess),     FormatDec(serviceType),       FormatDec(startType),
            FormatDec(errorControl),      FormatString(binaryPathName), FormatString(loadOrderGroup),
            FormatPointer(tagId),         FormatString(dependencies),   FormatString(serviceStartName),
            password ? "\"***\"" : "null"};
      }))
    return nullptr;
  if (!IsManagerHandle(manager)) return Fail(ERROR_INVALID_HANDLE, SC_HANDLE{});
  if (!ValidServiceName(serviceName)) return Fail(ERROR_INVALID_NAME, SC_HANDLE{});
  if (!binaryPathName || !*binaryPathName) return Fail(ERROR_INVALID_PARAMETER, SC_HANDLE{});
  const std::string key = UpperCase(serviceName);
  if (const TServiceInfo* existing = FindService(key))
    return Fail(existing->Deleted ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS, SC_HANDLE{});
  system.Services[key] = TServiceInfo{serviceName,  displayName ? displayName : serviceName,
                                      serviceType,  startType,
                                      errorControl, binaryPathName,
                                      false,        false};
  return reinterpret_cast<SC_HANDLE>(system.AddHandle(TServiceObject{key}));
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("OpenServiceA", [&] {
        return TArgs{FormatPointer(manager), FormatString(serviceName), FormatHex(desiredAccess)};
      }))
    return nullptr;
  if (!IsManagerHandle(manager)) return Fail(ERROR_INVALID_HANDLE, SC_HANDLE{});
  if (!ValidServiceName(serviceName)) return Fail(ERROR_INVALID_NAME, SC_HANDLE{});
  const std::string key = UpperCase(serviceName);
  if (!FindService(key)) return Fail(ERROR_SERVICE_DOES_NOT_EXIST, SC_HANDLE{});
  return reinterpret_cast<SC_HANDLE>(system.AddHandle(TServiceObject{key}));
}

BOOL StartServiceA(SC_HANDLE service, DWORD numServiceArgs, LPCSTR* serviceArgVectors) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("StartServiceA", [&] {
        return TArgs{FormatPointer(service), FormatDec(numServiceArgs), FormatPointer(serviceArgVectors)};
      }))
    return FALSE;
  TServiceObject* object = FindServiceObject(service);
  if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
  const DWORD status = StartService(*FindService(object->Key));
  StoreLastError(status);
  return status == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL DeleteService(SC_HANDLE service) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("DeleteService", [&] { return TArgs{FormatPointer(service)}; })) return FALSE;
  TServiceObject* object = FindServiceObject(service);
  if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
  TServiceInfo& info = *FindService(object->Key);
  if (info.Deleted) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
  // The entry goes once its last handle closes, unless its driver still runs:
  // nothing here ever stops a driver.
  info.Deleted = true;
  return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE object) {
  auto lock = LockSystem();
  TEmulatedSystem& system = EmulatedSystem();
  if (system.Enter("CloseServiceHandle", [&] { return TArgs{FormatPointer(object)}; })) return FALSE;
  THandleObject* handle = system.FindHandle(HandleValue(object));
  if (!handle || std::holds_alternative<std::shared_ptr<TDeviceSession>>(*handle))
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  std::string key;
  if (auto* service = std::get_if<TServiceObject>(handle)) key = service->Key;
  system.RemoveHandle(HandleValue(object));
  if (const TServiceInfo* info = key.empty() ? nullptr : FindService(key);
      info && info->Deleted && !info->Running && !ServiceHasHandles(key))
    system.Services.erase(key);
  return TRUE;
}
