// lptctl sim: the far end of a simulated port's cable, what the device
// plugged into it drives on the five status inputs.
#pragma once

#include "LPTIO.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lptctl {

extern const std::string SimUsage;

// One LINE=0|1|float word applied to side; false, with the problem said,
// when it is no such thing.
bool ApplyFarSide(std::string_view word, TLptFarSide& side, std::string& problem);
// "LPT2 ERR(15)=float SEL(13)=float PE(12)=float ACK(10)=0 BUSY(11)=1"
std::string FarSideText(BYTE port, const TLptFarSide& side);

int SimCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lptctl
