// Runs the built lptprobe and checks what it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct TRun {
  std::string Output;
  int ExitCode = -1;
};

TRun RunCommand(const std::string& command) {
  TRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
  const int status = ::pclose(pipe);
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class LptprobeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Scratch = fs::temp_directory_path() / ("lptprobe-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Scratch);
  }
  void TearDown() override { fs::remove_all(Scratch); }
  fs::path Scratch;
};

TEST_F(LptprobeTest, PrintsEachPortOfTheSimulatedBank) {
  const TRun run = RunCommand("LPTWDMIO_BACKEND=simulated " LPTPROBE_PATH " 2>&1");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output,
            "LPT1 present data=00 status=87 control=CC\n"
            "LPT2 present data=00 status=7F control=CC\n"
            "LPT3 absent\n");
}

TEST_F(LptprobeTest, WithoutTheDriverFileItReportsTheOpenError) {
  const fs::path copy = Scratch / "lptprobe";
  fs::copy_file(LPTPROBE_PATH, copy);
  const TRun run = RunCommand(copy.string() + " 2>&1");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "error 2\n");
}

TEST_F(LptprobeTest, DriverOpenFailureReachesTheExitStatus) {
  // A parport node that is no ppdev device: the driver refuses the open.
  fs::create_directories(Scratch / "dev");
  std::ofstream(Scratch / "dev" / "parport0") << "";
  const TRun run =
      RunCommand("LPTWDMIO_BACKEND=ppdev LPTWDMIO_DEV_DIR=" + (Scratch / "dev").string() +
                 " LPTWDMIO_PROC_DIR=" + (Scratch / "proc").string() + " " LPTPROBE_PATH " 2>&1");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "error 50\n");
}

}  // namespace
