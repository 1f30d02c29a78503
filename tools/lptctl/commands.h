// lptctl's command line: the subcommands, their usage and their exit codes.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lptctl {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

// args are the arguments after the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lptctl
