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
// the loopback plug wires D0-D4 to them; otherwise the far end drives some
// and the rest float high.
BYTE TSimulatedBank::Status(const TPort& port) {
  const BYTE farSide = BYTE((port.FarLevels | ~port.FarDriven) & InputsFloating);
  const BYTE inputs = port.Loopback ? BYTE(DataLines(port) & InputsFloating) : farSide;
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

DWORD TSimulatedBank::Acquire(int slot) {
  TPort& port = Ports_.Ports[slot];
  if (!port.Present || Holds_[slot]) return ERROR_SUCCESS;
  if (port.Holder) return ERROR_BUSY;
  port.Holder = this;
  port.HolderProcess = Process_;
  Holds_[slot] = true;
  return ERROR_SUCCESS;
}

void TSimulatedBank::Release() {
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (!Holds_[slot]) continue;
    Ports_.Ports[slot].Holder = nullptr;
    Ports_.Ports[slot].HolderProcess = 0;
    Holds_[slot] = false;
  }
}

// A simulated port has no I/O base, nothing on the machine answers there,
// and the system has no name of its own for it.
TPortQueryEntry TSimulatedBank::Describe(int slot) const {
  const TPort& port = Ports_.Ports[slot];
  if (!port.Present) return {0, 0, 0, 0};
  const bool heldByOther = port.Holder && port.Holder != this;
  const uint8_t flags = uint8_t(PortPresent | PortSimulated | (port.Loopback ? PortLoopback : 0) |
                                (heldByOther ? PortHeld : 0));
  return {flags, 0, 0, heldByOther ? port.HolderProcess : 0};
}

// As a device plugged into a real port, the far end needs no holding of it.
DWORD TSimulatedBank::SimulatedInputs(TSimulatedInputs& inputs) {
  TPort& port = Ports_.Ports[inputs.Slot];
  if (!port.Present || port.Loopback) return ERROR_NOT_SUPPORTED;
  if (inputs.Change) {
    port.FarDriven = inputs.Driven;
    port.FarLevels = inputs.Levels;
  }
  inputs.Driven = port.FarDriven;
  inputs.Levels = port.FarLevels;
  return ERROR_SUCCESS;
}

}  // namespace lptwdmio
