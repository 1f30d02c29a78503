#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "AbFlashT.h"
#include "AbLED.h"
#include "probe.h"
#include "threads.h"
#include "widget_fixture.h"

namespace {

using namespace std::chrono_literals;

class FlashTest : public WidgetTest {
 protected:
  TProbe* Flashing(TFlashFreq f) {
    auto* p = new TProbe(Form);
    p->SetFrequency(f);
    p->SetFlashing(true);
    p->SetChecked(true);
    return p;
  }
  // Ticks the flash list by hand; the worker's ticks wait for the UI thread,
  // which only serves them when a test runs the loop.
  static void Ticks(int n) {
    for (int i = 0; i < n; ++i) FlashTick(nullptr);
  }
  // Phase changes counted per tick.
  static std::vector<int> ChangeTicks(TProbe* p, int ticks) {
    std::vector<int> at;
    for (int t = 0; t < ticks; ++t) {
      const auto before = p->Phases.size();
      FlashTick(nullptr);
      if (p->Phases.size() != before) at.push_back(t);
    }
    return at;
  }
};

TEST_F(FlashTest, SameRateControlsSwitchInTheSameTick) {
  auto* a = Flashing(ff1Hz);
  auto* b = Flashing(ff1Hz);
  auto* c = Flashing(ff2Hz);
  FlashState().FlashCounter = 0;
  std::vector<int> ta, tb, tc;
  for (int t = 0; t < 256; ++t) {
    const auto na = a->Phases.size(), nb = b->Phases.size(), nc = c->Phases.size();
    FlashTick(nullptr);
    if (a->Phases.size() != na) ta.push_back(t);
    if (b->Phases.size() != nb) tb.push_back(t);
    if (c->Phases.size() != nc) tc.push_back(t);
  }
  EXPECT_EQ(ta, tb);
  ASSERT_EQ(ta.size(), 8u);  // bit 5 flips every 32 ticks
  ASSERT_EQ(tc.size(), 16u);
  for (std::size_t i = 0; i < ta.size(); ++i) EXPECT_EQ(ta[i], tc[2 * i + 1]);
  // Phases alternate.
  for (std::size_t i = 1; i < a->Phases.size(); ++i) EXPECT_NE(a->Phases[i], a->Phases[i - 1]);
}

TEST_F(FlashTest, CounterWrapKeepsTheRhythm) {
  auto* p = Flashing(ff8Hz);
  FlashState().FlashCounter = 0xFFFFFFF0u;
  Ticks(1);
  p->Phases.clear();
  const auto at = ChangeTicks(p, 48);
  ASSERT_GE(at.size(), 10u);
  for (std::size_t i = 1; i < at.size(); ++i) EXPECT_EQ(at[i] - at[i - 1], 4);
}

TEST_F(FlashTest, UnsubscribingInsideAHandlerIsSafe) {
  auto* a = Flashing(ff8Hz);
  auto* b = Flashing(ff8Hz);
  FlashState().FlashCounter = 3;  // the next tick turns bit 2 on
  a->OnPhase = [&](bool) { b->SetFlashing(false); };
  Ticks(1);
  EXPECT_EQ(a->Phases.size(), 1u);
  EXPECT_TRUE(b->Phases.empty());
  a->OnPhase = [&](bool) { a->SetChecked(false); };
  Ticks(4);
  EXPECT_EQ(a->Phases.size(), 2u);
  for (const auto& e : FlashState().FlashList) EXPECT_NE(e.Control, a);
}

TEST_F(FlashTest, AFailingControlDoesNotSilenceTheOthers) {
  auto* a = Flashing(ff8Hz);
  auto* b = Flashing(ff8Hz);
  a->OnPhase = [](bool) { throw std::runtime_error("broken"); };
  FlashState().FlashCounter = 3;
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(Ticks(1));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "TAbBinGControl: flash phase failed: broken\n");
  EXPECT_EQ(b->Phases.size(), 1u);
}

TEST_F(FlashTest, UncheckedFlashingLedShowsColorOffSteadily) {
  auto* led = new TAbLED(Form);
  led->SetBounds(0, 0, 30, 20);
  led->LED().SetShape(sRectangle);
  Form->PaintInvalid();
  led->SetFlashing(true);
  led->SetChecked(true);
  FlashState().FlashCounter = 3;
  Ticks(1);  // bit 5 still off
  EXPECT_EQ(Pixel(6, 10), clLime);
  FlashState().FlashCounter = 31;
  Ticks(1);
  EXPECT_EQ(Pixel(6, 10), clLime);
  Ticks(32);
  EXPECT_EQ(Pixel(6, 10), 0xF0F0F0u);
  led->SetFlashing(false);
  EXPECT_EQ(Pixel(6, 10), clLime);
}

