// The change log and the Value Change Dump of a scripted run of register
// values, the dump read back by sigrok-cli.
#include "watch.h"
#include "run_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

using namespace lptctl;
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
  void SetUp() override {
    Vcd = fs::temp_directory_path() / ("lptctl-watch-" + std::to_string(::getpid()) + ".vcd");
  }
  void TearDown() override {
    fs::remove(Vcd);
    fs::remove(Vcd.string() + ".err");
  }
  // Runs the script through the change log, with the dump into Vcd.
  std::string Play() {
    std::ofstream file(Vcd);
    TVcdWriter vcd(file);
    std::ostringstream out;
    TChangeLog log(out, &vcd);
    const TRegisters start{0x00, 0x87, 0xCC};
    log.Start("LPT1", start);
    vcd.Begin("LPT1", "scripted", "today", start);
    for (const TStep& step : Script) log.Sample(step.Us, step.Registers);
    vcd.End(EndUs);
    return out.str();
  }
  fs::path Vcd;
};

TEST_F(WatchLogTest, PrintsOneLinePerChangeOfAConnectorLine) {
  EXPECT_EQ(Play(),
            "0.000000 LPT1 data=00 status=87 control=CC\n"
            "0.001000 D0(2)=1 ERR(15)=1\n"
            "0.002500 STR(1)=0\n"
            "0.004000 D4(6)=1 BUSY(11)=1\n");
}

// sigrok-cli turns the dump into one CSV row per microsecond; the rows where
// something changes must be the script's changes, at the script's times.
TEST_F(WatchLogTest, TheDumpReadsBackInSigrokWithTheSameTransitions) {
  Play();
  const TRun run = RunCommand("sigrok-cli -I vcd -i " + Vcd.string() + " -O csv", Vcd.string() + ".err");
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

}  // namespace
