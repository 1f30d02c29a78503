// The built lptctl on the driver module's simulated ports: each test has a
// bank of its own, shared by the programs it starts, each of which holds the
// port it works on until it ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <sstream>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using namespace pinlark::testsupport;

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("LPTWDMIO_BACKEND", "simulated", 1); }
  void TearDown() override { ::unsetenv("LPTWDMIO_BACKEND"); }
  TRun Lptctl(const std::string& args) { return RunCommand(Bounded + " " + args); }
  // Waits, within a bound, until file holds text.
  static bool WaitFor(const fs::path& file, const std::string& text) {
    return WaitUntil([&] { return ReadFile(file).find(text) != std::string::npos; },
                     std::chrono::seconds(10));
  }
  // The closing time stamp is there and sigrok-cli reads the dump whole.
  void ExpectCompleteDump(const fs::path& vcd) {
    const std::string dump = ReadFile(vcd);
    ASSERT_FALSE(dump.empty());
    EXPECT_EQ(dump.substr(dump.rfind('\n', dump.size() - 2) + 1, 1), "#");
    const TRun show = RunCommand("sigrok-cli -I vcd -i " + vcd.string() + " --show");
    EXPECT_EQ(show.ExitCode, 0) << show.Errors;
    EXPECT_NE(show.Output.find("Channels: 17"), std::string::npos) << show.Output;
  }
  // lptctl ARGS in the background, stdout and stderr to files named for tag.
  std::unique_ptr<TChild> Start(const std::vector<std::string>& arguments, const std::string& tag) {
    std::vector<std::string> args = {LPTCTL_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    auto child = std::make_unique<TChild>(args, TChildOptions()
                                                    .WithStdout(Scratch.Path() + "/" + tag + ".out")
                                                    .WithStderr(Scratch.Path() + "/" + tag + ".err"));
    EXPECT_TRUE(child->Started());
    return child;
  }
  // SIGINT, then the exit code, within a bound; a program that does not
  // end fails the test (and is killed when it goes).
  static std::optional<int> Stop(TChild& child) {
    const std::optional<int> code = child.Stop(SIGINT, std::chrono::seconds(10));
    if (!code) ADD_FAILURE() << "lptctl did not end on SIGINT";
    return code;
  }
  TTempDir Scratch;
  // lptctl under a bound: a watch that never ends fails its test instead.
  const std::string Bounded = "timeout -k 5 20 " LPTCTL_PATH;
};

TEST_F(ProgramTest, OneProgramsWritesAreTheNextOnesReads) {
  ASSERT_EQ(Lptctl("set LPT1 D0 4 STR").ExitCode, 0);  // pin 4 is D2
  const TRun read = Lptctl("read 1");
  ASSERT_EQ(read.ExitCode, 0) << read.Errors;
  EXPECT_EQ(read.Output.substr(0, read.Output.find('\n')), "LPT1 data=05 status=AF control=CD simulated");
  EXPECT_NE(read.Output.find("D2     pin  4  high  data bit 2 = 1\n"), std::string::npos) << read.Output;
  EXPECT_NE(read.Output.find("STR    pin  1  low   control bit 0 = 1, inverted\n"), std::string::npos);
  EXPECT_NE(read.Output.find("PE     pin 12  high  status bit 5 = 1\n"), std::string::npos);
  EXPECT_EQ(Lptctl("toggle 1 D0 d1 LF").Output, "LPT1 data=06 status=B7 control=CF simulated\n");
  EXPECT_EQ(Lptctl("clear lpt1 3 2 14").Output, "LPT1 data=04 status=A7 control=CD simulated\n");
  EXPECT_EQ(Lptctl("write 2 data a5").Output, "LPT2 data=A5 status=7F control=CC simulated\n");
  const TRun control = Lptctl("write 2 control 0xF3");
  EXPECT_EQ(control.Output, "LPT2 data=A5 status=7F control=C3 simulated\n");
  EXPECT_NE(control.Errors.find("control bits 4-7 stay"), std::string::npos) << control.Errors;
  EXPECT_EQ(Lptctl("probe").Output,
            "LPT1 present data=04 status=A7 control=CD simulated\n"
            "LPT2 present data=A5 status=7F control=C3 simulated\n"
            "LPT3 absent\n");
  EXPECT_NE(Lptctl("probe --json")
                .Output.find(
                    "{\"port\": \"LPT2\", \"present\": true, \"held\": false, \"simulated\": true, "
                    "\"base\": null, \"windows\": null, \"data\": 165, \"status\": 127, \"control\": 195},"),
            std::string::npos);
}

