#include "emulated_system.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace emulation {

namespace {

// Windows hands out multiples of four; neither 0 nor the invalid value ever occurs.
constexpr std::uintptr_t FirstHandle = 4;
constexpr std::uintptr_t HandleStep = 4;

std::string Unquoted(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

TDriverModule::TDriverModule(void* library) : Library_(library) {}

TDriverModule::~TDriverModule() {
  if (Entered && Object.Unload) Object.Unload(Object.DriverContext);
  if (Library_) dlclose(Library_);
}

TEmulatedSystem::TEmulatedSystem() { Clear(); }

TEmulatedSystem::~TEmulatedSystem() { Clear(); }

std::optional<DWORD> TEmulatedSystem::Record(const char* function, TArgs args) {
  std::optional<DWORD> error;
  for (TActiveFault& fault : Faults) {
    if (FaultHits(fault, function, args)) {
      error = fault.Fault.Error;
      break;
    }
  }
  if (Tracing) CallTrace.push_back({function, std::move(args)});
  if (error) StoreLastError(*error);
  return error;
}

bool TEmulatedSystem::FaultHits(TActiveFault& active, const char* function,
                                const std::vector<std::string>& args) {
  const TFault& fault = active.Fault;
  if (fault.Function != function) return false;
  if (!fault.Match.empty() && std::none_of(args.begin(), args.end(), [&](const std::string& arg) {
        return arg == fault.Match || Unquoted(arg) == fault.Match;
      }))
    return false;
  if (active.Matched++ < fault.Skip) return false;
  if (fault.Times != 0 && active.Failed >= fault.Times) return false;
  ++active.Failed;
  return true;
}

std::uintptr_t TEmulatedSystem::AddHandle(THandleObject object) {
  const std::uintptr_t value = NextHandle;
  NextHandle += HandleStep;
  Handles.emplace(value, std::move(object));
  return value;
}

THandleObject* TEmulatedSystem::FindHandle(std::uintptr_t value) {
  auto it = Handles.find(value);
  return it == Handles.end() ? nullptr : &it->second;
}

void TEmulatedSystem::RemoveHandle(std::uintptr_t value) { Handles.erase(value); }

DWORD TEmulatedSystem::AddDevice(const std::string& name, TEmulatedDevice device) {
  auto [it, added] =
      Devices.try_emplace(UpperCase(name), std::make_shared<TEmulatedDevice>(std::move(device)));
  return added ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
}

void TEmulatedSystem::RemoveDevices(const std::vector<std::string>& names) {
  for (const std::string& name : names) Devices.erase(UpperCase(name));
}

void TEmulatedSystem::Clear() {
  // Sessions close (with their handles) before their devices go, and devices
  // before the modules that implement them are unloaded.
  Handles.clear();
  Devices.clear();
  while (!Drivers.empty()) Drivers.pop_back();
  Services.clear();
  Advapi32References = 0;
  Faults.clear();
  CallTrace.clear();
  Tracing = false;
  Family = TPlatformFamily::Nt;
  AnsiCodePage = CP_UTF8;
  NextHandle = FirstHandle;
  IoSpace = std::make_shared<TSimulatedIoSpace>();
}

TEmulatedSystem& EmulatedSystem() {
  static TEmulatedSystem system;
  return system;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string FormatHex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string FormatDec(std::uint64_t value) { return std::to_string(value); }

std::string FormatString(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

std::string FormatPointer(const void* pointer) {
  return pointer ? FormatHex(reinterpret_cast<std::uintptr_t>(pointer)) : "null";
}

std::string TTraceEntry::Text() const {
  std::string text = Function + "(";
  for (std::size_t i = 0; i < Args.size(); ++i) text += (i ? ", " : "") + Args[i];
  return text + ")";
}

TSimulatedIoSpace::TSimulatedIoSpace() : Ports_(0x10000, 0xFF) {}

BYTE TSimulatedIoSpace::In(WORD port) { return Ports_[port]; }

void TSimulatedIoSpace::Out(WORD port, BYTE value) { Ports_[port] = value; }

BYTE TSimulatedIoSpace::Peek(WORD port) const { return Ports_[port]; }

void TSimulatedIoSpace::Poke(WORD port, BYTE value) { Ports_[port] = value; }

std::unique_lock<std::recursive_mutex> LockSystem() {
  return std::unique_lock<std::recursive_mutex>(EmulatedSystem().Mutex);
}

}  // namespace emulation
