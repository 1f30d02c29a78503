// The three LPT slots as the driver sees them, whatever reaches the hardware.
#pragma once

#include "request_rules.h"
#include "winerrors.h"
#include "wintypes.h"

namespace lptwdmio {

static_assert(VerdictError(TRequestVerdict::Accept) == ERROR_SUCCESS &&
                  VerdictError(TRequestVerdict::UnknownCode) == ERROR_INVALID_FUNCTION &&
                  VerdictError(TRequestVerdict::InvalidParameter) == ERROR_INVALID_PARAMETER,
              "the verdicts' error codes are the system's");

enum TRegister { RegisterData = 0, RegisterStatus = 1, RegisterControl = 2 };

// What a slot without a port reads: the floating bus.
constexpr BYTE AbsentValue = 0xFF;

// Control bits 6 and 7 are not implemented by PC ports and read as 1.
constexpr BYTE ControlUnusedBits = 0xC0;
// Bit 5 turns the data lines around (input); bit 4 enables the interrupt.
constexpr BYTE ControlDirectionBit = 0x20;
constexpr BYTE ControlHighBits = 0x30;
constexpr BYTE ControlLineBits = 0x0F;

// Each call returns a Windows error code, 0 on success.
class TPortBank {
 public:
  virtual ~TPortBank() = default;
  // A session holds a port from the first request that touches it to its
  // end, as one program at a time holds a real one. ERROR_BUSY when another
  // holds it (within the bank's bound on waiting); a slot without a port is
  // always had.
  virtual DWORD Acquire(int) { return ERROR_SUCCESS; }
  // Around each batch: a bank whose registers other processes share takes
  // them here, whole, and hands them back at the end.
  virtual DWORD BeginBatch() { return ERROR_SUCCESS; }
  virtual DWORD EndBatch() { return ERROR_SUCCESS; }
  virtual DWORD Read(int slot, TRegister reg, BYTE& value) = 0;
  virtual DWORD Write(int slot, TRegister reg, BYTE value) = 0;
  // What the port query reports for the slot: present, simulated, base,
  // held by another. Holds nothing.
  virtual TPortQueryEntry Describe(int slot) const = 0;
  // The far side of a simulated port's cable (IoctlSimulatedInputs, already
  // checked): takes it when inputs.Change, and reports it back in inputs.
  // ERROR_NOT_SUPPORTED for a real or absent port, or a simulated one whose
  // inputs follow a loopback plug.
  virtual DWORD SimulatedInputs(TSimulatedInputs&) { return ERROR_NOT_SUPPORTED; }
  // Whether the system delivers the slot's interrupt (PortInterrupt).
  virtual bool HasInterrupt(int) const { return false; }
  // On a held port that HasInterrupt: sleeps at most timeoutMs for the
  // interrupt, then takes the count of those that came since the last call
  // and clears it.
  virtual DWORD WaitInterrupt(int, uint32_t, uint32_t&) { return ERROR_NOT_SUPPORTED; }
};

// Holds, in slot order, every port a checked batch names, before any
// register is touched: a batch that cannot have all its ports touches none.
inline DWORD AcquirePorts(TPortBank& bank, const uint8_t* pairs, uint32_t length) {
  bool named[SlotCount] = {};
  for (uint32_t i = 0; i < length; i += PairSize) named[SlotOfAddress(pairs[i])] = true;
  for (int slot = 0; slot < SlotCount; ++slot)
    if (named[slot])
      if (const DWORD status = bank.Acquire(slot); status != ERROR_SUCCESS) return status;
  return ERROR_SUCCESS;
}

// Serves a checked batch of address/value pairs in order, in place, inside
// the bank's batch, once its ports are held; the first failure ends it. Both
// drivers call this.
inline DWORD TransferPairs(TPortBank& bank, bool read, uint8_t* pairs, uint32_t length) {
  if (const DWORD status = AcquirePorts(bank, pairs, length); status != ERROR_SUCCESS) return status;
  if (const DWORD status = bank.BeginBatch(); status != ERROR_SUCCESS) return status;
  DWORD status = ERROR_SUCCESS;
  for (uint32_t i = 0; i < length && status == ERROR_SUCCESS; i += PairSize) {
    const int slot = SlotOfAddress(pairs[i]);
    const auto reg = TRegister(RegisterOfAddress(pairs[i]));
    status = read ? bank.Read(slot, reg, pairs[i + 1]) : bank.Write(slot, reg, pairs[i + 1]);
  }
  const DWORD ended = bank.EndBatch();
  return status != ERROR_SUCCESS ? status : ended;
}

// Serves a checked interrupt wait: holds the port, as a batch would, then
// waits; the reply is the count, little-endian. Both drivers call this.
inline DWORD ServeInterruptWait(TPortBank& bank, const TInterruptWait& wait, uint8_t reply[4]) {
  if (!IsValidInterruptWait(wait)) return ERROR_INVALID_PARAMETER;
  if (!bank.HasInterrupt(wait.Slot)) return ERROR_NOT_SUPPORTED;
  if (const DWORD status = bank.Acquire(wait.Slot); status != ERROR_SUCCESS) return status;
  uint32_t count = 0;
  if (const DWORD status = bank.WaitInterrupt(wait.Slot, wait.Timeout(), count); status != ERROR_SUCCESS)
    return status;
  for (int i = 0; i < 4; ++i) reply[i] = uint8_t(count >> (8 * i));
  return ERROR_SUCCESS;
}

// The port query's reply, one entry per slot.
inline TPortQueryReply DescribePorts(const TPortBank& bank) {
  TPortQueryReply reply{};
  for (int slot = 0; slot < SlotCount; ++slot) reply.Ports[slot] = bank.Describe(slot);
  return reply;
}

}  // namespace lptwdmio