TEST_F(ProgramTest, UsageErrorsExitTwoAndSayWhatIsValid) {
  struct TCase {
    const char* Args;
    const char* Says;
  };
  const TCase cases[] = {
      {"", "usage: lptctl COMMAND"},
      {"blink 1", "unknown command 'blink'"},
      {"read LPT4", "'LPT4' is no port; use LPT1, LPT2, LPT3 or 1-3"},
      {"write 1 data 100", "'100' is no byte"},
      {"write 1 status 00", "'status' is no register"},
      {"set 1 ERR",
       "ERR (pin 15) is an input; the lines you can change are D0-D7 (pins 2-9), STR (1), LF/CR or LF "
       "(14), INIT (16), SELIN (17)"},
      {"clear 1 25", "'25' is no line; the lines you can change are D0-D7"},
      {"toggle 1", "give PORT and at least one LINE"},
      {"watch 1 --interval fast", "'fast' is no interval"},
      {"watch 1 --interval 0x10",
       "'0x10' is no interval; give milliseconds from 0 to 60000 as a plain decimal"},
      {"watch 1 --interval 1e9", "'1e9' is no interval"},
      {"watch 1 --interval 60000.001", "'60000.001' is no interval"},
      {"watch 1 --interval -1", "'-1' is no interval"},
      {"watch 1 --duration 1e3", "'1e3' is no duration; give seconds up to 30 days as a plain decimal"},
      {"watch 1 --duration 2592000.000001", "'2592000.000001' is no duration"},
      {"watch 1 --format xml", "'xml' is no format; use text, jsonl or csv"},
      {"watch 1 --duration", "--duration needs a value"},
      {"probe --xml", "unexpected argument '--xml'"},
      {"sim", "sim takes a PORT"},
      {"sim 2 ACK=2", "'2' is no level for ACK; use 0, 1 or float"},
      {"sim 2 D0=1", "'D0=1' is no LINE=0|1|float; the inputs are ERR (pin 15), SEL (13), PE (12)"},
      {"sim 2 busy", "'busy' is no LINE=0|1|float"},
      {"get 1", "give PORT and at least one LINE"},
      {"get 1 D9", "'D9' is no line"},
      {"get 1 D0 --pin", "unexpected argument '--pin'"},
      {"wait 1", "give PORT and at least one LINE=WHEN"},
      {"wait 1 ERR", "'ERR' is no condition"},
      {"wait 1 ERR=up", "'up' is no level or edge"},
      {"wait 1 ERR=1 --timeout 1e3", "'1e3' is no timeout"},
      {"wait 1 ERR=1 --interval -1", "'-1' is no interval"},
      {"wait LPT4 ERR=1", "'LPT4' is no port"},
      {"pulse 1 ERR", "ERR (pin 15) is an input; the lines you can pulse are D0-D7"},
      {"pulse 1 D0 D1", "give PORT and one LINE"},
      {"pulse 1 D0 --width 0", "'0' is no width"},
      {"pulse 1 D0 --count 1000001", "'1000001' is no count"},
      {"pulse 1 D0 --width 500 --period 500", "the period must be longer than the width"},
  };
  for (const TCase& c : cases) {
    const TRun run = Lptctl(c.Args);
    EXPECT_EQ(run.ExitCode, 2) << c.Args;
    EXPECT_NE(run.Errors.find(c.Says), std::string::npos) << c.Args << ": " << run.Errors;
    EXPECT_EQ(run.Output, "") << c.Args;
  }
  EXPECT_EQ(Lptctl("--version").Output.rfind("lptctl ", 0), 0u);
  EXPECT_EQ(Lptctl("read 3").ExitCode, 1);  // absent: no usage error, a failure
}

