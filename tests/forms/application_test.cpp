#include <atomic>
#include <thread>

#include "forms_fixture.h"
#include "sysutils.h"
#include "threads.h"

namespace {

using namespace std::chrono_literals;

class ApplicationTest : public FormFixture {
 protected:
  TApplication& App() { return Headless.App(); }
  TTimer* MakeTimer(unsigned interval, std::function<void()> onTick) {
    auto* t = new TTimer(Form);
    t->SetInterval(interval);
    t->OnTimer = [onTick](TObject*) { onTick(); };
    return t;
  }
};

TEST_F(ApplicationTest, TitleIsTheExecutableNameWithoutExtension) { EXPECT_EQ(App().Title(), "test_forms"); }

TEST_F(ApplicationTest, TimerTicksOnTheLoopAndStopsWhenDisabledOrZero) {
  int ticks = 0;
  TTimer* t = MakeTimer(100, [&] { ++ticks; });
  ShowForm();
  App().RunFor(1050ms);
  EXPECT_EQ(ticks, 10);
  t->SetEnabled(false);
  App().RunFor(500ms);
  EXPECT_EQ(ticks, 10);
  t->SetEnabled(true);
  t->SetInterval(0);
  App().RunFor(500ms);
  EXPECT_EQ(ticks, 10);
}

TEST_F(ApplicationTest, LateTicksMergeIntoOne) {
  int ticks = 0;
  MakeTimer(100, [&] {
    if (++ticks == 1) Headless.Display().Advance(350ms);  // a slow handler
  });
  ShowForm();
  App().RunFor(500ms);
  // One tick at 100 ms that ran until 450 ms, then a single merged tick, not three to catch up.
  EXPECT_EQ(ticks, 2);
}

TEST_F(ApplicationTest, TimersKeepTickingWhileAMessageBoxWaits) {
  int ticks = 0;
  MakeTimer(100, [&] { ++ticks; });
  ShowForm();
  int asked = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest& r) -> std::optional<int> {
    ++asked;
    EXPECT_EQ(r.Text, "Hello");
    if (ticks >= 3) return IDOK;
    return std::nullopt;
  };
  EXPECT_EQ(App().MessageBox("Hello", "Caption", MB_OKCANCEL), IDOK);
  EXPECT_GE(ticks, 3);
  EXPECT_GT(asked, 1);
}

TEST_F(ApplicationTest, MessageBoxIsATitledDialogThatEnterOrEscapeCloses) {
  ShowForm();
  TColor iconPixel = clNone;
  bool sawDialog = false;
  int turn = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    display::HeadlessWindow* box = Headless.Display().FindWindow("Problem");
    if (!box || ++turn < 2) return std::nullopt;
    sawDialog = box->Params().Dialog && !box->Params().Resizable;
    iconPixel = PixelToColor(box->PixelAt(12 + 16, 12 + 4));
    box->KeyDown(VK_ESCAPE);
    return std::nullopt;
  };
  EXPECT_EQ(App().MessageBox("Something failed", "Problem", MB_OKCANCEL | MB_ICONERROR), IDCANCEL);
  EXPECT_TRUE(sawDialog);
  EXPECT_EQ(GetRValue(iconPixel) > 0xC0 && GetGValue(iconPixel) < 0x40, true) << std::hex << iconPixel;
  EXPECT_EQ(Headless.Display().FindWindow("Problem"), nullptr);

  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    if (auto* box = Headless.Display().FindWindow("Info")) box->KeyDown(VK_RETURN);
    return std::nullopt;
  };
  EXPECT_EQ(App().MessageBox("Done", "Info", MB_OKCANCEL), IDOK);
}

TEST_F(ApplicationTest, AnExceptionInAHandlerBecomesAnErrorBoxAndTheLoopGoesOn) {
  auto* box = new TBox(Form, Rect(10, 10, 50, 50), clRed);
  int clicks = 0;
  box->OnClick = [&](TObject*) {
    if (++clicks == 1) throw EConvertError("'zz' is not a valid integer value");
    if (clicks == 2) throw Exception("Already ends with a stop.");
  };
  std::vector<TMessageBoxRequest> boxes;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest& r) -> std::optional<int> {
    boxes.push_back(r);
    return IDOK;
  };
  ShowForm();
  Win().Click(20, 20);
  Win().Click(20, 20);
  Win().Click(20, 20);
  EXPECT_EQ(clicks, 3);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Text, "'zz' is not a valid integer value.");
  EXPECT_EQ(boxes[0].Caption, App().Title());
  EXPECT_EQ(boxes[0].Flags, MB_OK | MB_ICONERROR);
  EXPECT_EQ(boxes[1].Text, "Already ends with a stop.");
}

TEST_F(ApplicationTest, OnExceptionReplacesTheErrorBox) {
  std::string reported;
  App().OnException = [&](TObject*, const std::exception& e) { reported = e.what(); };
  bool boxShown = false;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    boxShown = true;
    return IDOK;
  };
  MakeTimer(10, [] { throw std::runtime_error("tick failed"); });
  ShowForm();
  App().RunFor(15ms);
  EXPECT_EQ(reported, "tick failed");
  EXPECT_FALSE(boxShown);
}

