// Runs the built lptprobe and checks what it prints.
#include "pinlark_version.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using namespace pinlark::testsupport;

class LptprobeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Scratch / "dev");
    fs::create_directories(Scratch / "proc");
  }

  // The machine's own ports kept out of sight: a tree with no port at all.
  std::string NoPorts() const {
    return "LPTWDMIO_DEV_DIR=" + (Scratch / "dev").string() +
           " LPTWDMIO_PROC_DIR=" + (Scratch / "proc").string() + " ";
  }
  TTempDir Scratch;
};

TEST_F(LptprobeTest, PrintsEachPortOfTheSimulatedBank) {
  const TRun run = RunCommand("LPTWDMIO_BACKEND=simulated " LPTPROBE_PATH);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output,
            "LPT1 present data=00 status=87 control=CC simulated\n"
            "LPT2 present data=00 status=7F control=CC simulated\n"
            "LPT3 absent\n");
  EXPECT_EQ(
      run.Errors,
      "lptwdmio: simulating LPT1 (with a loopback plug) and LPT2, as LPTWDMIO_BACKEND=simulated asks\n");
}

TEST_F(LptprobeTest, HelpAndVersionProbeNothing) {
  for (const char* option : {"--help", "-h"}) {
    const TRun run = RunCommand(NoPorts() + LPTPROBE_PATH " " + option);
    EXPECT_EQ(run.ExitCode, 0) << option;
    EXPECT_EQ(run.Output.rfind("usage: lptprobe", 0), 0u) << option;
    for (const char* topic : {"LPT1 present data=", "base=0x378", "simulated", "Exit status: 0",
                              "1 the connection failed", "2 usage error", "LPTWDMIO_BACKEND"})
      EXPECT_NE(run.Output.find(topic), std::string::npos) << option << ": " << topic;
    EXPECT_EQ(run.Errors, "") << option;  // the driver was not started
  }
  const TRun run = RunCommand(NoPorts() + LPTPROBE_PATH " --version");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, std::string("lptprobe ") + PINLARK_VERSION + "\n");
  EXPECT_EQ(run.Errors, "");
}

TEST_F(LptprobeTest, AnythingElseIsAUsageError) {
  for (const char* arguments : {"--bogus", "-x", "--help --version", "LPT1", "''"}) {
    const TRun run = RunCommand(NoPorts() + LPTPROBE_PATH " " + arguments);
    EXPECT_EQ(run.ExitCode, 2) << arguments;
    EXPECT_EQ(run.Output, "") << arguments;
    EXPECT_EQ(run.Errors.rfind("lptprobe: unexpected argument '", 0), 0u) << arguments << ": " << run.Errors;
    EXPECT_NE(run.Errors.find("usage: lptprobe"), std::string::npos) << arguments;
  }
}

TEST_F(LptprobeTest, WithoutTheDriverFileItReportsTheOpenError) {
  const fs::path copy = Scratch / "lptprobe";
  fs::copy_file(LPTPROBE_PATH, copy);
  const TRun run = RunCommand(copy.string());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(
      run.Output,
      "error 2\nthe driver module LPTWDMIO.SYS beside lptprobe is missing or did not start, or the port "
      "has no device node (on Linux: sudo modprobe ppdev)\n");
}

// A port that cannot be reached says so on its own line; so does one
// another program holds, which is left alone (its node here is no ppdev
// device: claiming it would fail).
TEST_F(LptprobeTest, APortThatFailsOrIsHeldSaysSoOnItsLine) {
  for (const char* node : {"parport0", "parport1"}) {
    std::ofstream(Scratch / "dev" / node) << "";
    fs::create_directories(Scratch / "proc" / node / "devices");
  }
  std::ofstream(Scratch / "proc" / "parport0" / "base-addr") << "888\t0\n";
  std::ofstream(Scratch / "proc" / "parport1" / "base-addr") << "632\t0\n";
  std::ofstream(Scratch / "proc" / "parport1" / "devices" / "active") << "lp0\n";
  const TRun run = RunCommand("LPTWDMIO_BACKEND=ppdev " + NoPorts() + LPTPROBE_PATH);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output,
            "LPT1 absent\n"
            "LPT2 present error 50\n"
            "LPT3 held by another program base=0x278\n");
  EXPECT_EQ(run.Errors, "");
}

}  // namespace
