// The termination hook, and the close on the UI thread the program binds to
// it. The signals are held before any thread exists, as main does.
#include "CloseOnTermination.h"
#include "headless_app.h"
#include "termination.h"
#include "test_support.h"
#include "threads.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <vector>

using namespace std::chrono_literals;
using platform::TTermination;

namespace {

const bool RequestsHeld = (platform::HoldTerminationRequests(), true);

struct TRequestCase {
  int Signal;
  TTermination Why;
};
const TRequestCase Requests[] = {
    {SIGINT, TTermination::Interrupt}, {SIGTERM, TTermination::Terminate}, {SIGHUP, TTermination::HangUp}};

// The reasons a hook handed over, in order.
class TReasons {
 public:
  void Add(TTermination why) {
    const std::lock_guard lock(Mutex_);
    Seen_.push_back(why);
  }
  std::vector<TTermination> Seen() const {
    const std::lock_guard lock(Mutex_);
    return Seen_;
  }
  bool WaitFor(std::size_t count) const {
    return pinlark::testsupport::WaitUntil([&] { return Seen().size() >= count; }, 10s);
  }

 private:
  mutable std::mutex Mutex_;
  std::vector<TTermination> Seen_;
};

TEST(TerminationHookTest, EachSignalIsHandedOverWithItsReason) {
  ASSERT_TRUE(RequestsHeld);
  TReasons reasons;
  platform::TTerminationHook hook([&](TTermination why) { reasons.Add(why); });
  std::vector<TTermination> expected;
  for (const TRequestCase& request : Requests) {
    ::kill(::getpid(), request.Signal);
    expected.push_back(request.Why);
    ASSERT_TRUE(reasons.WaitFor(expected.size())) << "no request on signal " << request.Signal;
    EXPECT_EQ(platform::Describe(request.Why), "signal " + std::to_string(request.Signal));
  }
  EXPECT_EQ(reasons.Seen(), expected);
}

// nohup starts the program with SIGHUP ignored. Held for the hook, it would
// wait as pending until sigwait took it as a hang-up; it must be dropped. In
// a child, which starts as a program does: nothing held.
TEST(TerminationHookTest, ASignalIgnoredAtStartStaysIgnored) {
  pinlark::testsupport::TChild child([] {
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGHUP, SIG_IGN);
    platform::HoldTerminationRequests();
    ::kill(::getpid(), SIGHUP);
    ::kill(::getpid(), SIGTERM);
    sigset_t pending;
    ::sigpending(&pending);
    int code = (sigismember(&pending, SIGHUP) ? 1 : 0) | (sigismember(&pending, SIGTERM) ? 0 : 2);
    {
      // sigwait takes the lowest pending signal first: a held SIGHUP would
      // come before SIGTERM.
      TReasons reasons;
      platform::TTerminationHook hook([&](TTermination why) { reasons.Add(why); });
      if (!reasons.WaitFor(1) || reasons.Seen().front() != TTermination::Terminate) code |= 4;
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, nullptr, &after);
    return after.sa_handler == SIG_IGN ? code : code | 8;
  });
  EXPECT_EQ(child.Wait(10s), 0) << "1: SIGHUP waits for the hook; 2: SIGTERM is not held for it; "
                                   "4: the hook did not see SIGTERM first; 8: SIGHUP not ignored after";
}

class CloseOnTerminationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RequestsHeld); }
  // Sends the signal to the process and serves the UI thread until the
  // close has run.
  bool Deliver(int signal, int expectedCalls) {
    ::kill(::getpid(), signal);
    return WaitWhileServingSentWork([&] { return Calls == expectedCalls; }, 10s);
  }

  THeadlessApp Headless;
  std::atomic<int> Calls{0};
};

TEST_F(CloseOnTerminationTest, EachRequestClosesOnTheUiThread) {
  std::atomic<bool> onUiThread{true};
  TCloseOnTermination closer([&] {
    onUiThread = onUiThread && IsMainThread();
    ++Calls;
  });
  ASSERT_TRUE(Deliver(SIGTERM, 1));
  ASSERT_TRUE(Deliver(SIGINT, 2));
  EXPECT_TRUE(onUiThread);
}

TEST_F(CloseOnTerminationTest, AFailedCloseIsReportedAndTheHookGoesOn) {
  ::testing::internal::CaptureStderr();
  {
    TCloseOnTermination closer([&] {
      if (++Calls == 1) throw std::runtime_error("window already gone");
    });
    ASSERT_TRUE(Deliver(SIGTERM, 1));
    ASSERT_TRUE(Deliver(SIGTERM, 2));
  }
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("signals_test: closing on signal " + std::to_string(SIGTERM) +
                        " failed: window already gone"),
            std::string::npos)
      << errors;
}

// The destructor wakes a hook that is waiting for a request; a later hook
// still gets every request.
TEST_F(CloseOnTerminationTest, AnIdleHookStopsWhenDestroyed) {
  {
    TCloseOnTermination idle([&] { ++Calls; });
  }
  EXPECT_EQ(Calls, 0);
  TCloseOnTermination next([&] { ++Calls; });
  ASSERT_TRUE(Deliver(SIGINT, 1));
}

}  // namespace
