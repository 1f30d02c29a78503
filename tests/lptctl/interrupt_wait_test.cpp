// Waiting on the port's interrupt: which waits sleep on it, and how the
// sleeps end, through the connection and the driver's ppdev bank down to a
// kernel of the test's own that raises interrupts on a clock of its own.
#include "bank_device.h"
#include "commands.h"
#include "line_wait.h"
#include "ppdev_bank.h"

#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <sstream>

using namespace lptctl;
using std::chrono::milliseconds;

namespace {

constexpr unsigned char AckHigh = 0x40;

// ppdev on one port: its status and its interrupt count change as a script
// says, while the program sleeps in poll.
class TInterruptKernel : public lptwdmio::TPpdevSystem {
 public:
  struct TEvent {
    milliseconds At;
    bool Interrupt;
    std::optional<bool> Ack;  // ACK's level from then on
  };

  int Open(const std::string&) override { return 3; }
  int Access(const std::string&) override { return 0; }
  void Close(int) override {}
  uint32_t HolderOf(const std::string&) override { return 0; }
  int Ioctl(int, unsigned long request, void* argument) override {
    if (request == PPRSTATUS) *static_cast<unsigned char*>(argument) = Ack ? AckHigh : 0;
    if (request == PPRDATA || request == PPRCONTROL) *static_cast<unsigned char*>(argument) = 0;
    if (request == PPCLRIRQ) {
      *static_cast<int*>(argument) = std::exchange(Count, 0);
      Calls.push_back("clear");
    }
    return 0;
  }
  // Events up to the timeout happen; the first interrupt ends the sleep, as
  // does one counted before it.
  int PollInterrupt(int, int timeoutMs) override {
    Calls.push_back("poll " + std::to_string(timeoutMs));
    const TClock::time_point until = Now + milliseconds(timeoutMs);
    while (!Count && Next < Events.size() && Start + Events[Next].At <= until) {
      const TEvent& event = Events[Next++];
      Now = std::max(Now, Start + event.At);
      if (event.Ack) Ack = *event.Ack;
      Count += event.Interrupt ? 1 : 0;
    }
    if (!Count) Now = until;
    return Count ? 1 : 0;
  }

  TClock::time_point Start{};
  TClock::time_point Now = Start;
  std::vector<TEvent> Events;
  std::size_t Next = 0;
  bool Ack = true;
  int Count = 0;
  std::vector<std::string> Calls;
};

// The kernel's clock; a wait on it is never stopped.
class TKernelPacer : public TPacer {
 public:
  explicit TKernelPacer(TInterruptKernel& kernel) : Kernel_(kernel) {}
  TClock::time_point Now() override { return Kernel_.Now; }
  bool WaitUntil(TClock::time_point at) override {
    Kernel_.Now = std::max(Kernel_.Now, at);
    return false;
  }

 private:
  TInterruptKernel& Kernel_;
};

class InterruptWaitTest : public ::testing::Test {
 protected:
  // LPT2 served by ppdev, with or without an interrupt line.
  void Serve(bool interrupt) {
    emulation::Reset();
    lptwdmio::TPpdevBank::TSlots slots;
    slots[1] = lptwdmio::TPpdevSlot{"/dev/parport0", 0x378, "", interrupt};
    Bank = std::make_unique<lptwdmio::TPpdevBank>(Kernel, std::move(slots), milliseconds(20), Messages);
    ASSERT_EQ(RegisterBankDevice(*Bank), 0u);
  }
  void TearDown() override { emulation::Reset(); }

