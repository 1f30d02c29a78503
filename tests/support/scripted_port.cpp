#include "scripted_port.h"

#include "request.h"

#include <cstdio>

using namespace lptwdmio;

namespace {

BYTE AddressOf(int slot, TRegister reg) { return BYTE(((slot + 1) << 4) | reg); }

}  // namespace

std::string TPortAccess::Text() const {
  char text[16];
  if (Write)
    std::snprintf(text, sizeof text, "W %02X %02X", Address, Value);
  else
    std::snprintf(text, sizeof text, "R %02X", Address);
  return text;
}

// The registers the driver's request handling reaches, logged as it reaches them.
class TScriptedPort::TBank : public TPortBank {
 public:
  explicit TBank(TScriptedPort& owner) : Owner_(owner) {}

  DWORD Acquire(int slot) override { return Owner_.Ports[slot].Held ? ERROR_BUSY : ERROR_SUCCESS; }
  DWORD Read(int slot, TRegister reg, BYTE& value) override {
    const BYTE address = AddressOf(slot, reg);
    const TFakePort& port = Owner_.Ports[slot];
    const BYTE dead = reg == RegisterData ? port.DeadDataLines : 0;
    value = port.Present ? BYTE(Owner_.RegisterAt(address) & ~dead) : AbsentValue;
    Owner_.Log.push_back({false, address, value});
    return ERROR_SUCCESS;
  }
  DWORD Write(int slot, TRegister reg, BYTE value) override {
    const BYTE address = AddressOf(slot, reg);
    if (!Owner_.Stuck.count(address)) Owner_.RegisterAt(address) = value;
    Owner_.Log.push_back({true, address, value});
    return ERROR_SUCCESS;
  }
  TPortQueryEntry Describe(int slot) const override {
    const TFakePort& port = Owner_.Ports[slot];
    if (!port.Present) return {0, 0, 0, 0};
    const int flags = PortPresent | (port.Simulated ? PortSimulated : 0) | (port.Base ? PortBaseKnown : 0) |
                      (port.Held ? PortHeld : 0);
    return {uint8_t(flags), port.SystemNumber, port.Base, port.Held ? port.Holder : 0};
  }

 private:
  TScriptedPort& Owner_;
};

TScriptedPort::TScriptedPort() : Bank_(std::make_unique<TBank>(*this)) {}

TScriptedPort::~TScriptedPort() = default;

DWORD TScriptedPort::Register() {
  emulation::TEmulatedDevice device;
  device.Open = [this](void** session) {
    *session = this;
    if (OpenError == ERROR_SUCCESS) ++OpenSessions;
    return OpenError;
  };
  device.Control = [this](void*, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                          DWORD* returned) { return Control(code, in, inLength, out, outLength, returned); };
  device.Close = [this](void*) { --OpenSessions; };
  return emulation::RegisterDevice("LptAccessAgent", device);
}

BYTE& TScriptedPort::RegisterAt(BYTE address) {
  TFakePort& port = Port(address & 0xF0);
  switch (address & 0x0F) {
    case RegisterData: return port.Data;
    case RegisterStatus: return port.Status;
    default: return port.Control;
  }
}

DWORD TScriptedPort::Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                             DWORD* returned) {
  ++Requests;
  if (Failing) return ERROR_GEN_FAILURE;
  if (code == IoctlQueryPorts && !AnswersQuery) return ERROR_INVALID_FUNCTION;
  const DWORD status = HandleRequest(*Bank_, code, in, inLength, out, outLength, returned);
  return Answer != ERROR_SUCCESS ? Answer : status;
}

std::vector<TPortAccess> TScriptedPort::Since(std::size_t mark) const {
  return {Log.begin() + std::ptrdiff_t(mark), Log.end()};
}

std::vector<TPortAccess> TScriptedPort::Writes(std::size_t mark) const {
  std::vector<TPortAccess> writes;
  for (const TPortAccess& access : Since(mark))
    if (access.Write) writes.push_back(access);
  return writes;
}

std::vector<std::string> TScriptedPort::LogText() const {
  std::vector<std::string> text;
  for (const TPortAccess& access : Log) text.push_back(access.Text());
  return text;
}
