// The change log in each format and the Value Change Dump of a scripted run
// of register values, the dump read back by sigrok-cli; a watch through the
// driver's request handling on a port whose reads fail now and then.
#include "watch.h"
#include "bank_device.h"
#include "emulation_control.h"
#include "interrupt.h"
#include "port.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

using namespace lptctl;
using namespace pinlark::testsupport;
namespace fs = std::filesystem;

namespace {

struct TStep {
  std::uint64_t Us;
  TRegisters Registers;
};

// LPT1 at rest, then D0 with its loopback input ERR, STR, bits without a
// line (status 0-2, control 4-5), then D4 with BUSY.
const std::vector<TStep> Script = {
    {250, {0x00, 0x87, 0xCC}},  {1000, {0x01, 0x8F, 0xCC}}, {1700, {0x01, 0x8F, 0xCC}},
    {2500, {0x01, 0x8F, 0xCD}}, {2600, {0x01, 0x88, 0xDD}}, {4000, {0x11, 0x0F, 0xCD}},
};
constexpr std::uint64_t EndUs = 5000;

class WatchLogTest : public ::testing::Test {
 protected:
  // Runs the script through the change log, with the dump into Vcd.
  std::string Play(TWatchFormat format = TWatchFormat::Text) {
    std::ofstream file(Vcd);
    TVcdWriter vcd(file);
    std::ostringstream out;
    TChangeLog log(out, &vcd, format);
    const TRegisters start{0x00, 0x87, 0xCC};
    log.Start("LPT1", start);
    vcd.Begin("LPT1", "scripted", "today", start);
    for (const TStep& step : Script) log.Sample(step.Us, step.Registers);
    vcd.End(EndUs);
    log.Finish({Script.size(), 1, 2, std::chrono::microseconds(0)}, EndUs);
    EXPECT_EQ(log.Failure(), 0);
    EXPECT_EQ(vcd.Failure(), 0);
    return out.str();
  }
  TTempDir Temp;
  const fs::path Vcd = Temp / "run.vcd";
};

TEST_F(WatchLogTest, PrintsOneLinePerChangeOfAConnectorLine) {
  EXPECT_EQ(Play(),
            "0.000000 LPT1 data=00 status=87 control=CC\n"
            "0.001000 D0(2)=1 ERR(15)=1\n"
            "0.002500 STR(1)=0\n"
            "0.004000 D4(6)=1 BUSY(11)=1\n");
}

// The header (CSV) and every line's level at t=0, then the same changes as
// the text, one record per line; JSON lines end with the summary.
TEST_F(WatchLogTest, JsonLinesAndCsvGiveOneRecordPerChangedLine) {
  struct TCase {
    TWatchFormat Format;
    const char* First;  // the first records at t=0
    const char* Last;   // the last, BUSY's level: high pin, as status 87 has it
    const char* Changes;
  };
  const TCase cases[] = {
      {TWatchFormat::Jsonl, "{\"t\":0.000000,\"port\":\"LPT1\",\"line\":\"D0\",\"pin\":2,\"level\":0}\n",
       "{\"t\":0.000000,\"port\":\"LPT1\",\"line\":\"BUSY\",\"pin\":11,\"level\":0}\n",
       "{\"t\":0.001000,\"port\":\"LPT1\",\"line\":\"D0\",\"pin\":2,\"level\":1}\n"
       "{\"t\":0.001000,\"port\":\"LPT1\",\"line\":\"ERR\",\"pin\":15,\"level\":1}\n"
       "{\"t\":0.002500,\"port\":\"LPT1\",\"line\":\"STR\",\"pin\":1,\"level\":0}\n"
       "{\"t\":0.004000,\"port\":\"LPT1\",\"line\":\"D4\",\"pin\":6,\"level\":1}\n"
       "{\"t\":0.004000,\"port\":\"LPT1\",\"line\":\"BUSY\",\"pin\":11,\"level\":1}\n"
       "{\"port\":\"LPT1\",\"samples\":6,\"seconds\":0.005000,\"late\":1,\"missed\":2}\n"},
      {TWatchFormat::Csv, "t,port,line,pin,level\n0.000000,LPT1,D0,2,0\n", "0.000000,LPT1,BUSY,11,0\n",
       "0.001000,LPT1,D0,2,1\n0.001000,LPT1,ERR,15,1\n0.002500,LPT1,STR,1,0\n"
       "0.004000,LPT1,D4,6,1\n0.004000,LPT1,BUSY,11,1\n"},
  };
  for (const TCase& c : cases) {
    const std::string out = Play(c.Format);
    EXPECT_EQ(out.rfind(c.First, 0), 0u) << out;
    const std::size_t last = out.find(c.Last);
    ASSERT_NE(last, std::string::npos) << out;
    EXPECT_EQ(out.substr(last + std::strlen(c.Last)), c.Changes);
  }
}

// sigrok-cli turns the dump into one CSV row per microsecond; the rows where
// something changes must be the script's changes, at the script's times.
TEST_F(WatchLogTest, TheDumpReadsBackInSigrokWithTheSameTransitions) {
  Play();
  const TRun run = RunCommand("sigrok-cli -I vcd -i " + Vcd.string() + " -O csv");
  ASSERT_EQ(run.ExitCode, 0) << "sigrok-cli (Debian package sigrok-cli) failed: " << run.Errors;
  std::istringstream csv(run.Output);
  std::string line, names;
  std::vector<std::string> rows;
  while (std::getline(csv, line)) {
    if (line.rfind("; Channels", 0) == 0) names = line.substr(line.find(": ") + 2);
    if (!line.empty() && (line[0] == '0' || line[0] == '1')) rows.push_back(line);
  }
  EXPECT_EQ(names,
            "D0_pin2, D1_pin3, D2_pin4, D3_pin5, D4_pin6, D5_pin7, D6_pin8, D7_pin9, STR_pin1, LF_CR_pin14, "
            "INIT_pin16, SELIN_pin17, ERR_pin15, SEL_pin13, PE_pin12, ACK_pin10, BUSY_pin11");
  ASSERT_EQ(rows.size(), EndUs);
  //                    D0..D7          STR LF INIT SELIN ERR SEL PE ACK BUSY
  EXPECT_EQ(rows[0], "0,0,0,0,0,0,0,0,1,1,1,0,0,0,0,0,0");
  std::vector<std::pair<std::size_t, std::string>> changes;
  for (std::size_t i = 1; i < rows.size(); ++i)
    if (rows[i] != rows[i - 1]) changes.emplace_back(i, rows[i]);
  const std::vector<std::pair<std::size_t, std::string>> expected = {
      {1000, "1,0,0,0,0,0,0,0,1,1,1,0,1,0,0,0,0"},
      {2500, "1,0,0,0,0,0,0,0,0,1,1,0,1,0,0,0,0"},
      {4000, "1,0,0,0,1,0,0,0,0,1,1,0,1,0,0,0,1"},
  };
  EXPECT_EQ(changes, expected);
}

// Ctrl+C waits for the hook in every thread, as lptctl's main has it.
const bool RequestsHeld = (platform::HoldTerminationRequests(), true);

// LPT1 whose batches answer as scripted, one step per batch (the first is
// the watch's starting read); after the last one it asks the watch to stop,
// as Ctrl+C does, and lets the batch go on once the hook has raised it.
class TAnsweringPort : public lptwdmio::TPortBank {
 public:
  struct TAnswer {
    DWORD Status;
    BYTE Data;
  };
  std::vector<TAnswer> Answers;
  bool Armed = false;  // the connection's own opening requests come first

