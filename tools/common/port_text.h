// Words the command-line tools share about the port connection: what a
// failed start means and what to do, and what kind of port answered.
#pragma once

#include <string>

#include "LPTIO.h"

// What a failed connection's code means and the fix, naming the program the
// driver module should lie beside; empty for a code without advice of its own.
std::string ConnectionAdvice(DWORD code, const std::string& program);

// What to do when the driver folder's name cannot be passed to the service
// manager (characters outside the ANSI code page, no 8.3 name).
std::string FolderNameAdvice(const std::string& program);

// A port base as "0x378".
std::string BaseText(unsigned base);

// " simulated", " base=0x378" or " base=0x378 windows=LPT1" (the name the
// system itself gives the port) after a present port's registers; empty when
// the port is absent or the driver did not say.
std::string PortKindText(const TLptPortReport& report);

// Who holds a port another program holds: "held by pid 4242 (pinlark)", or
// "held by another program" when the driver could not tell.
std::string HolderText(const TLptPortReport& report);

// What a look at one port found.
struct TPortLook {
  enum TState { Absent, Held, Read, Failed } State = Absent;
  TLptPortReport Report;
  BYTE Data = 0, Status = 0, Control = 0;  // when Read
  DWORD Error = 0;                         // when Failed
};

// The probe's line: "LPT1 present data=00 status=87 control=CC simulated",
// "LPT2 held by pid 4242 (pinlark) simulated", "LPT3 absent", or
// "LPT2 present error 50".
std::string PortLine(const std::string& name, const TPortLook& look);
