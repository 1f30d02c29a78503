#include "forms_fixture.h"

namespace {

constexpr TColor Background = RGB(0x40, 0x40, 0x40);

class PaintTest : public FormFixture {};

TEST_F(PaintTest, LaterGraphicControlsPaintOverEarlierOnesAndWindowedOnesOverBoth) {
  auto* red = new TBox(Form, Rect(10, 10, 60, 60), clRed);
  auto* blue = new TBox(Form, Rect(40, 40, 90, 90), clBlue);
  auto* text = new TStaticText(Form);
  text->SetParent(Form);
  text->SetAutoSize(false);
  text->SetColor(clLime);
  text->SetBounds(50, 50, 20, 20);
  new TBox(Form, Rect(55, 55, 100, 100), clYellow);  // created after the windowed control
  ShowForm();
  EXPECT_EQ(Pixel(15, 15), clRed);
  EXPECT_EQ(Pixel(45, 45), clBlue);
  EXPECT_EQ(Pixel(60, 60), clLime);  // windowed child lies over the later yellow box
  EXPECT_EQ(Pixel(80, 80), clYellow);
  EXPECT_EQ(Pixel(5, 5), Background);
  EXPECT_GT(red->Paints, 0);
  EXPECT_GT(blue->Paints, 0);
}

TEST_F(PaintTest, HidingAControlRepaintsWhatLiesBelow) {
  new TBox(Form, Rect(10, 10, 60, 60), clRed);
  auto* blue = new TBox(Form, Rect(10, 10, 60, 60), clBlue);
  ShowForm();
  EXPECT_EQ(Pixel(20, 20), clBlue);
  blue->Hide();
  Headless.Flush();
  EXPECT_EQ(Pixel(20, 20), clRed);
}

TEST_F(PaintTest, SettingPropertiesToTheirCurrentValuesPaintsNothing) {
  auto* box = new TBox(Form, Rect(10, 10, 60, 60), clRed);
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  label->SetCaption("Label");
  label->SetLeft(80);
  auto* edit = new TEdit(Form);
  edit->SetParent(Form);
  edit->SetBounds(80, 40, 60, 20);
  edit->SetText("00");
  ShowForm();
  const std::uint64_t presented = Win().UploadedPixels();
  const int paints = box->Paints;

  box->SetBounds(10, 10, 50, 50);
  box->SetVisible(true);
  box->SetEnabled(true);
  box->SetCaption("");
  label->SetCaption("Label");
  label->Font().SetColor(label->Font().Color());
  label->SetColor(label->Color());
  edit->SetText("00");
  edit->SetColor(edit->Color());
  Form->SetColor(Background);
  Form->SetCaption("Test form");
  Headless.App().RunFor(std::chrono::milliseconds(500));

  EXPECT_EQ(Win().UploadedPixels(), presented);
  EXPECT_EQ(Form->PresentedPixels(), presented);
  EXPECT_EQ(box->Paints, paints);

  label->SetCaption("Other");
  Headless.Flush();
  EXPECT_GT(Win().UploadedPixels(), presented);
}

TEST_F(PaintTest, OnlyTheChangedRectangleIsPresented) {
  auto* box = new TBox(Form, Rect(10, 10, 30, 30), clRed);
  ShowForm();
  const std::uint64_t before = Win().UploadedPixels();
  box->Fill = clBlue;
  box->Invalidate();
  Headless.Flush();
  EXPECT_EQ(Win().UploadedPixels() - before, 20u * 20u);
  EXPECT_EQ(Pixel(10, 10), clBlue);
}

TEST_F(PaintTest, DrawingOnAGraphicCanvasOutsideThePaintPassShowsAtTheNextPresentation) {
  auto* box = new TBox(Form, Rect(10, 10, 30, 30), clRed);
  ShowForm();
  box->Canvas().Brush().SetColor(clLime);
  box->Canvas().FillRect(Rect(-5, -5, 100, 100));  // clipped to the control
  Headless.Flush();
  EXPECT_EQ(Pixel(10, 10), clLime);
  EXPECT_EQ(Pixel(29, 29), clLime);
  EXPECT_EQ(Pixel(30, 30), Background);
  EXPECT_EQ(Pixel(9, 9), Background);
}

TEST_F(PaintTest, ParentFontAndColourFollowTheParent) {
  auto* follower = new TLabel(Form);
  follower->SetParent(Form);
  auto* own = new TLabel(Form);
  own->SetParent(Form);
  own->Font().SetColor(clRed);
  EXPECT_FALSE(own->ParentFont());
  Form->Font().SetColor(clYellow);
  EXPECT_EQ(follower->Font().Color(), clYellow);
  EXPECT_TRUE(follower->ParentFont());
  EXPECT_EQ(own->Font().Color(), clRed);
  Form->SetColor(clNavy);
  EXPECT_EQ(follower->Color(), clNavy);
}

TEST_F(PaintTest, LabelSizesItselfToItsTextAndFillsWithItsColour) {
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  label->SetBounds(10, 10, 100, 40);
  label->SetCaption("Wide caption text");
  const int wide = label->Width();
  label->SetCaption("W");
  EXPECT_LT(label->Width(), wide);
  EXPECT_GT(label->Height(), 5);
  EXPECT_LT(label->Height(), 30);
  label->SetColor(clTeal);
  ShowForm();
  EXPECT_EQ(Pixel(label->Left() + label->Width() - 1, label->Top()), clTeal);
  label->SetTransparent(true);
  Headless.Flush();
  EXPECT_EQ(Pixel(label->Left() + label->Width() - 1, label->Top()), Background);
}

TEST_F(PaintTest, WindowIsCentredFixedSizeWithoutMaximiseAndCarriesTheIcon) {
  Form->SetBorderStyle(bsSingle);
  Form->SetBorderIcons(biSystemMenu | biMinimize);
  Form->SetPosition(poDesktopCenter);
  Form->Icon().SetSize(16, 16);
  Form->Icon().Canvas().Brush().SetColor(clRed);
  Form->Icon().Canvas().FillRect(Rect(0, 0, 16, 16));
  ShowForm();
  const display::WindowParams& p = Win().Params();
  EXPECT_TRUE(p.Centered);
  EXPECT_FALSE(p.Resizable);
  EXPECT_FALSE(p.Maximizable);
  EXPECT_TRUE(p.Minimizable);
  EXPECT_EQ(p.Title, "Test form");
  EXPECT_EQ(Win().Width(), 200);
  ASSERT_EQ(Win().IconPixels().size(), 256u);
  EXPECT_EQ(PixelToColor(Win().IconPixels()[0]), clRed);
  Form->SetCaption("Renamed");
  EXPECT_EQ(Win().Title(), "Renamed");
}

TEST_F(PaintTest, AlignClientFillsTheParent) {
  auto* image = new TImage(Form);
  image->SetParent(Form);
  image->SetAlign(alClient);
  EXPECT_EQ(image->BoundsRect(), Form->ClientRect());
  image->Picture().SetSize(4, 4);
  image->Picture().Canvas().Brush().SetColor(clFuchsia);
  image->Picture().Canvas().FillRect(Rect(0, 0, 4, 4));
  ShowForm();
  EXPECT_EQ(Pixel(3, 3), clFuchsia);
  EXPECT_EQ(Pixel(4, 4), Background);
}

class MouseTest : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    Lower = new TBox(Form, Rect(10, 10, 60, 60), clRed);
    Upper = new TBox(Form, Rect(30, 30, 80, 80), clBlue);
    Watch(Lower, "lower");
    Watch(Upper, "upper");
    Form->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
      Log.push_back("form down " + std::to_string(x) + "," + std::to_string(y));
    };
    ShowForm();
  }
  void Watch(TControl* c, const std::string& name) {
    c->OnMouseDown = [this, name](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      Log.push_back(name + " down" + ButtonName(b) + (s.Contains(ssDouble) ? " double" : "") + " " +
                    std::to_string(x) + "," + std::to_string(y));
    };
    c->OnMouseUp = [this, name](TObject*, TMouseButton, TShiftState, int x, int y) {
      Log.push_back(name + " up " + std::to_string(x) + "," + std::to_string(y));
    };
    c->OnMouseMove = [this, name](TObject*, TShiftState, int x, int y) {
      Log.push_back(name + " move " + std::to_string(x) + "," + std::to_string(y));
    };
    c->OnClick = [this, name](TObject*) { Log.push_back(name + " click"); };
    c->OnDblClick = [this, name](TObject*) { Log.push_back(name + " dblclick"); };
    c->OnMouseEnter = [this, name](TObject*) { Log.push_back(name + " enter"); };
    c->OnMouseLeave = [this, name](TObject*) { Log.push_back(name + " leave"); };
  }
  static std::string ButtonName(TMouseButton b) {
    return b == mbLeft ? "" : b == mbRight ? " right" : " middle";
  }
  std::vector<std::string> Only(const std::string& kind) {
    std::vector<std::string> out;
    for (const auto& s : Log) {
      if (s.find(kind) != std::string::npos) out.push_back(s);
    }
    return out;
  }
  TBox* Lower = nullptr;
  TBox* Upper = nullptr;
};

