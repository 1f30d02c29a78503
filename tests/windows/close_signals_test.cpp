// The close on termination, Windows side: the end of the session and
// console control events each close the main window once, on the UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CloseOnTermination.h"
#include "headless_app.h"
#include "session_events.h"
#include "threads.h"

namespace {

constexpr std::chrono::seconds Bound(10);

class CloseSignalsTest : public ::testing::Test {
 protected:
  std::function<void()> CountClose() {
    return [this] {
      EXPECT_TRUE(IsMainThread());
      ++Closes;
    };
  }
  bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = Bound) {
    return WaitWhileServingSentWork(done, bound);
  }

  // The hook's hidden window, once its thread has made it.
  void* HookWindow() {
    void* window = nullptr;
    WaitFor([&] { return (window = wintest::FindHookWindow()) != nullptr; });
    return window;
  }

  // Sends the session's messages from another thread, as Windows would, while
  // this (UI) thread serves the close; returns the closes seen when the last
  // message returned.
  int EndSession(void* window, bool ending) {
    std::atomic<int> closesOnReturn{-1};
    std::thread session([&] {
      wintest::EndSession(window, ending);
      closesOnReturn = Closes.load();
    });
    EXPECT_TRUE(WaitFor([&] { return closesOnReturn.load() >= 0; }));
    session.join();
    return closesOnReturn;
  }

  THeadlessApp App{800, 600};
  std::atomic<int> Closes{0};
};

// Windows may end the process once the message returns: it holds the session
// until the program has shut down, that is until the hook goes.
TEST_F(CloseSignalsTest, SessionEndClosesOnceAndReturnsOnlyOnceTheProgramHasShutDown) {
  std::atomic<bool> returned{false};
  std::thread session;
  {
    TCloseOnTermination closer(CountClose());
    void* window = HookWindow();
    ASSERT_NE(window, nullptr);
    session = std::thread([&] {
      wintest::EndSession(window, true);
      returned = true;
    });
    EXPECT_TRUE(WaitFor([&] { return Closes.load() == 1; }));
    EXPECT_FALSE(WaitFor([&] { return returned.load(); }, std::chrono::milliseconds(200)));
  }
  session.join();
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(Closes.load(), 1);
}

TEST_F(CloseSignalsTest, CancelledSessionEndLeavesTheWindowOpen) {
  TCloseOnTermination closer(CountClose());
  void* window = HookWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(EndSession(window, false), 0);
}

// Wine raises only Ctrl+C this way; Ctrl+Break takes the same handler.
TEST_F(CloseSignalsTest, EveryCtrlCClosesTheMainWindow) {
  TCloseOnTermination closer(CountClose());
  ASSERT_NE(HookWindow(), nullptr);
  ASSERT_TRUE(wintest::RaiseConsoleEvent(false));
  EXPECT_TRUE(WaitFor([&] { return Closes.load() == 1; }));
  ASSERT_TRUE(wintest::RaiseConsoleEvent(false));
  EXPECT_TRUE(WaitFor([&] { return Closes.load() == 2; }));
}

TEST_F(CloseSignalsTest, HookGoesWithoutARequestAndTakesItsWindow) {
  {
    TCloseOnTermination closer(CountClose());
    ASSERT_NE(HookWindow(), nullptr);
  }
  EXPECT_EQ(wintest::FindHookWindow(), nullptr);
  EXPECT_EQ(Closes.load(), 0);
}

}  // namespace
