// A message box blocks its application: the other forms take no input while
// it is up, and a termination request ends the program from any box.
#include <atomic>
#include <thread>

#include "forms_fixture.h"
#include "sysutils.h"
#include "threads.h"

namespace {

using namespace std::chrono_literals;

const std::string BoxCaption = "Box";

// A form with a lamp that toggles on a press, two edit fields, and a write
// button whose click fails the way a bad hexadecimal entry does.
class ModalTest : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    App().SetTitle(BoxCaption);
    Lamp = new TBox(Form, Rect(10, 10, 40, 40), clGreen);
    Lamp->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
      ++LampPresses;
      Lamp->Fill = Lamp->Fill == clGreen ? clLime : clGreen;
      Lamp->Invalidate();
    };
    Write = new TBox(Form, Rect(50, 10, 90, 40), clGray);
    Write->OnClick = [this](TObject*) {
      ++WriteClicks;
      StrToInt("$0g");
    };
    Edit1 = MakeEdit(60);
    Edit2 = MakeEdit(90);
    ShowForm();
  }
  TEdit* MakeEdit(int top) {
    auto* e = new TEdit(Form);
    e->SetParent(Form);
    e->SetBounds(10, top, 80, 20);
    e->SetText("00");
    e->SetTabStop(true);
    return e;
  }
  TApplication& App() { return Headless.App(); }
  display::HeadlessWindow* Box() { return Headless.Display().FindWindow(BoxCaption); }
  int OpenBoxes() {
    int n = 0;
    for (display::HeadlessWindow* w : Headless.Display().Windows()) n += w->Title() == BoxCaption;
    return n;
  }
  // Every kind of input a user could aim at the main form.
  void PokeTheMainForm() {
    Win().Click(20, 20);  // the lamp
    Win().Click(60, 20);  // the failing write button
    Win().Click(20, 95);  // the second edit field
    Win().KeyDown(VK_TAB);
    Win().KeyUp(VK_TAB);
    Win().Type("x");
    Win().RequestClose();
  }
  // OK is the left of two buttons, or the one button, centred at the bottom.
  void ClickBoxOk(bool withCancel = false) {
    display::HeadlessWindow* box = Box();
    ASSERT_NE(box, nullptr);
    const int centre = box->Width() / 2;
    box->Click(withCancel ? centre - 4 - 37 : centre, box->Height() - 12 - 11);
  }
  // Bounds a box that a failing test would leave open.
  static std::optional<int> GiveUpAfterManyTurns(int turn) {
    if (turn < 100) return std::nullopt;
    ADD_FAILURE() << "the box was still open after " << turn << " turns";
    return IDCANCEL;
  }

  TBox* Lamp = nullptr;
  TBox* Write = nullptr;
  TEdit* Edit1 = nullptr;
  TEdit* Edit2 = nullptr;
  int LampPresses = 0;
  int WriteClicks = 0;
};

TEST_F(ModalTest, InputToTheFormBehindABoxChangesNothingAndTheBoxStillAnswers) {
  ASSERT_EQ(Form->ActiveControl(), Edit1);
  bool poked = false;
  int turns = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    const int turn = ++turns;
    if (!poked) {
      poked = true;
      PokeTheMainForm();
      App().ProcessMessages();
      EXPECT_EQ(LampPresses, 0);
      EXPECT_EQ(WriteClicks, 0);
      EXPECT_EQ(Pixel(20, 20), clGreen);
      EXPECT_EQ(Edit1->Text(), "00");
      EXPECT_EQ(Edit2->Text(), "00");
      EXPECT_TRUE(Form->Showing());
      EXPECT_FALSE(App().Terminated());
      ClickBoxOk(true);
    }
    return GiveUpAfterManyTurns(turn);
  };
  EXPECT_EQ(App().MessageBox("Stop", BoxCaption, MB_OKCANCEL), IDOK);
  EXPECT_TRUE(poked);
  // Focus is where it was, and the form takes input again.
  EXPECT_EQ(Form->ActiveControl(), Edit1);
  Win().KeyDown(VK_END);
  Win().Type("7");
  EXPECT_EQ(Edit1->Text(), "007");
  Win().Click(20, 20);
  EXPECT_EQ(LampPresses, 1);
}

TEST_F(ModalTest, RepeatedFailingWritesShowOneBoxAtATime) {
  int turns = 0;
  int mostBoxes = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest& r) -> std::optional<int> {
    EXPECT_EQ(r.Text, "'$0g' is not a valid integer value.");
    const int turn = ++turns;
    mostBoxes = std::max(mostBoxes, OpenBoxes());
    if (turn <= 3) Win().Click(60, 20);  // the failing button again, behind the box
    if (turn == 5) ClickBoxOk();
    return GiveUpAfterManyTurns(turn);
  };
  Win().Click(60, 20);
  EXPECT_EQ(WriteClicks, 1);
  EXPECT_EQ(mostBoxes, 1);
  EXPECT_EQ(OpenBoxes(), 0);
  // Once the box is gone the button works (and fails) again.
  turns = 4;
  Win().Click(60, 20);
  EXPECT_EQ(WriteClicks, 2);
}

