// The loopback self-test against a made-up plug with faults put in on purpose.
#include "selftest.h"
#include "bank_device.h"
#include "emulation_control.h"
#include "port.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace lptctl;

namespace {

// LPT1 with a loopback plug whose wires may be broken: each of D0-D4 reaches
// its input unless stuck or shorted (two shorted lines both read the AND of
// what drives them, as open-collector lines do). LPT2 and LPT3 are absent.
class TFaultyPlug : public lptwdmio::TPortBank {
 public:
  std::map<int, bool> Stuck;  // input -> level
  std::vector<std::pair<int, int>> Shorts;
  bool Plugged = true;
  BYTE Data = 0x80;
  BYTE Control = 0x2C;  // data lines turned to input, as some programs leave them

  DWORD Read(int slot, lptwdmio::TRegister reg, BYTE& value) override {
    value = 0xFF;
    if (slot != 0) return ERROR_SUCCESS;
    if (reg == lptwdmio::RegisterData) value = Data;
    if (reg == lptwdmio::RegisterControl) value = BYTE(0xC0 | Control);
    if (reg == lptwdmio::RegisterStatus) value = Status();
    return ERROR_SUCCESS;
  }
  DWORD Write(int slot, lptwdmio::TRegister reg, BYTE value) override {
    if (slot == 0 && reg == lptwdmio::RegisterData) Data = value;
    if (slot == 0 && reg == lptwdmio::RegisterControl) Control = BYTE(value & 0x3F);
    return ERROR_SUCCESS;
  }
  lptwdmio::TPortQueryEntry Describe(int slot) const override {
    return {uint8_t(slot == 0 ? lptwdmio::PortPresent : 0), 0, 0, 0};
  }

 private:
  BYTE Status() const {
    // Reversed data lines drive nothing; the inputs float high.
    BYTE levels = (Control & 0x20) || !Plugged ? 0x1F : BYTE(Data & 0x1F);
    for (const auto& [a, b] : Shorts) {
      const bool both = (levels >> a) & (levels >> b) & 1;
      levels = BYTE((levels & ~((1 << a) | (1 << b))) | (both ? (1 << a) | (1 << b) : 0));
    }
    for (const auto& [input, high] : Stuck)
      levels = BYTE(high ? levels | (1 << input) : levels & ~(1 << input));
    const BYTE busy = (levels & 0x10) ? 0x00 : 0x80;
    return BYTE(0x07 | ((levels & 0x0F) << 3) | busy);
  }
};

class SelfTestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulation::Reset();
    ASSERT_EQ(RegisterBankDevice(Plug), DWORD(ERROR_SUCCESS));
  }
  void TearDown() override { emulation::Reset(); }

  int Run() {
    std::ostringstream err;
    auto ports = TPorts::Open(err);
    EXPECT_TRUE(ports) << err.str();
    if (!ports) return -1;
    Output.str("");
    return SelfTest(*ports, PortLpt1, Output, err);
  }

  TFaultyPlug Plug;
  std::ostringstream Output;
};

TEST_F(SelfTestTest, AGoodPlugPassesAndTheRegistersArePutBack) {
  EXPECT_EQ(Run(), 0) << Output.str();
  EXPECT_NE(Output.str().find("LPT1 D4 (pin 6) -> BUSY (pin 11): ok"), std::string::npos) << Output.str();
  EXPECT_NE(Output.str().find("all 5 lines pass"), std::string::npos);
  EXPECT_EQ(Plug.Data, 0x80);
  EXPECT_EQ(Plug.Control, 0x2C);
}

TEST_F(SelfTestTest, NamesAStuckLineAndTwoShortedOnes) {
  Plug.Stuck[2] = true;
  Plug.Shorts = {{0, 3}};
  EXPECT_EQ(Run(), 1);
  const std::string expected =
      "LPT1 D0 (pin 2) -> ERR (pin 15): shorted to D3 (pin 5)\n"
      "LPT1 D1 (pin 3) -> SEL (pin 13): ok\n"
      "LPT1 D2 (pin 4) -> PE (pin 12): stuck high\n"
      "LPT1 D3 (pin 5) -> ACK (pin 10): shorted to D0 (pin 2)\n"
      "LPT1 D4 (pin 6) -> BUSY (pin 11): ok\n"
      "LPT1: 3 of 5 lines fail\n";
  EXPECT_EQ(Output.str(), expected);
  EXPECT_EQ(Plug.Data, 0x80);
  EXPECT_EQ(Plug.Control, 0x2C);
}

TEST_F(SelfTestTest, WithoutAPlugItSaysSo) {
  Plug.Plugged = false;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Output.str().rfind("LPT1: no plug:", 0), 0u) << Output.str();
}

// Straight on the verdicts: a stuck-low input and two wires crossed.
TEST(LoopbackVerdictTest, TellsStuckLowAndCrossedWires) {
  std::vector<TLoopbackSample> samples;
  for (const BYTE pattern : LoopbackPatterns()) {
    BYTE seen = BYTE(pattern & ~0x02);                                                // D1's input stuck low
    seen = BYTE((seen & ~0x18) | ((pattern & 0x08) << 1) | ((pattern & 0x10) >> 1));  // D3, D4 swapped
    samples.push_back({pattern, seen});
  }
  const TLoopbackVerdict verdict = JudgeLoopback(samples);
  EXPECT_FALSE(verdict.NoPlug);
  EXPECT_FALSE(verdict.Passed());
  EXPECT_EQ(verdict.Lines[0].Fault, TLineFault::None);
  EXPECT_EQ(verdict.Lines[1].Fault, TLineFault::StuckLow);
  EXPECT_EQ(verdict.Lines[3], (TLineVerdict{TLineFault::Crossed, {4}}));
  EXPECT_EQ(Describe(verdict.Lines[4]), "follows D3 (pin 5) instead");
}

}  // namespace
