// Shared pieces of the port-access tests: a scripted device standing in for
// the driver, and trace matching against the emulation's call record.
#pragma once

#include "LPTIO.h"
#include "emulation_control.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

// Registers addressed by PortAddress. Reads return the register; writes store
// unless the register is stuck. Every access is logged as "R 10" or "W 10 55".
class TScriptedPort {
 public:
  TScriptedPort();
  emulation::TEmulatedDevice Device();

  std::array<BYTE, 256> Registers{};
  std::set<BYTE> Stuck;
  std::vector<std::string> Log;
  DWORD Status = ERROR_SUCCESS;  // what every request answers
  DWORD OpenStatus = ERROR_SUCCESS;
  int OpenSessions = 0;

 private:
  DWORD Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD* returned);
};

// Calls of the trace named in functions (all when empty), as text.
std::vector<std::string> TraceText(const std::set<std::string>& functions = {});
std::vector<std::string> TraceWithout(const std::set<std::string>& functions);
// Texts equal, except that "*" in an expected argument matches anything.
bool CallMatches(const std::string& actual, const std::string& expected);
void ExpectCalls(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

class LptioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulation::Reset();
    emulation::SetTracing(true);
  }
  void TearDown() override { emulation::Reset(); }
  void RegisterPort() { ASSERT_EQ(emulation::RegisterDevice("LptAccessAgent", Port.Device()), 0u); }

  TScriptedPort Port;
};

extern const char* const OpenCall;
extern const std::set<std::string> ErrorCalls;
