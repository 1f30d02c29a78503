// The words lptctl's line commands take, and the usage error every command
// reports the same way.
#pragma once

#include "wintypes.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lptctl {

using TArguments = std::vector<std::string>;

// The message and the command's synopsis (its usage's first line); returns
// the usage exit status.
int UsageError(const std::string& message, const std::string& usage, std::ostream& err);

// A port or a usage error on err.
std::optional<BYTE> PortArgument(const std::string& text, const std::string& usage, std::ostream& err);

// A plain decimal ("250", "0.5": no sign, exponent or hexadecimal) with at
// most `decimals` digits after the point, in units of 10^-decimals, at most
// limit of them.
std::optional<std::uint64_t> PlainDecimal(std::string_view text, int decimals, std::uint64_t limit);

// --name VALUE or --name=VALUE at args[i], i moved past it; false when the
// value is missing.
bool OptionValue(const TArguments& args, std::size_t& i, std::string& option, std::string& value);

}  // namespace lptctl
