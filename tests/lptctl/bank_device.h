// Registers the "LptAccessAgent" device over a bank of the test's own, served
// by the driver's own request handling.
#pragma once

#include "emulation_control.h"
#include "request.h"

// 0 or the emulation's error. The bank must outlive the registration.
inline DWORD RegisterBankDevice(lptwdmio::TPortBank& bank) {
  emulation::TEmulatedDevice device;
  device.Open = [](void** session) {
    *session = nullptr;
    return DWORD(ERROR_SUCCESS);
  };
  device.Control = [&bank](void*, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                           DWORD* returned) {
    return lptwdmio::HandleRequest(bank, code, in, inLength, out, outLength, returned);
  };
  device.Close = [](void*) {};
  return emulation::RegisterDevice("LptAccessAgent", device);
}
