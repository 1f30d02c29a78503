// The watcher that turns SIGINT and SIGTERM into a close request on the UI
// thread. The signals are blocked before any thread exists, as main does.
#include "CloseSignals.h"
#include "headless_app.h"
#include "threads.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

const bool SignalsBlocked = (BlockCloseSignals(), true);

class CloseSignalWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SignalsBlocked); }
  // Sends the signal to the process and serves the UI thread until the
  // watcher's request has run.
  bool Deliver(int signal, int expectedCalls) {
    ::kill(::getpid(), signal);
    return WaitWhileServingSentWork([&] { return Calls == expectedCalls; }, 10s);
  }

  THeadlessApp Headless;
  std::atomic<int> Calls{0};
};

TEST_F(CloseSignalWatcherTest, EachSignalRunsTheRequestOnTheUiThread) {
  std::atomic<bool> onUiThread{true};
  TCloseSignalWatcher watcher([&] {
    onUiThread = onUiThread && IsMainThread();
    ++Calls;
  });
  ASSERT_TRUE(Deliver(SIGTERM, 1));
  ASSERT_TRUE(Deliver(SIGINT, 2));
  EXPECT_TRUE(onUiThread);
}

TEST_F(CloseSignalWatcherTest, AFailedRequestIsReportedAndTheWatcherGoesOn) {
  ::testing::internal::CaptureStderr();
  {
    TCloseSignalWatcher watcher([&] {
      if (++Calls == 1) throw std::runtime_error("window already gone");
    });
    ASSERT_TRUE(Deliver(SIGTERM, 1));
    ASSERT_TRUE(Deliver(SIGTERM, 2));
  }
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("closing on signal " + std::to_string(SIGTERM) + " failed: window already gone"),
            std::string::npos)
      << errors;
}

// The destructor wakes a watcher that is waiting for a signal; a later
// watcher still gets every signal.
TEST_F(CloseSignalWatcherTest, AnIdleWatcherStopsWhenDestroyed) {
  {
    TCloseSignalWatcher idle([&] { ++Calls; });
  }
  EXPECT_EQ(Calls, 0);
  TCloseSignalWatcher next([&] { ++Calls; });
  ASSERT_TRUE(Deliver(SIGINT, 1));
}

// nohup starts the program with SIGHUP ignored. Blocked for the watcher, it
// would wait as pending until sigwait took it and closed the window; it must
// be dropped. In a child, which starts as a program does: nothing blocked.
TEST(CloseSignalsTest, ASignalIgnoredAtStartStaysIgnored) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGHUP, SIG_IGN);
    BlockCloseSignals();
    ::kill(::getpid(), SIGHUP);
    ::kill(::getpid(), SIGTERM);
    sigset_t pending;
    ::sigpending(&pending);
    ::_exit((sigismember(&pending, SIGHUP) ? 1 : 0) | (sigismember(&pending, SIGTERM) ? 0 : 2));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: SIGHUP waits for the watcher; 2: SIGTERM is not held for it";
}

}  // namespace
