// lptctl's command line: the subcommands, their usage and their exit codes.
#pragma once

#include "wintypes.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace lptctl {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

// args are the arguments after the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Says message and the command's synopsis on err; returns ExitUsage.
int UsageError(const std::string& message, const std::string& usage, std::ostream& err);
// The port a word names, or nothing after a usage error on err.
std::optional<BYTE> PortArgument(const std::string& text, const std::string& usage, std::ostream& err);

}  // namespace lptctl
