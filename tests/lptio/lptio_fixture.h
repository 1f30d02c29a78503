// Shared pieces of the port-access tests: the scripted device standing in
// for the driver, and trace matching against the emulation's call record.
#pragma once

#include "LPTIO.h"
#include "emulation_control.h"
#include "scripted_port.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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
    // Three ports of plain latches: every data register echoes.
    for (TFakePort& port : Port.Ports) port = {.Present = true, .Status = 0x78, .Control = 0x00};
  }
  void TearDown() override { emulation::Reset(); }
  void RegisterPort() { ASSERT_EQ(Port.Register(), 0u); }

  TScriptedPort Port;
};

extern const char* const OpenCall;
extern const std::set<std::string> ErrorCalls;
