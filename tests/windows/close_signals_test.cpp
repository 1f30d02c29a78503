// The close-on-signal watcher's Windows side: the end of the session and
// console control events each close the main window once, on the UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CloseSignals.h"
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
  bool WaitFor(const std::function<bool()>& done) { return WaitWhileServingSentWork(done, Bound); }

  // The watcher's hidden window, once its thread has made it.
  void* WatcherWindow() {
    void* window = nullptr;
    WaitFor([&] { return (window = wintest::FindCloseWatcherWindow()) != nullptr; });
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

TEST_F(CloseSignalsTest, SessionEndClosesOnceBeforeItsMessageReturns) {
  TCloseSignalWatcher watcher(CountClose());
  void* window = WatcherWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(EndSession(window, true), 1);
  EXPECT_EQ(Closes.load(), 1);
}

TEST_F(CloseSignalsTest, CancelledSessionEndLeavesTheWindowOpen) {
  TCloseSignalWatcher watcher(CountClose());
  void* window = WatcherWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(EndSession(window, false), 0);
}

// Wine raises only Ctrl+C this way; Ctrl+Break takes the same handler.
TEST_F(CloseSignalsTest, EveryCtrlCClosesTheMainWindow) {
  TCloseSignalWatcher watcher(CountClose());
  ASSERT_NE(WatcherWindow(), nullptr);
  ASSERT_TRUE(wintest::RaiseConsoleEvent(false));
  EXPECT_TRUE(WaitFor([&] { return Closes.load() == 1; }));
  ASSERT_TRUE(wintest::RaiseConsoleEvent(false));
  EXPECT_TRUE(WaitFor([&] { return Closes.load() == 2; }));
}

TEST_F(CloseSignalsTest, WatcherGoesWithoutASignalAndTakesItsWindow) {
  {
    TCloseSignalWatcher watcher(CountClose());
    ASSERT_NE(WatcherWindow(), nullptr);
  }
  EXPECT_EQ(wintest::FindCloseWatcherWindow(), nullptr);
  EXPECT_EQ(Closes.load(), 0);
}

}  // namespace