TEST_F(MouseTest, TopmostControlGetsThePressInLocalCoordinates) {
  Win().MouseDown(40, 40);
  Win().MouseUp(40, 40);
  EXPECT_EQ(Only("down"), std::vector<std::string>{"upper down 10,10"});
  EXPECT_EQ(Only("click"), std::vector<std::string>{"upper click"});
}

TEST_F(MouseTest, DisabledOrHiddenControlPassesThePressToWhatLiesBelow) {
  Upper->SetEnabled(false);
  Win().MouseDown(40, 40);
  Win().MouseUp(40, 40);
  Upper->SetEnabled(true);
  Upper->Hide();
  Win().MouseDown(41, 41);
  Win().MouseUp(41, 41);
  Lower->SetEnabled(false);
  Win().MouseDown(42, 42);
  Win().MouseUp(42, 42);
  EXPECT_EQ(Only("down"),
            (std::vector<std::string>{"lower down 30,30", "lower down 31,31", "form down 42,42"}));
}

TEST_F(MouseTest, PressCapturesTheMouseUntilRelease) {
  Win().MouseDown(15, 15);
  Log.clear();
  Win().MouseMove(70, 70, display::ModLeft);  // over the upper box
  Win().MouseUp(70, 70);
  EXPECT_EQ(Log,
            (std::vector<std::string>{"lower move 60,60", "lower up 60,60", "lower leave", "upper enter"}));
}