// The summary names every command on a line of its own, and each command's
// help starts with its usage.
TEST_F(ProgramTest, HelpListsEveryCommandOnceWithOneLineEach) {
  const TRun help = Lptctl("--help");
  std::vector<std::string> lines;
  std::istringstream text(help.Output);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  for (const std::string command : {"probe", "read", "get", "write", "set", "clear", "toggle", "pulse",
                                    "wait", "watch", "sim", "selftest", "doctor"}) {
    // "  set PORT LINE...    what it does": its words, a gap, a description.
    const auto listed = [&](const std::string& line) {
      const std::size_t gap = line.find("  ", 2);
      return line.rfind("  " + command, 0) == 0 &&
             (line.size() == 2 + command.size() || line[2 + command.size()] == ' ') &&
             gap != std::string::npos &&
             std::islower(static_cast<unsigned char>(line[line.find_first_not_of(' ', gap)]));
    };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), listed), 1) << command;
    const TRun usage = Lptctl(command + " --help");
    EXPECT_EQ(usage.ExitCode, 0) << command;
    EXPECT_EQ(usage.Output.rfind("usage: lptctl " + command, 0), 0u) << usage.Output;
  }
}

TEST_F(ProgramTest, SelftestPassesOnThePluggedPortAndFindsNoPlugOnTheOther) {
  ASSERT_EQ(Lptctl("write 1 data 80").ExitCode, 0);
  const TRun lpt1 = Lptctl("selftest LPT1");
  EXPECT_EQ(lpt1.ExitCode, 0) << lpt1.Output;
  EXPECT_NE(lpt1.Output.find("LPT1: all 5 lines pass"), std::string::npos);
  EXPECT_EQ(Lptctl("read 1").Output.substr(0, 14), "LPT1 data=80 s");  // put back
  const TRun lpt2 = Lptctl("selftest LPT2");
  EXPECT_EQ(lpt2.ExitCode, 1);
  EXPECT_EQ(lpt2.Output.rfind("LPT2: no plug:", 0), 0u) << lpt2.Output;
}

TEST_F(ProgramTest, DoctorOnAMachineWithoutPortsSaysTheyAreSimulated) {
  fs::create_directories(Scratch / "dev");
  fs::create_directories(Scratch / "proc");
  ::unsetenv("LPTWDMIO_BACKEND");
  const TRun run = RunCommand("LPTWDMIO_DEV_DIR=" + (Scratch / "dev").string() + " LPTWDMIO_PROC_DIR=" +
                              (Scratch / "proc").string() + " " LPTCTL_PATH " doctor");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("[FAIL] ports the kernel knows: none"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("[ok]   connection: the driver loads and opens"), std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("[FAIL] result: simulated ports only (LPT1, LPT2)"), std::string::npos)
      << run.Output;
}

// Ctrl+C in the middle of a watch: the changes the far end of the cable
// made meanwhile are in the log and in a dump that sigrok-cli reads whole.
TEST_F(ProgramTest, InterruptedWatchLeavesACompleteDump) {
  const fs::path vcd = Scratch / "run.vcd";
  const std::unique_ptr<TChild> watch = Start({"watch", "LPT2", "--vcd", vcd.string()}, "watch");
  const bool started = WaitFor(Scratch / "watch.err", "Ctrl+C ends");
  const TRun sim = Lptctl("sim LPT2 ACK=0 pe=1");  // a second program, while the watch holds the port
  const bool changed = started && WaitFor(Scratch / "watch.out", " ACK(10)=0");
  const std::optional<int> code = Stop(*watch);
  ASSERT_TRUE(started) << ReadFile(Scratch / "watch.err");
  EXPECT_EQ(sim.Output, "LPT2 ERR(15)=float SEL(13)=float PE(12)=1 ACK(10)=0 BUSY(11)=float\n") << sim.Errors;
  ASSERT_TRUE(changed) << ReadFile(Scratch / "watch.out");
  EXPECT_EQ(code, 0);
  EXPECT_NE(ReadFile(Scratch / "watch.err").find(" samples in "), std::string::npos);
  ExpectCompleteDump(vcd);
  EXPECT_EQ(Lptctl("sim 2 ack=float PE=float").Output,
            "LPT2 ERR(15)=float SEL(13)=float PE(12)=float ACK(10)=float BUSY(11)=float\n");
}

