// One port's lines over the port connection, as lptctl and the scripting
// library drive them. Every call is whole: threads sharing a port never undo
// each other's changes, and changing a line touches no other bit.
#pragma once

#include "LPTIO.h"
#include "lines.h"

#include <chrono>
#include <mutex>

namespace lptctl {

// What a line's value means: the level at the pin, or its register bit (the
// two differ on the lines the port inverts).
enum class TLineValue { Pin, Bit };

bool LineValue(const TLine& line, const TRegisters& registers, TLineValue sense);

// Whether the connection found the port (LPT1-LPT3 by prefix) at its start.
bool PortPresent(const TLptPortConnection& connection, BYTE port);

// Control bits 4-7 (interrupt, data direction) as the port has them, the four
// line bits from value: how every control write is made.
constexpr BYTE ControlWithLines(BYTE current, BYTE value) { return BYTE((current & 0xF0) | (value & 0x0F)); }

// Each call returns 0 or the connection's Windows error code.
class TLinePort {
 public:
  TLinePort(TLptPortConnection& connection, BYTE port) : Connection_(connection), Port_(port) {}
  TLinePort(const TLinePort&) = delete;
  TLinePort& operator=(const TLinePort&) = delete;

  BYTE Port() const { return Port_; }

  // The three registers in one batch.
  DWORD Read(TRegisters& registers);
  // Reads the output line's register and writes it back with only the line
  // changed to value.
  DWORD Drive(const TLine& line, bool value, TLineValue sense);
  DWORD WriteData(BYTE value);
  // The four line bits; bits 4-7 stay as the port has them.
  DWORD WriteControlLines(BYTE value);
  // Sleeps at most timeout (up to a second) for the port's interrupt; count
  // gets how many came since the last call. Outside the lock: it touches no
  // register, and another thread's read need not wait for it.
  DWORD WaitInterrupt(std::chrono::milliseconds timeout, DWORD& count);

 private:
  DWORD ReadOne(BYTE offset, BYTE& value);
  DWORD WriteOne(BYTE offset, BYTE value);
  DWORD ChangeControl(BYTE mask, BYTE bits);

  TLptPortConnection& Connection_;
  const BYTE Port_;
  std::mutex Mutex_;
};

}  // namespace lptctl
