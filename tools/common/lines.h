// The lines of the 25-pin connector as lptctl names them: which register bit
// carries each, on which pin, and whether the port inverts it on the way.
#pragma once

#include "wintypes.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lptctl {

enum class TRegisterKind { Data, Status, Control };

struct TRegisters {
  BYTE Data = 0;
  BYTE Status = 0;
  BYTE Control = 0;
  friend bool operator==(const TRegisters&, const TRegisters&) = default;
};

struct TLine {
  const char* Name;
  TRegisterKind Register;
  BYTE Bit;       // the line's bit in its register
  int Pin;        // connector pin
  bool Inverted;  // the pin is the complement of the bit
  bool Output;

  BYTE RegisterValue(const TRegisters& registers) const;
  bool BitSet(const TRegisters& registers) const { return RegisterValue(registers) & Bit; }
  // The level on the connector: what a meter on the pin would show.
  bool PinHigh(const TRegisters& registers) const { return BitSet(registers) != Inverted; }
  // The name a waveform viewer shows, e.g. "LF_CR_pin14".
  std::string WireName() const;
};

// Data D0-D7, control STR, LF/CR, INIT, SELIN, status ERR, SEL, PE, ACK, BUSY.
std::span<const TLine> Lines();
std::span<const TLine> DataLines();    // D0-D7
std::span<const TLine> StatusLines();  // ERR, SEL, PE, ACK, BUSY: what a loopback plug ties D0-D4 to

// Names match in any case: d0, lpt1, Rising.
bool SameText(std::string_view a, std::string_view b);

// A line by name (any case; LF for LF/CR) or by connector pin number.
const TLine* FindLine(std::string_view word);
// "D0-D7 (pins 2-9), STR (1), LF/CR or LF (14), INIT (16), SELIN (17)".
std::string OutputLineList();

// LPT1, LPT2, LPT3 (any case) or 1-3: the port's prefix, 0x10, 0x20, 0x30.
std::optional<BYTE> ParsePort(std::string_view word);
std::string PortName(BYTE prefix);

// A register value in hexadecimal, as the window shows and takes it ("A5",
// "a5", "0xA5").
std::optional<BYTE> ParseByte(std::string_view word);
// Two upper-case hexadecimal digits.
std::string Hex2(BYTE value);
// "data=.. status=.. control=..", the registers as every command prints them.
std::string RegisterText(const TRegisters& registers);

}  // namespace lptctl