  DWORD BeginBatch() override {
    if (!Armed) return ERROR_SUCCESS;
    if (Next_ == Answers.size() && ::kill(::getpid(), SIGINT) == 0)
      WaitUntil([] { return TInterrupt().Requested(); }, std::chrono::seconds(10));
    Current_ = Answers[std::min(Next_++, Answers.size() - 1)];
    return Current_.Status;
  }
  DWORD Read(int, lptwdmio::TRegister reg, BYTE& value) override {
    value = reg == lptwdmio::RegisterData ? Current_.Data : reg == lptwdmio::RegisterStatus ? 0x7F : 0xCC;
    return ERROR_SUCCESS;
  }
  DWORD Write(int, lptwdmio::TRegister, BYTE) override { return ERROR_SUCCESS; }
  lptwdmio::TPortQueryEntry Describe(int slot) const override {
    return {uint8_t(slot == 0 ? lptwdmio::PortPresent : 0), 0, 0, 0};
  }

 private:
  std::size_t Next_ = 0;
  TAnswer Current_{};
};

struct TFailingReads {
  const char* Name;
  std::vector<TAnsweringPort::TAnswer> Answers;
  int Exit;
  const char* Pace;        // part of the closing report
  bool SeesTheLastChange;  // D0 going high in the last answer
};

void PrintTo(const TFailingReads& reads, std::ostream* out) { *out << reads.Name; }

constexpr DWORD Gone = ERROR_DEVICE_NOT_CONNECTED;
const TFailingReads FailingReads[] = {
    // Another program had the port for a while: the watch goes on.
    {"BusyIsPassedOverForAsLongAsItLasts",
     {{0, 0},
      {0, 0},
      {ERROR_BUSY, 0},
      {ERROR_BUSY, 0},
      {ERROR_BUSY, 0},
      {ERROR_BUSY, 0},
      {ERROR_BUSY, 0},
      {0, 1}},
     0,
     "; missed 5 samples whose read failed (last error 170)",
     true},
    {"AFailureThatPassesIsMissedOnly", {{0, 0}, {Gone, 0}, {Gone, 0}, {0, 1}}, 0, "; missed 2 samples", true},
    // Limit: the third failure in a row, and the give-up time (0 here) passed.
    {"APortThatKeepsFailingEndsTheWatch",
     {{0, 0}, {Gone, 0}, {Gone, 0}, {Gone, 0}, {0, 1}},
     1,
     "; missed 3 samples whose read failed (last error 1167)",
     false},
    {"ARefusedRequestEndsItAtOnce",
     {{0, 0}, {ERROR_ACCESS_DENIED, 0}, {0, 1}},
     1,
     "; missed 1 sample",
     false},
};

class WatchFailingReadsTest : public ::testing::TestWithParam<TFailingReads> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RequestsHeld);
    emulation::Reset();
    Port.Answers = GetParam().Answers;
    ASSERT_EQ(RegisterBankDevice(Port), DWORD(ERROR_SUCCESS));
  }
  void TearDown() override { emulation::Reset(); }

  TInterruptHook Hook;
  TAnsweringPort Port;
};

TEST_P(WatchFailingReadsTest, FailedReadsAreMissedSamplesUntilThePortIsGone) {
  std::ostringstream out, err;
  auto ports = TPorts::Open(err);
  ASSERT_TRUE(ports) << err.str();
  Port.Armed = true;
  TWatchOptions options;
  options.Interval = std::chrono::microseconds(0);
  options.GiveUpAfter = std::chrono::microseconds(0);
  TInterrupt interrupt;
  EXPECT_EQ(Watch(*ports, PortLpt1, options, interrupt, out, err), GetParam().Exit) << err.str();
  EXPECT_NE(err.str().find(GetParam().Pace), std::string::npos) << err.str();
  EXPECT_EQ(out.str().find(" D0(2)=1") != std::string::npos, GetParam().SeesTheLastChange) << out.str();
  // A watch that ends on a failure says what failed.
  EXPECT_EQ(err.str().find("lptctl: reading LPT1 failed") != std::string::npos, GetParam().Exit == 1)
      << err.str();
}

INSTANTIATE_TEST_SUITE_P(Reads, WatchFailingReadsTest, ::testing::ValuesIn(FailingReads),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