  TInterruptKernel Kernel;
  std::ostringstream Messages;
  std::unique_ptr<lptwdmio::TPpdevBank> Bank;
};

// What `wait -v` says it watches the port by, for each kind of wait on a
// port with and without an interrupt the system delivers.
TEST_F(InterruptWaitTest, OnlyAWaitForAckFallingAloneSleepsOnTheInterrupt) {
  const std::string onInterrupt = "by the port's interrupt, reading it every 100 ms as well";
  struct TCase {
    std::vector<std::string> Conditions;
    bool Interrupt;
    std::string How;
  };
  const TCase cases[] = {
      {{"ACK=falling"}, true, onInterrupt},
      {{"ack=Falling", "10=falling"}, true, onInterrupt},  // by name in any case, or by pin
      {{"ACK=falling"}, false, "by polling every 1 ms"},
      {{"ACK=rising"}, true, "by polling every 1 ms"},
      {{"ACK=change"}, true, "by polling every 1 ms"},
      {{"ACK=0"}, true, "by polling every 1 ms"},
      {{"BUSY=falling"}, true, "by polling every 1 ms"},
      {{"ACK=falling", "BUSY=0"}, true, "by polling every 1 ms"},
      {{"ACK=falling", "--interval", "5"}, false, "by polling every 5 ms"},
  };
  for (const TCase& c : cases) {
    const std::string name = c.Conditions[0] + (c.Interrupt ? " with" : " without") + " an interrupt";
    Serve(c.Interrupt);
    std::vector<std::string> args{"wait", "-v", "LPT2", "--timeout", "0"};
    args.insert(args.end(), c.Conditions.begin(), c.Conditions.end());
    std::ostringstream out, err;
    EXPECT_EQ(lptctl::Run(args, out, err), ExitFailed) << name;  // none is met at once
    EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "lptctl: waiting on LPT2 " + c.How) << name;
  }
}

// Each sleep ends at an interrupt or after 100 ms, whichever comes first,
// and the port is read after it: an interrupt without ACK's fall is one more
// sample, and a fall without an interrupt is seen at the next read.
TEST_F(InterruptWaitTest, SleepsEndAtTheInterruptOrTheNextReadAndOnlyAFallEndsTheWait) {
  using TEvent = TInterruptKernel::TEvent;
  using TEnd = TWaitResult::TEnd;
  struct TCase {
    const char* Name;
    std::vector<TEvent> Events;
    int Pending;  // interrupts counted before the wait
    TEnd End;
    int AtMs;
    unsigned long Interrupts;
    std::vector<std::string> Calls;
  };
  // clang-format off
  const TCase cases[] = {
      {"the interrupt comes as ACK falls", {{milliseconds(30), true, false}}, 0, TEnd::Met, 30, 1,
       {"clear", "poll 100", "clear"}},
      {"an interrupt without the fall, then the real one",
       {{milliseconds(20), true, std::nullopt}, {milliseconds(150), true, false}}, 0, TEnd::Met, 150, 2,
       {"clear", "poll 100", "clear", "poll 100", "clear", "poll 100", "clear"}},
      {"ACK falls without an interrupt", {{milliseconds(40), false, false}}, 0, TEnd::Met, 100, 0,
       {"clear", "poll 100", "clear"}},
      {"an interrupt from before the wait, and none since", {}, 1, TEnd::TimedOut, 250, 0,
       {"clear", "poll 100", "clear", "poll 100", "clear", "poll 50", "clear"}},
  };
  // clang-format on
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Kernel = TInterruptKernel();
    Kernel.Events = c.Events;
    Kernel.Count = c.Pending;
    Serve(true);
    TLptPortConnection connection(TLptConnectionOptions{false, ""});
    TLptPortReports reports;
    ASSERT_TRUE(connection.QueryPorts(reports));
    EXPECT_TRUE(reports[1].Interrupt);
    EXPECT_FALSE(reports[0].Interrupt);
    TLinePort port(connection, PortLpt2);
    TKernelPacer pacer(Kernel);
    TInterruptSource source(port, pacer);
    std::string why;
    const TCondition ackFalls = *ParseCondition("ACK=falling", why);
    const TWaitResult result = WaitFor(source, {&ackFalls, 1}, false, milliseconds(250));
    EXPECT_EQ(result.End, c.End);
    EXPECT_EQ(result.Elapsed, milliseconds(c.AtMs));
    EXPECT_EQ(source.Interrupts(), c.Interrupts);
    EXPECT_EQ(Kernel.Calls, c.Calls);
  }
}

}  // namespace
