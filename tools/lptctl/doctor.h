// lptctl doctor: why a port can or cannot be reached, each check with what it
// found and, where something is wrong, the command that puts it right.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lptctl {

enum class TSeverity { Ok, Note, Problem };

struct TFinding {
  TSeverity Severity;
  std::string Check;     // what was looked at
  std::string Finding;   // what was found
  std::string Fix = {};  // the command or step that helps; empty when none is needed
};

void PrintFindings(const std::vector<TFinding>& findings, std::ostream& out);

// What is wrong with a driver module's image; empty when it looks whole.
using TModuleImageCheck = std::string (*)(const std::string& path);

// Whether a driver module's image carries the signature the system asks for.
using TSignatureCheck = bool (*)(const std::string& path);

// Whether the driver module lies beside the executable, passes the
// platform's image check (when there is one) and, where the system asks for
// one, carries a signature.
TFinding CheckDriverFile(TModuleImageCheck imageCheck, TSignatureCheck signatureCheck = nullptr);

// Whether the driver loads and opens, and whether the ports it serves are
// real or simulated. realUsable is set when some present port is hardware.
std::vector<TFinding> CheckConnection(bool& realUsable);

// The platform's checks, then the connection's; 0 when a real port is usable.
int Doctor(std::ostream& out, std::ostream& err);

}  // namespace lptctl
