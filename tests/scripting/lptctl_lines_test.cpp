// The built lptctl's get, wait and pulse on the driver module's simulated
// ports, a bank of each test's own; the far end of a cable is driven from
// here while a wait runs.
#include "LPTIO.h"
#include "test_support.h"
#include "winapi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sstream>

namespace {

using namespace pinlark::testsupport;

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// "0.412007 ACK=0": seconds with six decimals, then rest.
bool SecondsThen(const std::string& line, const std::string& rest) {
  const std::size_t point = line.find('.');
  return point != std::string::npos && point > 0 && line.size() == point + 7 + rest.size() &&
         line.find_first_not_of("0123456789") == point &&
         line.substr(point + 1, 6).find_first_not_of("0123456789") == std::string::npos &&
         line.substr(point + 7) == rest;
}

class LptctlLinesTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("LPTWDMIO_BACKEND", "simulated", 1); }
  void TearDown() override { ::unsetenv("LPTWDMIO_BACKEND"); }
  TRun Lptctl(const std::string& args) { return RunCommand(std::string(LPTCTL_PATH) + " " + args); }
};

TEST_F(LptctlLinesTest, GetPrintsPinLevelsOrRegisterBitsInAnyCase) {
  ASSERT_EQ(Lptctl("set LPT1 D0 STR").ExitCode, 0);  // D0 drives ERR through the loopback plug
  const TRun levels = Lptctl("get lpt1 d0 err Str 11");
  EXPECT_EQ(levels.ExitCode, 0) << levels.Errors;
  EXPECT_EQ(levels.Output, "1 1 0 0\n");  // STR's set bit is a low pin; BUSY (pin 11) follows D4, low
  EXPECT_EQ(Lptctl("get 1 D0 ERR STR BUSY --register").Output, "1 1 1 1\n");
  EXPECT_EQ(Lptctl("get LPT3 D0").ExitCode, 1);
}

TEST_F(LptctlLinesTest, WaitReturnsAtOnceForALevelAndTimesOutForAnEdge) {
  const TRun level = Lptctl("wait LPT1 ERR=0 busy=low");
  EXPECT_EQ(level.ExitCode, 0) << level.Errors;
  ASSERT_EQ(LinesOf(level.Output).size(), 1u) << level.Output;
  EXPECT_TRUE(SecondsThen(LinesOf(level.Output)[0], " ERR=0 BUSY=0")) << level.Output;
  EXPECT_EQ(level.Output.rfind("0.0", 0), 0u) << level.Output;
  const TRun edge = Lptctl("wait LPT1 ERR=rising --timeout 0.05");
  EXPECT_EQ(edge.ExitCode, 1);
  EXPECT_EQ(edge.Output, "");
  EXPECT_NE(edge.Errors.find("lptctl: timed out after 0.0"), std::string::npos) << edge.Errors;
  EXPECT_NE(edge.Errors.find(" s waiting for ERR=rising (ERR=0)\n"), std::string::npos) << edge.Errors;
}

// Drives ACK from the far end of LPT2's cable, which needs no holding of
// the port, until the waiting program returns.
TEST_F(LptctlLinesTest, WaitSeesAnEdgeMadeWhileItRuns) {
  TLptPortConnection cable(TLptConnectionOptions{false, ""});
  ASSERT_TRUE(cable.IsUsable());
  TLptFarSide side{0x08, 0x08};  // ACK (bit 3) driven high
  ASSERT_TRUE(cable.SimulatedInputs(PortLpt2, side, true)) << GetLastError();
  auto wait = std::async(std::launch::async, [&] { return Lptctl("wait LPT2 ACK=falling --timeout 20"); });
  bool low = false;
  while (wait.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
    low = !low;
    TLptFarSide levels{0x08, BYTE(low ? 0x00 : 0x08)};
    ASSERT_TRUE(cable.SimulatedInputs(PortLpt2, levels, true));
  }
  const TRun run = wait.get();
  EXPECT_EQ(run.ExitCode, 0) << run.Errors;
  ASSERT_EQ(LinesOf(run.Output).size(), 1u) << run.Output;
  EXPECT_TRUE(SecondsThen(LinesOf(run.Output)[0], " ACK=0")) << run.Output;
}

TEST_F(LptctlLinesTest, PulseLeavesEveryOtherBitAndReportsItsTiming) {
  ASSERT_EQ(Lptctl("write LPT1 data 81").ExitCode, 0);
  ASSERT_EQ(Lptctl("set LPT1 STR INIT").ExitCode, 0);
  const std::string before = Lptctl("read LPT1").Output;
  const TRun run = Lptctl("pulse LPT1 d1 --width 200 --count 3 --period 1000");
  EXPECT_EQ(run.ExitCode, 0) << run.Errors;
  const std::vector<std::string> lines = LinesOf(run.Output);
  ASSERT_EQ(lines.size(), 3u) << run.Output;
  EXPECT_EQ(lines[0], "LPT1 D1 (pin 3): 3 pulses high");
  EXPECT_EQ(lines[1].rfind("width 200 us asked: min ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("period 1000 us asked: min ", 0), 0u) << lines[2];
  EXPECT_EQ(Lptctl("read LPT1").Output, before);
  const TRun busy = Lptctl("pulse LPT1 D0");
  EXPECT_EQ(busy.ExitCode, 1);
  EXPECT_NE(busy.Errors.find("D0 (pin 2) is high already"), std::string::npos) << busy.Errors;
}

}  // namespace
