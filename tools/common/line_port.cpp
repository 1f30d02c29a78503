#include "line_port.h"

#include "winapi.h"

namespace lptctl {

bool LineValue(const TLine& line, const TRegisters& registers, TLineValue sense) {
  return sense == TLineValue::Pin ? line.PinHigh(registers) : line.BitSet(registers);
}

bool PortPresent(const TLptPortConnection& connection, BYTE port) {
  switch (port) {
    case PortLpt1: return connection.Lpt1Present();
    case PortLpt2: return connection.Lpt2Present();
    case PortLpt3: return connection.Lpt3Present();
  }
  return false;
}

DWORD TLinePort::Read(TRegisters& registers) {
  std::lock_guard lock(Mutex_);
  PortIoPair pairs[] = {
      {BYTE(Port_ | RegData), 0}, {BYTE(Port_ | RegStatus), 0}, {BYTE(Port_ | RegControl), 0}};
  if (!Connection_.ReadPairs(pairs, 3)) return GetLastError();
  registers = {pairs[0].Value, pairs[1].Value, pairs[2].Value};
  return ERROR_SUCCESS;
}

DWORD TLinePort::ReadOne(BYTE offset, BYTE& value) {
  PortIoPair pair{BYTE(Port_ | offset), 0};
  if (!Connection_.ReadPairs(&pair, 1)) return GetLastError();
  value = pair.Value;
  return ERROR_SUCCESS;
}

DWORD TLinePort::WriteOne(BYTE offset, BYTE value) {
  return Connection_.WriteRegister(Port_, offset, value) ? ERROR_SUCCESS : GetLastError();
}

// Under the lock: read, change the bits in mask, write.
DWORD TLinePort::ChangeControl(BYTE mask, BYTE bits) {
  BYTE current = 0;
  if (const DWORD status = ReadOne(RegControl, current)) return status;
  return WriteOne(RegControl, ControlWithLines(current, BYTE((current & ~mask) | (bits & mask))));
}

DWORD TLinePort::Drive(const TLine& line, bool value, TLineValue sense) {
  if (!line.Output) return ERROR_INVALID_PARAMETER;
  const bool bit = sense == TLineValue::Pin ? value != line.Inverted : value;
  const BYTE bits = bit ? line.Bit : BYTE(0);
  std::lock_guard lock(Mutex_);
  if (line.Register == TRegisterKind::Control) return ChangeControl(line.Bit, bits);
  BYTE data = 0;
  if (const DWORD status = ReadOne(RegData, data)) return status;
  return WriteOne(RegData, BYTE((data & ~line.Bit) | bits));
}

DWORD TLinePort::WriteData(BYTE value) {
  std::lock_guard lock(Mutex_);
  return WriteOne(RegData, value);
}

DWORD TLinePort::WriteControlLines(BYTE value) {
  std::lock_guard lock(Mutex_);
  return ChangeControl(0x0F, value);
}

DWORD TLinePort::WaitInterrupt(std::chrono::milliseconds timeout, DWORD& count) {
  return Connection_.WaitInterrupt(Port_, DWORD(timeout.count()), count) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace lptctl