// `| head -1` on a quiet port: the watch learns that its reader has gone
// without waiting for a change to write, and still closes the dump.
TEST_F(ProgramTest, AWatchWhoseReaderLeavesStopsAndCompletesTheDump) {
  const fs::path vcd = Scratch / "run.vcd", err = Scratch / "watch-err", status = Scratch / "status";
  const TRun run = RunCommand("{ " + Bounded + " watch LPT2 --vcd " + vcd.string() + " 2>" + err.string() +
                              "; echo $? >" + status.string() + "; } | head -1");
  EXPECT_EQ(run.Output.rfind("0.000000 LPT2 data=", 0), 0u) << run.Output;
  EXPECT_EQ(ReadFile(status), "1\n") << ReadFile(err);
  EXPECT_NE(ReadFile(err).find("lptctl: standard output was closed; the watch stopped\n"), std::string::npos)
      << ReadFile(err);
  ExpectCompleteDump(vcd);
}

// Output that cannot be written ends the watch at once, not when its
// duration (here 1000 s) is over, and says why.
TEST_F(ProgramTest, OutputThatCannotBeWrittenEndsTheWatchAtOnce) {
  struct TCase {
    std::string Command;
    std::string Says;
  };
  const fs::path fifo = Scratch / "fifo", missing = Scratch / "no" / "run.vcd",
                 limited = Scratch / "limited.vcd";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string watch = Bounded + " watch 2 --duration 1000";
  const TCase cases[] = {
      {watch + " >/dev/full",
       "writing to standard output failed (No space left on device); the watch stopped"},
      {watch + " --vcd /dev/full", "/dev/full is not a regular file"},
      {watch + " --vcd " + fifo.string(), fifo.string() + " is not a regular file"},
      {watch + " --vcd " + missing.string(),
       "cannot write " + missing.string() + ": No such file or directory"},
      // The dump's header does not fit under a 512-byte limit on file size.
      {"trap '' XFSZ; ulimit -f 1; " + watch + " --vcd " + limited.string(),
       "writing " + limited.string() + " failed (File too large)"},
  };
  for (const TCase& c : cases) {
    const TRun run = RunCommand("sh -c \"" + c.Command + "\"");
    EXPECT_EQ(run.ExitCode, 1) << c.Command << ": " << run.Errors;
    EXPECT_NE(run.Errors.find("lptctl: " + c.Says), std::string::npos) << c.Command << ": " << run.Errors;
  }
}

// While a watch holds LPT2 as fast as it samples, programs that only look
// (reads of LPT1, probes, the doctor) never touch it; they find it held, by
// whom, and a command that needs it says busy within the bound it was given.
TEST_F(ProgramTest, LookingNeverWritesAndAHeldPortIsBusy) {
  ASSERT_EQ(Lptctl("write 1 data 5A").ExitCode, 0);
  const std::unique_ptr<TChild> watch = Start({"watch", "LPT2", "--interval", "0"}, "watch");
  ASSERT_TRUE(WaitFor(Scratch / "watch.err", "Ctrl+C ends")) << ReadFile(Scratch / "watch.err");
  const std::string holder = "LPT2 held by pid " + std::to_string(watch->Pid()) + " (lptctl) simulated\n";
  std::string failures;
  for (int round = 0; round < 100; ++round) {
    const TRun read = Lptctl("read LPT1");
    if (read.ExitCode != 0 || read.Output.rfind("LPT1 data=5A ", 0) != 0) failures += "read: " + read.Errors;
    const TRun probe = Lptctl("probe");
    if (probe.ExitCode != 0 || probe.Output.find(holder) == std::string::npos)
      failures += "probe: " + probe.Output;
    if (Lptctl("doctor").Output.find("simulated ports only (LPT1, LPT2)") == std::string::npos)
      failures += "doctor ";
  }
  std::vector<TRun> busy;
  for (const char* command : {" set LPT2 D0", " wait LPT2 ACK=0", " pulse LPT2 D7"})
    busy.push_back(RunCommand("LPTWDMIO_WAIT_MS=20 " LPTCTL_PATH + std::string(command)));
  const std::optional<int> code = Stop(*watch);
  EXPECT_EQ(failures, "");
  EXPECT_EQ(ReadFile(Scratch / "watch.out").find('\n'), ReadFile(Scratch / "watch.out").size() - 1)
      << "the watch saw a change: " << ReadFile(Scratch / "watch.out");
  EXPECT_EQ(code, 0);
  for (const TRun& run : busy) {
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Errors.find("(error 170): LPT2 is held by pid " + std::to_string(watch->Pid()) +
                              " (lptctl); another"),
              std::string::npos)
        << run.Errors;
  }
  EXPECT_EQ(Lptctl("read 2").Output.substr(0, 13), "LPT2 data=00 ");  // free again, untouched
}