TEST_F(MouseTest, ClickFiresOnlyForAReleaseInsideTheControlThatTookThePress) {
  Win().MouseDown(15, 15);
  Win().MouseUp(150, 100);
  EXPECT_TRUE(Only("click").empty());
  Win().MouseDown(15, 15);
  Win().MouseUp(20, 20);
  EXPECT_EQ(Only("click"), std::vector<std::string>{"lower click"});
}

TEST_F(MouseTest, RightAndMiddlePressesRaiseMouseDownButNoClick) {
  Win().Click(15, 15, display::Button::Right);
  Win().Click(15, 15, display::Button::Middle);
  EXPECT_EQ(Only("down"), (std::vector<std::string>{"lower down right 5,5", "lower down middle 5,5"}));
  EXPECT_TRUE(Only("click").empty());
}

TEST_F(MouseTest, DoubleClickGivesTwoPressesAndDblClickButOneClick) {
  Win().DoubleClick(15, 15);
  EXPECT_EQ(Only("lower d"),
            (std::vector<std::string>{"lower down 5,5", "lower dblclick", "lower down double 5,5"}));
  EXPECT_EQ(Only("click"), (std::vector<std::string>{"lower click", "lower dblclick"}));
}

TEST_F(MouseTest, EnterAndLeaveFollowThePointerAndTheWindowEdge) {
  std::vector<std::string> formMoves;
  Form->OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
    formMoves.push_back(std::to_string(x) + "," + std::to_string(y));
  };
  Win().MouseMove(15, 15);
  Win().MouseMove(150, 100);
  Win().MouseMove(70, 70);
  Win().MouseMove(70, 71);
  EXPECT_EQ(Only("enter"), (std::vector<std::string>{"lower enter", "upper enter"}));
  EXPECT_EQ(Only("leave"), std::vector<std::string>{"lower leave"});
  EXPECT_EQ(formMoves, std::vector<std::string>{"150,100"});
  Log.clear();
  Win().MouseMove(70, 72);
  Win().MouseLeave();
  EXPECT_EQ(Log, (std::vector<std::string>{"upper move 40,42", "upper leave"}));
}

TEST_F(MouseTest, LeavingTheWindowWhileCapturedWaitsForTheRelease) {
  Win().MouseDown(40, 40);
  Win().MouseLeave();
  EXPECT_TRUE(Only("leave").empty());
  Win().MouseUp(300, 300);
  EXPECT_EQ(Only("leave"), std::vector<std::string>{"upper leave"});
}

TEST_F(MouseTest, FreeingTheCapturingControlDoesNotBreakRouting) {
  Win().MouseDown(40, 40);
  Free(Upper);
  Win().MouseMove(41, 41, display::ModLeft);
  Win().MouseUp(41, 41);
  Win().Click(40, 40);
  EXPECT_EQ(Only("down"), (std::vector<std::string>{"upper down 10,10", "lower down 30,30"}));
}

class MessageTest : public FormFixture {};

class TUserControl : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<unsigned> Seen;

 protected:
  void WndProc(TMessage& m) override {
    Seen.push_back(m.Msg);
    if (m.Msg == WM_USER_BASE + 100) m.Result = std::intptr_t(m.LParam * 2);
    TGraphicControl::WndProc(m);
  }
};

TEST_F(MessageTest, PerformDeliversUserMessagesAndNotificationsSynchronously) {
  auto* c = new TUserControl(Form);
  c->SetParent(Form);
  EXPECT_EQ(c->Perform(WM_USER_BASE + 100, 0, 21), 42);
  c->SetCaption("x");
  c->SetVisible(false);
  c->SetEnabled(false);
  c->Font().SetHeight(-20);
  EXPECT_EQ(c->Seen, (std::vector<unsigned>{WM_USER_BASE + 100, CM_TEXTCHANGED, CM_VISIBLECHANGED,
                                            CM_ENABLEDCHANGED, CM_FONTCHANGED}));
}

}  // namespace

namespace {

TEST_F(PaintTest, LabelMeasuresItsCaptionBeforeItHasAParent) {
  auto* label = new TLabel(Form);
  label->SetCaption("Caption set first");
  const int width = label->Width();
  EXPECT_GT(width, 40);
  label->SetParent(Form);
  EXPECT_EQ(label->Width(), width);
}

}  // namespace
