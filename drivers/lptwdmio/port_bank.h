// The three LPT slots as the driver sees them, whatever reaches the hardware.
#pragma once

#include "request_rules.h"
#include "winerrors.h"
#include "wintypes.h"

namespace lptwdmio {

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
  // Around each batch: a bank whose registers other processes share takes
  // them here, whole, and hands them back at the end.
  virtual DWORD BeginBatch() { return ERROR_SUCCESS; }
  virtual DWORD EndBatch() { return ERROR_SUCCESS; }
  virtual DWORD Read(int slot, TRegister reg, BYTE& value) = 0;
  virtual DWORD Write(int slot, TRegister reg, BYTE value) = 0;
  // What the port query reports for the slot: present, simulated, base.
  virtual TPortQueryEntry Describe(int slot) const = 0;
};

}  // namespace lptwdmio