// Programs that change lines at once, each its own, on both ports: those on
// one port wait their turn, and no change is lost.
TEST_F(ProgramTest, ConcurrentChangesWaitTheirTurnAndLoseNothing) {
  struct TWorker {
    const char* Port;
    const char* Line;
    unsigned Bit;
  };
  const TWorker workers[] = {{"1", "D5", 0x20}, {"1", "D6", 0x40}, {"1", "D7", 0x80},
                             {"2", "D0", 0x01}, {"2", "D1", 0x02}, {"2", "D2", 0x04}};
  constexpr int Toggles = 40;
  std::vector<std::future<int>> done;
  for (const TWorker& worker : workers)
    done.push_back(std::async(std::launch::async, [&, worker] {
      int succeeded = 0;
      for (int i = 0; i < Toggles; ++i)
        succeeded += RunCommand("LPTWDMIO_WAIT_MS=10000 " LPTCTL_PATH " toggle " + std::string(worker.Port) +
                                " " + worker.Line + " >/dev/null")
                         .ExitCode == 0;
      return succeeded;
    }));
  unsigned expected[2] = {0, 0};
  for (std::size_t i = 0; i < done.size(); ++i) {
    const int succeeded = done[i].get();
    EXPECT_EQ(succeeded, Toggles) << workers[i].Line;
    if (succeeded % 2) expected[workers[i].Port[0] - '1'] |= workers[i].Bit;
  }
  for (int port = 0; port < 2; ++port) {
    char want[16];
    std::snprintf(want, sizeof want, "LPT%d data=%02X", port + 1, expected[port]);
    const std::string line = Lptctl("read " + std::to_string(port + 1)).Output;
    EXPECT_EQ(line.substr(0, 12), want) << line;
  }
}

TEST_F(ProgramTest, OnlyASimulatedPortWithoutAPlugHasAFarSideToDrive) {
  struct TCase {
    const char* Args;
    int ExitCode;
    const char* Says;
  };
  const TCase cases[] = {
      {"sim LPT2", 0, "LPT2 ERR(15)=float SEL(13)=float PE(12)=float ACK(10)=float BUSY(11)=float\n"},
      {"sim LPT2 11=0 err=0", 0, "LPT2 ERR(15)=0 SEL(13)=float PE(12)=float ACK(10)=float BUSY(11)=0\n"},
      {"sim LPT1 ACK=0", 1, "LPT1's inputs follow its loopback plug"},
      {"sim LPT3", 1, "LPT3 is absent"},
  };
  for (const TCase& c : cases) {
    const TRun run = Lptctl(c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Args;
    EXPECT_NE((run.Output + run.Errors).find(c.Says), std::string::npos) << c.Args << ": " << run.Errors;
  }
  EXPECT_EQ(Lptctl("read 2").Output.substr(0, 24), "LPT2 data=00 status=F7 c");  // ERR low, BUSY low
}

TEST_F(ProgramTest, ARefusedBankFailsTheCommandSayingWhy) {
  fs::permissions(Scratch.Path(), fs::perms::all);
  const TRun run = RunCommand("LPTWDMIO_SIM_DIR=" + Scratch.Path() + " " LPTCTL_PATH " set 1 D0");
  fs::permissions(Scratch.Path(), fs::perms::owner_all, fs::perm_options::replace);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "");
  EXPECT_NE(run.Errors.find(Scratch.Path() + " is not a folder of this user's alone"), std::string::npos)
      << run.Errors;
}

}  // namespace