TEST_F(ModalTest, TimersAndPaintingGoOnBehindABox) {
  auto* timer = new TTimer(Form);
  timer->SetInterval(100);
  timer->OnTimer = [this](TObject*) {
    Lamp->Fill = clRed;
    Lamp->Invalidate();
  };
  int turns = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    if (Pixel(20, 20) == clRed) return IDOK;
    return GiveUpAfterManyTurns(++turns);
  };
  EXPECT_EQ(App().MessageBox("Wait", BoxCaption), IDOK);
  EXPECT_EQ(Pixel(20, 20), clRed);
}

TEST_F(ModalTest, APressThatOpensABoxDoesNotHoldTheMouseAfterIt) {
  Lamp->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
    ++LampPresses;
    throw Exception("pressed");
  };
  int turns = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    // The release comes while the box is up, to a form that takes no input.
    if (++turns == 1) Win().MouseUp(20, 20);
    return turns < 3 ? std::nullopt : std::optional<int>(IDOK);
  };
  Win().MouseDown(20, 20);  // the box opens inside the press
  EXPECT_EQ(LampPresses, 1);
  EXPECT_EQ(Form->CaptureControl(), nullptr);
  Win().Click(60, 20);
  EXPECT_EQ(WriteClicks, 1) << "a later click went to the control that had the press";
}

TEST_F(ModalTest, CloseRequestAnswersEveryOpenBoxAsItsCloseButtonAndEndsTheLoop) {
  bool closeAsked = false;
  Form->OnClose = [&](TObject*, TCloseAction&) { closeAsked = true; };
  int inner = 0;
  int turns = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest& r) -> std::optional<int> {
    const int turn = ++turns;
    if (r.Text == "outer") {
      inner = App().MessageBox("inner", BoxCaption, MB_OKCANCEL);
    } else {
      EXPECT_EQ(OpenBoxes(), 2);
      App().RequestClose();
    }
    return GiveUpAfterManyTurns(turn);
  };
  EXPECT_EQ(App().MessageBox("outer", BoxCaption, MB_OK), IDOK);
  EXPECT_EQ(inner, IDCANCEL);
  EXPECT_EQ(OpenBoxes(), 0);
  EXPECT_TRUE(closeAsked);
  EXPECT_FALSE(Form->Showing());
  EXPECT_TRUE(App().Terminated());
}

TEST_F(ModalTest, CloseRequestFromAnotherThreadReachesAWaitingBox) {
  Headless.Display().SetVirtualTime(false);
  std::atomic<bool> boxUp{false};
  int turns = 0;
  App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
    boxUp = true;
    return GiveUpAfterManyTurns(++turns);
  };
  std::thread signal([&] {
    while (!boxUp) std::this_thread::yield();
    SendToMainThread([this] { App().RequestClose(); });
  });
  EXPECT_EQ(App().MessageBox("Waiting", BoxCaption, MB_OKCANCEL), IDCANCEL);
  signal.join();
  EXPECT_TRUE(App().Terminated());
}

// A box opened while the main form is being created (a failed start-up): the
// request answers it, start-up runs to its end, and Run returns at once.
TEST(ModalStartup, CloseRequestDuringCreationLetsStartupFinish) {
  class TStartForm : public TForm {
   public:
    explicit TStartForm(TComponent* owner) : TForm(owner) {
      OnCreate = [this](TObject*) {
        Answer = Application->MessageBox("no driver", "ERROR", MB_OK);
        CreateFinished = true;
      };
    }
    int Answer = 0;
    bool CreateFinished = false;
  };
  bool destroyed = false;
  {
    THeadlessApp headless;
    int turns = 0;
    headless.App().MessageBoxAnswerer = [&](const TMessageBoxRequest&) -> std::optional<int> {
      EXPECT_EQ(headless.App().MainForm(), nullptr);
      headless.App().RequestClose();
      if (++turns < 100) return std::nullopt;
      ADD_FAILURE() << "the request did not reach the box";
      return IDCANCEL;
    };
    TStartForm* form = nullptr;
    headless.App().CreateForm(form);
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    EXPECT_EQ(form->Answer, IDOK);
    EXPECT_TRUE(form->CreateFinished);
    EXPECT_EQ(headless.App().MainForm(), form);
    headless.App().Run();
    EXPECT_FALSE(form->Showing());
  }
  EXPECT_TRUE(destroyed);
}

}  // namespace
