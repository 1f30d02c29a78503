#include "lptio_fixture.h"

const char* const OpenCall = R"(CreateFileA("\\.\LptAccessAgent", 0xC0000000, 3, null, 3, 0x80, null))";
const std::set<std::string> ErrorCalls = {"SetLastError", "GetLastError"};

std::vector<std::string> TraceText(const std::set<std::string>& functions) {
  std::vector<std::string> calls;
  for (const auto& entry : emulation::Trace())
    if (functions.empty() || functions.count(entry.Function)) calls.push_back(entry.Text());
  return calls;
}

std::vector<std::string> TraceWithout(const std::set<std::string>& functions) {
  std::vector<std::string> calls;
  for (const auto& entry : emulation::Trace())
    if (!functions.count(entry.Function)) calls.push_back(entry.Text());
  return calls;
}

namespace {

// "*" stands for any run of characters within one argument.
bool WildcardMatch(const std::string& actual, std::size_t a, const std::string& expected, std::size_t e) {
  if (e == expected.size()) return a == actual.size();
  if (expected[e] != '*')
    return a < actual.size() && actual[a] == expected[e] && WildcardMatch(actual, a + 1, expected, e + 1);
  for (std::size_t end = a;; ++end) {
    if (WildcardMatch(actual, end, expected, e + 1)) return true;
    if (end == actual.size() || actual[end] == ',' || actual[end] == ')') return false;
  }
}

}  // namespace

bool CallMatches(const std::string& actual, const std::string& expected) {
  return WildcardMatch(actual, 0, expected, 0);
}

void ExpectCalls(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  const std::size_t common = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i)
    EXPECT_TRUE(CallMatches(actual[i], expected[i]))
        << "call " << i << ": " << actual[i] << "\n expected: " << expected[i];
  EXPECT_EQ(actual.size(), expected.size());
  for (std::size_t i = common; i < actual.size(); ++i)
    ADD_FAILURE() << "unexpected call " << i << ": " << actual[i];
  for (std::size_t i = common; i < expected.size(); ++i)
    ADD_FAILURE() << "missing call " << i << ": " << expected[i];
}