TEST_F(ApplicationTest, AFailingTimerDoesNotStackErrorBoxesOfItsOwn) {
  int ticks = 0;
  MakeTimer(100, [&] {
    ++ticks;
    throw Exception("poll failed");
  });
  MakeTimer(30, [] {});  // keeps the clock moving while the box waits
  int boxTurns = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    return ++boxTurns < 20 ? std::nullopt : std::optional<int>(IDOK);
  };
  ShowForm();
  App().RunFor(150ms);
  EXPECT_EQ(ticks, 1);
}

TEST_F(ApplicationTest, TerminateBeforeRunEndsTheLoopAtOnce) {
  int ticks = 0;
  MakeTimer(10, [&] { ++ticks; });
  App().Terminate();
  App().Run();
  EXPECT_TRUE(App().Terminated());
  EXPECT_EQ(ticks, 0);
  EXPECT_FALSE(Form->Showing());
}

TEST_F(ApplicationTest, ClosingTheMainFormEndsRun) {
  int ticks = 0;
  MakeTimer(100, [&] {
    if (++ticks == 3) Headless.WindowOf(*Form)->RequestClose();
  });
  bool closeAsked = false;
  Form->OnClose = [&](TObject*, TCloseAction&) { closeAsked = true; };
  App().Run();
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(closeAsked);
  EXPECT_FALSE(Form->Showing());
}

TEST_F(ApplicationTest, CloseActionNoneKeepsTheFormOpen) {
  Form->OnClose = [](TObject*, TCloseAction& a) { a = caNone; };
  ShowForm();
  Form->Close();
  EXPECT_TRUE(Form->Showing());
  EXPECT_FALSE(App().Terminated());
}

TEST(ApplicationLifetime, FormsAreFreedLastCreatedFirstWithOnDestroyOnceBeforeTheirControls) {
  std::vector<std::string> log;
  {
    THeadlessApp headless;
    TForm* first = nullptr;
    TForm* second = nullptr;
    headless.App().CreateForm(first);
    headless.App().CreateForm(second);
    EXPECT_EQ(headless.App().MainForm(), first);
    auto* label = new TLabel(first);
    label->SetParent(first);
    first->OnDestroy = [&log, label](TObject*) {
      log.push_back("first:" + std::to_string(label->Width() > 0));
    };
    second->OnDestroy = [&log](TObject*) { log.push_back("second"); };
  }
  EXPECT_EQ(log, (std::vector<std::string>{"second", "first:1"}));
  EXPECT_EQ(Application, nullptr);
}

TEST(ApplicationLifetime, OnCreateRunsAfterTheConstructorBuiltTheLayout) {
  class TMyForm : public TForm {
   public:
    explicit TMyForm(TComponent* owner) : TForm(owner) {
      Label = new TLabel(this);
      OnCreate = [this](TObject*) { LabelExisted = Label != nullptr; };
    }
    TLabel* Label = nullptr;
    bool LabelExisted = false;
  };
  THeadlessApp headless;
  TMyForm* form = nullptr;
  headless.App().CreateForm(form);
  EXPECT_TRUE(form->LabelExisted);
}

class ThreadTest : public FormFixture {};

TEST_F(ThreadTest, SendToMainThreadRunsTheWorkOnTheUiThreadAndCarriesExceptionsBack) {
  EXPECT_TRUE(IsMainThread());
  bool ranOnMain = false;
  std::string caught;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    EXPECT_FALSE(IsMainThread());
    SendToMainThread([&] { ranOnMain = IsMainThread(); });
    try {
      SendToMainThread([] { throw EConvertError("bad value"); });
    } catch (const EConvertError& e) {
      caught = e.what();
    }
    finished = true;
  });
  EXPECT_TRUE(WaitWhileServingSentWork([&] { return finished.load(); }, 10s));
  worker.join();
  EXPECT_TRUE(ranOnMain);
  EXPECT_EQ(caught, "bad value");
}

TEST_F(ThreadTest, TheLoopServesSentWorkWhenWoken) {
  Headless.Display().SetVirtualTime(false);
  std::atomic<bool> done{false};
  int served = 0;
  std::thread worker([&] {
    SendToMainThread([&] { ++served; });
    done = true;
  });
  const auto start = std::chrono::steady_clock::now();
  while (!done && std::chrono::steady_clock::now() - start < 10s) Headless.App().HandleMessage();
  worker.join();
  EXPECT_EQ(served, 1);
}

TEST(ThreadLifetime, WorkSentAfterTheApplicationIsGoneFailsInsteadOfBlocking) {
  { THeadlessApp headless; }
  std::string error;
  std::thread worker([&] {
    try {
      SendToMainThread([] {});
    } catch (const std::exception& e) {
      error = e.what();
    }
  });
  worker.join();
  EXPECT_FALSE(error.empty());
}

}  // namespace
