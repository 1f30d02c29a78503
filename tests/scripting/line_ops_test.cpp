// The line operations lptctl and the C library share: waiting on scripted
// samples, and pulses on a scripted port against a clock of the test's own.
#include "line_wait.h"
#include "pulse.h"
#include "scripted_port.h"

#include <gtest/gtest.h>

using namespace lptctl;
using std::chrono::microseconds;
using std::chrono::milliseconds;

namespace {

// Status bytes for ERR (bit 3), SEL (bit 4) and BUSY (bit 7, inverted at the pin).
constexpr BYTE ErrHigh = 0x08, SelHigh = 0x10, BusyLow = 0x80;

// Samples one millisecond apart from the start, the last one repeating; a
// sample due after the deadline is taken at the deadline.
class TScriptedSource : public TSampleSource {
 public:
  explicit TScriptedSource(std::vector<BYTE> statuses) : Statuses_(std::move(statuses)) {}

  TClock::time_point Now() override { return Start; }
  TNext Next(std::optional<TClock::time_point> deadline, TSample& sample, DWORD& error) override {
    if (Taken_ == FailAt) {
      error = ERROR_GEN_FAILURE;
      return TNext::Failed;
    }
    sample.At = Start + milliseconds(Taken_);
    if (deadline && sample.At > *deadline) sample.At = *deadline;
    sample.Registers = {0, Statuses_[std::min(Taken_, Statuses_.size() - 1)], 0};
    ++Taken_;
    return TNext::Sample;
  }
  std::string How() const override { return "scripted"; }

  const TClock::time_point Start{};
  std::size_t FailAt = SIZE_MAX;

 private:
  std::vector<BYTE> Statuses_;
  std::size_t Taken_ = 0;
};

std::vector<TCondition> Conditions(std::initializer_list<const char*> texts) {
  std::vector<TCondition> conditions;
  std::string why;
  for (const char* text : texts) conditions.push_back(*ParseCondition(text, why));
  return conditions;
}

TEST(WaitTest, LevelsHoldAtOnceEdgesNeedAChangeAndSeveralConditionsCombine) {
  using TEnd = TWaitResult::TEnd;
  struct TCase {
    std::initializer_list<const char*> Conditions;
    bool Any;
    std::vector<BYTE> Statuses;
    std::optional<milliseconds> Timeout;
    TEnd End;
    int AtMs;  // the sample the wait ended on
  };
  const TCase cases[] = {
      {{"err=1"}, false, {ErrHigh}, milliseconds(0), TEnd::Met, 0},
      {{"BUSY=1"}, false, {0x00}, std::nullopt, TEnd::Met, 0},  // bit 0 is a high pin
      {{"11=0"}, false, {0x00, BusyLow}, std::nullopt, TEnd::Met, 1},
      // An edge never by the first sample, however the line stands.
      {{"ERR=rising"}, false, {ErrHigh, ErrHigh, 0, ErrHigh}, std::nullopt, TEnd::Met, 3},
      {{"ERR=falling"}, false, {ErrHigh, 0}, std::nullopt, TEnd::Met, 1},
      {{"ERR=change"}, false, {0, 0, ErrHigh}, std::nullopt, TEnd::Met, 2},
      {{"ERR=rising"}, false, {ErrHigh}, milliseconds(3), TEnd::TimedOut, 3},
      {{"ERR=rising"}, false, {0}, milliseconds(0), TEnd::TimedOut, 0},
      // All: an edge stays met once it came, a level only while it holds.
      {{"ERR=rising", "BUSY=0"}, false, {0, ErrHigh, ErrHigh | BusyLow}, std::nullopt, TEnd::Met, 2},
      {{"ERR=1", "SEL=1"}, false, {ErrHigh, SelHigh, ErrHigh | SelHigh}, std::nullopt, TEnd::Met, 2},
      {{"ERR=rising", "SEL=1"}, true, {0, 0, SelHigh}, std::nullopt, TEnd::Met, 2},
      {{"ERR=1", "SEL=1"}, false, {ErrHigh, SelHigh}, milliseconds(5), TEnd::TimedOut, 5},
  };
  for (const TCase& c : cases) {
    const std::string name = *c.Conditions.begin() + std::string(c.Any ? " any" : "");
    TScriptedSource source(c.Statuses);
    const std::vector<TCondition> conditions = Conditions(c.Conditions);
    const TWaitResult result = WaitFor(source, conditions, c.Any, c.Timeout);
    EXPECT_EQ(result.End, c.End) << name;
    EXPECT_EQ(result.Elapsed, milliseconds(c.AtMs)) << name;
  }
}

// Conditions that do not parse are lptctl's usage errors (lptctl_lines_test).
TEST(WaitTest, AFailedReadEndsTheWaitAndConditionsReadBackAsWritten) {
  TScriptedSource source({0});
  source.FailAt = 2;
  const TWaitResult result = WaitFor(source, Conditions({"ERR=1"}), false, std::nullopt);
  EXPECT_EQ(result.End, TWaitResult::TEnd::Failed);
  EXPECT_EQ(result.Error, DWORD(ERROR_GEN_FAILURE));
  std::string why;
  const std::optional<TCondition> parsed = ParseCondition("lf=Falling", why);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(ConditionText(*parsed), "LF/CR=falling");
}

// A clock that moves only when waited on, overshooting by the next of a
// few amounts, as a system's sleep does; it can stop at a given wait.
class TTestPacer : public TPacer {
 public:
  TClock::time_point Now() override { return Now_; }
  bool WaitUntil(TClock::time_point at) override {
    Waits.push_back(at);
    if (Waits.size() == StopAt) return true;
    Now_ = std::max(Now_, at) + Overshoots[(Waits.size() - 1) % Overshoots.size()];
    return false;
  }

