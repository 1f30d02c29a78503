// The control side of the emulation, for tests and hardware rigs only.
#include "emulated_system.h"

namespace emulation {

void Reset() {
  auto lock = LockSystem();
  EmulatedSystem().Clear();
  StoreLastError(ERROR_SUCCESS);
}

void SetPlatformFamily(TPlatformFamily family) {
  auto lock = LockSystem();
  EmulatedSystem().Family = family;
}

void SetAnsiCodePage(UINT codePage) {
  auto lock = LockSystem();
  EmulatedSystem().AnsiCodePage = codePage;
}

TPlatformFamily PlatformFamily() {
  auto lock = LockSystem();
  return EmulatedSystem().Family;
}

DWORD RegisterDevice(const std::string& name, TEmulatedDevice device) {
  auto lock = LockSystem();
  return EmulatedSystem().AddDevice(name, std::move(device));
}

bool DeviceRegistered(const std::string& name) {
  auto lock = LockSystem();
  return EmulatedSystem().Devices.count(UpperCase(name)) != 0;
}

void InjectFault(TFault fault) {
  auto lock = LockSystem();
  EmulatedSystem().Faults.push_back({std::move(fault)});
}

void ClearFaults() {
  auto lock = LockSystem();
  EmulatedSystem().Faults.clear();
}

void SetTracing(bool on) {
  auto lock = LockSystem();
  EmulatedSystem().Tracing = on;
}

std::vector<TTraceEntry> Trace() {
  auto lock = LockSystem();
  return EmulatedSystem().CallTrace;
}

void ClearTrace() {
  auto lock = LockSystem();
  EmulatedSystem().CallTrace.clear();
}

std::optional<TServiceInfo> Service(const std::string& name) {
  auto lock = LockSystem();
  auto& services = EmulatedSystem().Services;
  auto it = services.find(UpperCase(name));
  if (it == services.end()) return std::nullopt;
  return it->second;
}

std::size_t OpenHandleCount() {
  auto lock = LockSystem();
  return EmulatedSystem().Handles.size();
}

int LoadedDriverCount() {
  auto lock = LockSystem();
  return static_cast<int>(EmulatedSystem().Drivers.size());
}

void SelectIoSpace(std::shared_ptr<TIoSpace> space) {
  auto lock = LockSystem();
  if (space) EmulatedSystem().IoSpace = std::move(space);
}

std::shared_ptr<TSimulatedIoSpace> UseSimulatedIoSpace() {
  auto space = std::make_shared<TSimulatedIoSpace>();
  SelectIoSpace(space);
  return space;
}

}  // namespace emulation
