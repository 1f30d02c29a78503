#include "simulated_bank.h"

namespace lptwdmio {

namespace {

// Status bits 0-2 are not implemented and read 1; BUSY (bit 7) reads inverted.
constexpr BYTE StatusUnusedBits = 0x07;
constexpr BYTE StatusBusyBit = 0x80;
constexpr BYTE InputsFloating = 0x1F;

}  // namespace

// With the data lines turned to input nothing drives them and they float high.
BYTE TSimulatedBank::DataLines(const TPort& port) {
  return (port.Control & ControlDirectionBit) ? 0xFF : port.Data;
}

// The five inputs ERR, SEL, PE, ACK, BUSY as pin levels, packed low to high;
// the loopback plug wires D0-D4 to them, an open socket lets them float high.
BYTE TSimulatedBank::Status(const TPort& port) {
  const BYTE inputs = port.Loopback ? BYTE(DataLines(port) & InputsFloating) : InputsFloating;
  const BYTE busy = (inputs & 0x10) ? 0x00 : StatusBusyBit;
  return BYTE(StatusUnusedBits | ((inputs & 0x0F) << 3) | busy);
}

DWORD TSimulatedBank::Read(int slot, TRegister reg, BYTE& value) {
  const TPort& port = Ports_.Ports[slot];
  if (!port.Present) {
    value = AbsentValue;
    return ERROR_SUCCESS;
  }
  switch (reg) {
    case RegisterData: value = DataLines(port); break;
    case RegisterStatus: value = Status(port); break;
    case RegisterControl: value = BYTE(ControlUnusedBits | port.Control); break;
  }
  return ERROR_SUCCESS;
}

DWORD TSimulatedBank::Write(int slot, TRegister reg, BYTE value) {
  TPort& port = Ports_.Ports[slot];
  if (!port.Present) return ERROR_SUCCESS;
  if (reg == RegisterData)
    port.Data = value;
  else if (reg == RegisterControl)
    port.Control = BYTE(value & ~ControlUnusedBits);
  // The status register is read-only; a write to it goes nowhere, as on hardware.
  return ERROR_SUCCESS;
}

// A simulated port has no I/O base: nothing on the machine answers there.
TPortQueryEntry TSimulatedBank::Describe(int slot) const {
  return {Ports_.Ports[slot].Present ? uint8_t(PortPresent | PortSimulated) : uint8_t(0), 0, 0, 0};
}

}  // namespace lptwdmio
