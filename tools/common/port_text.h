// Words the command-line tools share about the port connection: what a
// failed start means and what to do, and what kind of port answered.
#pragma once

#include <string>

#include "LPTIO.h"

// What a failed connection's code means and the fix, naming the program the
// driver module should lie beside; empty for a code without advice of its own.
std::string ConnectionAdvice(DWORD code, const std::string& program);

// The same for a connection that is not usable, first looking at why: a
// driver folder whose name the service manager cannot take (characters
// outside the ANSI code page, no 8.3 name) fails with the plain "file not
// found", which alone would send the user looking for the file.
std::string ConnectionAdvice(const TLptPortConnection& connection, DWORD code, const std::string& program);
// What that case means and what to do.
std::string FolderNameAdvice(const std::string& program);

// A port base as "0x378".
std::string BaseText(unsigned base);

// " simulated" or " base=0x378" after a present port's registers; empty when
// the port is absent or the driver did not say.
std::string PortKindText(const TLptPortReport& report);
