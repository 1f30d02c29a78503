// Words the command-line tools share about the port connection: what a
// failed start means and what to do, and what kind of port answered.
#pragma once

#include <string>

#include "LPTIO.h"

// What a failed connection's code means and the fix, naming the program the
// driver module should lie beside; empty for a code without advice of its own.
std::string ConnectionAdvice(DWORD code, const std::string& program);

// A port base as "0x378".
std::string BaseText(unsigned base);

// " simulated" or " base=0x378" after a present port's registers; empty when
// the port is absent or the driver did not say.
std::string PortKindText(const TLptPortReport& report);
