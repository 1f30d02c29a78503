#include "simulated_bank.h"

namespace lptwdmio {

namespace {

// Status bits 0-2 are not implemented and read 1; BUSY (bit 7) reads inverted.
constexpr BYTE StatusUnusedBits = 0x07;
constexpr BYTE StatusBusyBit = 0x80;

// With the data lines turned to input nothing drives them and they float high.
BYTE DataLines(const TSimulatedLatches& latches) {
  return (latches.Control & ControlDirectionBit) ? 0xFF : latches.Data;
}

// The five inputs ERR, SEL, PE, ACK, BUSY as pin levels, low to high.
BYTE InputLevels(TSimulatedKind kind, const TSimulatedLatches& latches, const TSimulatedFarSide& far) {
  if (kind == TSimulatedKind::Loopback) return BYTE(DataLines(latches) & SimulatedInputLines);
  const BYTE driven = far.Driven & SimulatedInputLines;
  return BYTE((SimulatedInputLines & ~driven) | (far.Levels & driven));
}

BYTE Status(BYTE inputs) {
  const BYTE busy = (inputs & 0x10) ? 0x00 : StatusBusyBit;
  return BYTE(StatusUnusedBits | ((inputs & 0x0F) << 3) | busy);
}

}  // namespace

BYTE ReadSimulated(TSimulatedKind kind, const TSimulatedLatches& latches, const TSimulatedFarSide& far,
                   TRegister reg) {
  if (kind == TSimulatedKind::Absent) return AbsentValue;
  switch (reg) {
    case RegisterData: return DataLines(latches);
    case RegisterStatus: return Status(InputLevels(kind, latches, far));
    case RegisterControl: return BYTE(ControlUnusedBits | latches.Control);
  }
  return AbsentValue;
}

bool WriteSimulated(TSimulatedKind kind, TSimulatedLatches& latches, TRegister reg, BYTE value) {
  if (kind == TSimulatedKind::Absent) return false;
  if (reg == RegisterData)
    latches.Data = value;
  else if (reg == RegisterControl)
    latches.Control = BYTE(value & ~ControlUnusedBits);
  // The status register is read-only; a write to it goes nowhere, as on hardware.
  return reg != RegisterStatus;
}

// A simulated port has no I/O base: nothing on the machine answers there.
TPortQueryEntry DescribeSimulated(TSimulatedKind kind) {
  if (kind == TSimulatedKind::Absent) return {0, 0, 0, 0};
  const int flags = PortPresent | PortSimulated | (kind == TSimulatedKind::Loopback ? PortLoopback : 0);
  return {uint8_t(flags), 0, 0, 0};
}

DWORD TSimulatedBank::Acquire(int slot) {
  TSimulatedPorts::TPort& port = Ports_.Ports[slot];
  if (SimulatedKinds[slot] == TSimulatedKind::Absent || Holds_[slot]) return ERROR_SUCCESS;
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

TPortQueryEntry TSimulatedBank::Describe(int slot) const {
  TPortQueryEntry entry = DescribeSimulated(SimulatedKinds[slot]);
  const TSimulatedPorts::TPort& port = Ports_.Ports[slot];
  if (port.Holder && port.Holder != this) {
    entry.Flags |= PortHeld;
    entry.Holder = port.HolderProcess;
  }
  return entry;
}

DWORD TSimulatedBank::Read(int slot, TRegister reg, BYTE& value) {
  const TSimulatedPorts::TPort& port = Ports_.Ports[slot];
  value = ReadSimulated(SimulatedKinds[slot], port.Latches, port.FarSide, reg);
  return ERROR_SUCCESS;
}

DWORD TSimulatedBank::Write(int slot, TRegister reg, BYTE value) {
  WriteSimulated(SimulatedKinds[slot], Ports_.Ports[slot].Latches, reg, value);
  return ERROR_SUCCESS;
}

DWORD TSimulatedBank::SimulatedInputs(TSimulatedInputs& inputs) {
  if (SimulatedKinds[inputs.Slot] != TSimulatedKind::Open) return ERROR_NOT_SUPPORTED;
  TSimulatedFarSide& far = Ports_.Ports[inputs.Slot].FarSide;
  if (inputs.Change) far = {inputs.Driven, inputs.Levels};
  inputs.Driven = far.Driven;
  inputs.Levels = far.Levels;
  return ERROR_SUCCESS;
}

}  // namespace lptwdmio
