#include "arguments.h"

#include "commands.h"
#include "lines.h"

#include <ostream>

namespace lptctl {

int UsageError(const std::string& message, const std::string& usage, std::ostream& err) {
  err << "lptctl: " << message << '\n' << usage.substr(0, usage.find('\n') + 1);
  return ExitUsage;
}

std::optional<BYTE> PortArgument(const std::string& text, const std::string& usage, std::ostream& err) {
  const std::optional<BYTE> port = ParsePort(text);
  if (!port) UsageError("'" + text + "' is no port; use LPT1, LPT2, LPT3 or 1-3", usage, err);
  return port;
}

std::optional<std::uint64_t> PlainDecimal(std::string_view text, int decimals, std::uint64_t limit) {
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  const auto digits = [](std::string_view part) { return part.find_first_not_of("0123456789") == part.npos; };
  if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction) ||
      fraction.size() > std::size_t(decimals))
    return std::nullopt;
  std::uint64_t value = 0;
  for (const char digit :
       std::string(whole) + std::string(fraction) + std::string(decimals - fraction.size(), '0')) {
    value = value * 10 + std::uint64_t(digit - '0');
    if (value > limit) return std::nullopt;
  }
  return value;
}

bool OptionValue(const TArguments& args, std::size_t& i, std::string& option, std::string& value) {
  option = args[i];
  if (const auto equals = option.find('='); equals != std::string::npos) {
    value = option.substr(equals + 1);
    option.resize(equals);
    return true;
  }
  if (i + 1 >= args.size()) return false;
  value = args[++i];
  return true;
}

}  // namespace lptctl