  std::vector<microseconds> Overshoots{microseconds(0)};
  std::size_t StopAt = 0;  // 1-based; 0: never
  std::vector<TClock::time_point> Waits;

 private:
  TClock::time_point Now_{};
};

class ScriptedPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulation::Reset();
    ASSERT_EQ(Device.Register(), DWORD(ERROR_SUCCESS));
    Device.Port(PortLpt1) = {.Present = true, .Data = 0x81, .Status = 0x7F, .Control = 0xE5};
    Connection = std::make_unique<TLptPortConnection>(TLptConnectionOptions{false, ""});
    Port = std::make_unique<TLinePort>(*Connection, PortLpt1);
  }
  void TearDown() override {
    Port.reset();
    Connection.reset();
    emulation::Reset();
  }
  std::vector<std::string> WritesSince(std::size_t mark) const {
    std::vector<std::string> writes;
    for (const TPortAccess& access : Device.Writes(mark)) writes.push_back(access.Text());
    return writes;
  }

  TScriptedPort Device;
  std::unique_ptr<TLptPortConnection> Connection;
  std::unique_ptr<TLinePort> Port;
  TTestPacer Pacer;
};

// D1 in a data register with D0 and D7 set, STR (inverted) in a control
// register whose bits 4-7 are set: each pulse writes only its own bit.
TEST_F(ScriptedPortTest, PulsesChangeOnlyTheirLineAndReportWhatTheClockSaw) {
  Pacer.Overshoots = {microseconds(5), microseconds(1), microseconds(9)};
  const std::size_t mark = Device.Log.size();
  const TPulseReport data =
      Pulse(*Port, *FindLine("D1"), {microseconds(100), 3, microseconds(0), false}, Pacer);
  EXPECT_EQ(data.End, TPulseReport::TEnd::Done);
  EXPECT_EQ(WritesSince(mark),
            (std::vector<std::string>{"W 10 83", "W 10 81", "W 10 83", "W 10 81", "W 10 83", "W 10 81"}));
  ASSERT_EQ(data.Widths.size(), 3u);
  const TSpread widths = SpreadOf(data.Widths);
  EXPECT_DOUBLE_EQ(widths.Min, 101);
  EXPECT_DOUBLE_EQ(widths.Median, 105);
  EXPECT_DOUBLE_EQ(widths.Max, 109);
  ASSERT_EQ(data.Periods.size(), 2u);  // twice the width, plus the overshoots
  EXPECT_EQ(data.Periods[0], microseconds(200 + 1));

  const std::size_t controlMark = Device.Log.size();
  const TPulseReport strobe =
      Pulse(*Port, *FindLine("STR"), {microseconds(50), 1, microseconds(0), false}, Pacer);
  EXPECT_EQ(strobe.End, TPulseReport::TEnd::Done);
  EXPECT_EQ(WritesSince(controlMark), (std::vector<std::string>{"W 12 E4", "W 12 E5"}));
}

TEST_F(ScriptedPortTest, APulseStartsOnlyFromItsIdleLevelAndEndsThereWhenStopped) {
  const std::size_t mark = Device.Log.size();
  EXPECT_EQ(Pulse(*Port, *FindLine("D0"), {}, Pacer).End, TPulseReport::TEnd::NotIdle);
  EXPECT_TRUE(WritesSince(mark).empty());

  Pacer.StopAt = 2;  // during the second pulse's wait for its start
  const TPulseReport report =
      Pulse(*Port, *FindLine("D0"), {microseconds(100), 5, microseconds(0), true}, Pacer);
  EXPECT_EQ(report.End, TPulseReport::TEnd::Interrupted);
  EXPECT_EQ(report.Widths.size(), 1u);
  EXPECT_EQ(Device.Port(PortLpt1).Data, 0x81);
}

// Polling through the port: a sample every interval and a last one at the
// deadline, which then counts as timed out.
TEST_F(ScriptedPortTest, PollingTakesItsLastSampleAtTheDeadline) {
  TPollingSource source(*Port, Pacer, microseconds(10000));
  const TWaitResult result = WaitFor(source, Conditions({"ERR=falling"}), false, milliseconds(25));
  EXPECT_EQ(result.End, TWaitResult::TEnd::TimedOut);
  EXPECT_EQ(result.Elapsed, milliseconds(25));
  const TClock::time_point start{};
  EXPECT_EQ(Pacer.Waits, (std::vector<TClock::time_point>{start + milliseconds(10), start + milliseconds(20),
                                                          start + milliseconds(25)}));
  EXPECT_EQ(source.How(), "polling every 10 ms");
}

}  // namespace
