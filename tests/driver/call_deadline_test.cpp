#include "call_deadline.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

using namespace lptwdmio;
using namespace std::chrono_literals;

namespace {

std::atomic<int> Caught{0};
extern "C" void CountSignal(int) { ++Caught; }

// A read of an empty pipe: a call that sleeps until something ends it.
int ReadEmptyPipe() {
  int ends[2];
  if (::pipe(ends) != 0) return errno;
  char byte;
  const int error = ::read(ends[0], &byte, 1) < 0 ? errno : 0;
  ::close(ends[0]);
  ::close(ends[1]);
  return error;
}

bool SignalBlocked() {
  sigset_t mask;
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  return sigismember(&mask, TCallDeadline::Signal());
}

bool SignalPending() {
  sigset_t pending;
  sigpending(&pending);
  return sigismember(&pending, TCallDeadline::Signal());
}

// The host's own use of the signal, which every deadline must leave as it was.
class CallDeadlineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    struct sigaction action {};
    action.sa_handler = &CountSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(TCallDeadline::Signal(), &action, &Old_), 0);
    Caught = 0;
  }
  void TearDown() override { sigaction(TCallDeadline::Signal(), &Old_, nullptr); }

  static void ExpectHostHandler() {
    struct sigaction now {};
    sigaction(TCallDeadline::Signal(), nullptr, &now);
    EXPECT_EQ(now.sa_handler, &CountSignal);
  }

 private:
  struct sigaction Old_ {};
};

TEST_F(CallDeadlineTest, EndsASleepingCallAndPutsEverythingBack) {
  for (bool blockedBefore : {false, true}) {
    SCOPED_TRACE(blockedBefore ? "signal blocked before" : "signal open before");
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, TCallDeadline::Signal());
    pthread_sigmask(blockedBefore ? SIG_BLOCK : SIG_UNBLOCK, &only, nullptr);
    {
      TCallDeadline deadline(10ms);
      ASSERT_TRUE(deadline.Armed()) << deadline.Error();
      EXPECT_EQ(ReadEmptyPipe(), EINTR);
    }
    ExpectHostHandler();
    EXPECT_EQ(SignalBlocked(), blockedBefore);
    EXPECT_FALSE(SignalPending());
    EXPECT_EQ(Caught, 0);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  }
}

// The timer may fire after the call came back; its signal must not reach the
// host's handler once the deadline is gone.
TEST_F(CallDeadlineTest, ASignalThatComesTooLateIsTakenAway) {
  {
    TCallDeadline deadline(1ms);
    ASSERT_TRUE(deadline.Armed());
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, TCallDeadline::Signal());
    pthread_sigmask(SIG_BLOCK, &only, nullptr);
    ASSERT_TRUE(pinlark::testsupport::WaitUntil(SignalPending, 10s));
  }
  EXPECT_FALSE(SignalPending());
  EXPECT_FALSE(SignalBlocked());
  EXPECT_EQ(Caught, 0);
  ExpectHostHandler();
}

// A thread preempted between arming and its call: the signal comes and goes
// before the call sleeps. The call must still end, and end as out of time.
TEST_F(CallDeadlineTest, ACallThatStartsAfterTheSignalStillEnds) {
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, TCallDeadline::Signal());
  TCallDeadline deadline(1ms);
  ASSERT_TRUE(deadline.Armed());
  pthread_sigmask(SIG_BLOCK, &only, nullptr);
  ASSERT_TRUE(pinlark::testsupport::WaitUntil(SignalPending, 10s));
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);  // the handler runs here, before the call
  EXPECT_TRUE(deadline.Passed());
  EXPECT_EQ(ReadEmptyPipe(), EINTR);
  EXPECT_EQ(Caught, 0);
}

TEST_F(CallDeadlineTest, EachThreadsDeadlineEndsOnlyItsOwnCall) {
  std::atomic<int> interrupted{0};
  auto sleeper = [&] {
    TCallDeadline deadline(10ms);
    if (deadline.Armed() && ReadEmptyPipe() == EINTR) ++interrupted;
  };
  std::thread a(sleeper), b(sleeper);
  a.join();
  b.join();
  EXPECT_EQ(interrupted, 2);
  EXPECT_EQ(Caught, 0);
  ExpectHostHandler();
}

}  // namespace