TEST_F(FlashTest, SecondTimerIsReportedAndStaysSilent) {
  Flashing(ff1Hz);
  ASSERT_NE(FlashState().FlashTimerInstance, nullptr);
  std::vector<TMessageBoxRequest> boxes;
  App->App().MessageBoxAnswerer = [&](const TMessageBoxRequest& r) -> std::optional<int> {
    boxes.push_back(r);
    return IDOK;
  };
  {
    TAbFlashTimer second(nullptr);
    EXPECT_FALSE(second.OnTimer());
    EXPECT_EQ(FlashState().FlashTimerCount, 2);
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Only one TAbFlashTimer per Application!\rRemove it...");
  EXPECT_EQ(boxes[0].Caption, "Error Message");
  EXPECT_EQ(boxes[0].Flags, MB_OK);
  EXPECT_EQ(FlashState().FlashTimerCount, 1);
  EXPECT_TRUE(FlashState().FlashTimerInstance->OnTimer());
}

// Real worker ticks, handed over to this (UI) thread.
TEST_F(FlashTest, WorkerTicksArriveOnTheUiThread) {
  Flashing(ff8Hz);
  auto& state = FlashState();
  const auto start = state.FlashCounter;
  EXPECT_TRUE(WaitWhileServingSentWork([&] { return state.FlashCounter - start >= 5; }, 5000ms));
  state.FlashTimerInstance->SetEnabled(false);
  WaitWhileServingSentWork([] { return false; }, 60ms);  // a tick in flight may still land
  const auto paused = state.FlashCounter;
  WaitWhileServingSentWork([] { return false; }, 100ms);
  EXPECT_EQ(state.FlashCounter, paused);
  state.FlashTimerInstance->SetEnabled(true);
  EXPECT_TRUE(WaitWhileServingSentWork([&] { return state.FlashCounter - paused >= 3; }, 5000ms));
}

class FailingTimer : public TAbFlash {
 public:
  using TAbFlash::TAbFlash;
};

TEST_F(FlashTest, FailingTickEndsOnlyTheWorker) {
  FailingTimer timer(nullptr);
  std::atomic<int> calls = 0;
  timer.SetOnTimer([&](TObject*) {
    ++calls;
    throw std::runtime_error("tick failed");
  });
  EXPECT_TRUE(timer.Thread().EndSignal()->Wait(5000ms));
  EXPECT_EQ(calls, 1);
  EXPECT_NE(timer.Thread().FatalException(), nullptr);
}

class CountingThread : public TAbThread {
 public:
  CountingThread() : TAbThread(true) {}
  std::function<void(CountingThread&)> Body;
  using TAbThread::SetReturnValue;
  using TAbThread::Synchronize;

 protected:
  void Execute() override { Body(*this); }
};

TEST_F(FlashTest, ThreadCarriesSynchronizedErrorsBackAndEndsCleanly) {
  auto t = std::make_shared<CountingThread>();
  bool caught = false, onUiThread = false, terminated = false;
  t->Body = [&](CountingThread& self) {
    try {
      self.Synchronize([&] {
        onUiThread = IsMainThread();
        throw std::runtime_error("from the UI thread");
      });
    } catch (const std::runtime_error&) {
      caught = true;
    }
    throw std::logic_error("escapes Execute");
  };
  t->OnTerminate = [&](TObject*) { terminated = IsMainThread(); };
  t->Resume();
  EXPECT_THROW(t->WaitFor(), std::logic_error);
  EXPECT_TRUE(onUiThread);
  EXPECT_TRUE(caught);
  EXPECT_TRUE(terminated);
  EXPECT_TRUE(t->Finished());
}

// What escapes the body or OnTerminate leaves one line on stderr and comes
// back from WaitFor; the first fault is the one kept.
TEST_F(FlashTest, ThreadFaultsAreReportedAndRaisedAgainByWaitFor) {
  struct TCase {
    const char* Name;
    bool BodyThrows;
    bool OnTerminateThrows;
    const char* Raised;  // null: WaitFor returns
    const char* Stderr;
  };
  const TCase cases[] = {
      {"clean", false, false, nullptr, ""},
      {"body", true, false, "body", "TAbThread: thread body failed: body\n"},
      {"on terminate", false, true, "terminate", "TAbThread: OnTerminate failed: terminate\n"},
      {"both", true, true, "body",
       "TAbThread: thread body failed: body\nTAbThread: OnTerminate failed: terminate\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto t = std::make_shared<CountingThread>();
    t->Body = [&](CountingThread& self) {
      self.SetReturnValue(7);
      if (c.BodyThrows) throw std::runtime_error("body");
    };
    t->OnTerminate = [&](TObject*) {
      if (c.OnTerminateThrows) throw std::runtime_error("terminate");
    };
    testing::internal::CaptureStderr();
    t->Resume();
    std::string raised;
    int returned = -1;
    try {
      returned = t->WaitFor();
    } catch (const std::runtime_error& e) {
      raised = e.what();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.Stderr);
    EXPECT_EQ(raised, c.Raised ? c.Raised : "");
    EXPECT_EQ(returned, c.Raised ? -1 : 7);
    EXPECT_EQ(t->FatalException() != nullptr, c.Raised != nullptr);
    EXPECT_TRUE(t->Finished());
  }
}

TEST_F(FlashTest, SuspendCountsMustBeBalanced) {
  auto t = std::make_shared<CountingThread>();
  std::atomic<bool> ran = false;
  t->Body = [&](CountingThread&) { ran = true; };
  t->Suspend();
  t->Resume();
  EXPECT_TRUE(t->Suspended());
  t->Resume();
  EXPECT_FALSE(t->Suspended());
  t->WaitFor();
  EXPECT_TRUE(ran);
}

}  // namespace
