// lptctl get, wait and pulse: lines for shell scripts. get prints levels as
// 0 and 1, wait returns when lines reach levels or make edges, pulse drives
// timed pulses on one line and says how long they really were.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lptctl {

extern const std::string GetUsage;
extern const std::string WaitUsage;
extern const std::string PulseUsage;

int GetCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int WaitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PulseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lptctl
