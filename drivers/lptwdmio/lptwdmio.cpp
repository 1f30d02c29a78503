// Entry point of the port-access driver module: serves "LptAccessAgent".
#include "backend.h"
#include "driver_abi.h"
#include "request.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace lptwdmio {

namespace {

constexpr const char* DeviceName = "LptAccessAgent";

// The module stays loaded for the life of the process, and so does this.
TMessages& ProcessMessages() {
  static TMessages messages(std::cerr);
  return messages;
}

uint32_t OpenDevice(void* context, void** session) {
  return Guarded(
      ProcessMessages().Out, [] { return "opening a session of the device"; },
      [&]() -> uint32_t {
        auto& driver = *static_cast<TDriverState*>(context);
        auto opened = std::make_unique<TSession>(driver);
        TMessages& messages = ProcessMessages();
        const DWORD status = OpenSession(TBackendConfig::FromEnvironment(messages), *opened, messages);
        if (status == ERROR_SUCCESS) *session = opened.release();
        return status;
      });
}

uint32_t ControlDevice(void* session, uint32_t code, const void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* returned) {
  const auto what = [code] {
    char text[40];
    std::snprintf(text, sizeof text, "serving request 0x%X", unsigned(code));
    return std::string(text);
  };
  return Guarded(ProcessMessages().Out, what, [&]() -> uint32_t {
    auto& opened = *static_cast<TSession*>(session);
    // Another session's batch may run meanwhile: the ports it touches are its own.
    std::lock_guard<std::mutex> lock(opened.Mutex);
    return HandleRequest(*opened.Bank, code, in, inLength, out, outLength, returned);
  });
}

void CloseDevice(void* session) { std::unique_ptr<TSession> closed(static_cast<TSession*>(session)); }

void UnloadDriver(void* context) { std::unique_ptr<TDriverState> state(static_cast<TDriverState*>(context)); }

}  // namespace

}  // namespace lptwdmio

extern "C" __attribute__((visibility("default"))) uint32_t DriverEntry(PinlarkDriverObject* driver) {
  using namespace lptwdmio;
  if (!driver || driver->AbiVersion != PINLARK_DRIVER_ABI_VERSION || !driver->RegisterDevice)
    return ERROR_INVALID_PARAMETER;
  return Guarded(
      ProcessMessages().Out, [] { return "starting the driver"; },
      [&]() -> uint32_t {
        auto state = std::make_unique<TDriverState>();
        const PinlarkDeviceOps ops{state.get(), &OpenDevice, &ControlDevice, &CloseDevice};
        if (const uint32_t status = driver->RegisterDevice(driver->Host, DeviceName, &ops);
            status != ERROR_SUCCESS)
          return status;
        driver->DriverContext = state.release();
        driver->Unload = &UnloadDriver;
        return ERROR_SUCCESS;
      });
}
