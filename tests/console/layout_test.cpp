// The window's stored settings and event bindings, written out here as
// tables of their own (not taken from Unit1Layout.cpp), read back from a
// window built without its start-up handler.
#include <functional>
#include <map>
#include <set>

#include "ConsoleFixture.h"

namespace {

template <class T>
T* Find(TForm1* form, const std::string& name) {
  auto* found = dynamic_cast<T*>(form->FindComponent(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

void ExpectFont(const TFont& f, const char* name, TFontCharset charset, int height, bool bold, TColor color) {
  EXPECT_EQ(f.Name(), name);
  EXPECT_EQ(f.Charset(), charset);
  EXPECT_EQ(f.Height(), height);
  EXPECT_EQ(f.Style().Contains(fsBold), bold);
  EXPECT_EQ(f.Color(), color);
}

void ExpectVerdana(const TFont& f, int height, bool bold, TColor color) {
  ExpectFont(f, "Verdana", RUSSIAN_CHARSET, height, bold, color);
}

}  // namespace

class StoredSettings : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    Device.Ports[0].Present = true;
    App = std::make_unique<TApplication>(std::make_unique<display::HeadlessDisplay>());
    Form = new TForm1(App.get());  // owned by the application; OnCreate not fired
  }
};

// ------------------------------------------------------------ settings

// Size, style, position and the timer are checked on the shown window.
TEST_F(StoredSettings, WindowFontAndBackgroundPicture) {
  ExpectFont(Form->Font(), "MS Sans Serif", DEFAULT_CHARSET, -11, false, clWindowText);
  EXPECT_EQ(Form->Image1->Align(), alClient);
  EXPECT_FALSE(Form->Image1->Enabled());
}

TEST_F(StoredSettings, LedGroups) {
  struct TGroup {
    std::vector<const char*> Leds;
    TColor FontColor, ColorOff, ColorOn;
    TLEDShape Shape;
    int Size;
    TLEDPos Position;
    int Spacing;
  };
  // "default" cells: the LED's own ColorOn lime, round, 13 x 13.
  const TGroup groups[] = {
      {{"AbDBLED2", "AbDBLED3", "AbDBLED4", "AbDBLED5", "AbDBLED6", "AbDBLED7", "AbDBLED8", "AbDBLED9",
        "AbDBLED1", "AbDBLED10", "AbDBLED11", "AbDBLED12"},
       clGreen,
       0x4B4B4B,
       clLime,
       sRound,
       13,
       lpBottom,
       3},
      {{"AbDBLED13", "AbDBLED14", "AbDBLED15", "AbDBLED16", "AbDBLED17"},
       0x000093,
       0x4B4B4B,
       clRed,
       sRound,
       13,
       lpBottom,
       3},
      {{"AbDBLED18"}, clRed, clRed, clLime, sRound, 13, lpBottom, 5},
      {{"AbDBLED21", "AbDBLED22", "AbDBLED23"}, clGray, clGray, clLime, sRectangle, 10, lpLeft, 5},
  };
  std::size_t listed = 0;
  for (const TGroup& g : groups)
    for (const char* name : g.Leds) {
      SCOPED_TRACE(name);
      ++listed;
      TAbDBLED* led = Find<TAbDBLED>(Form, name);
      ASSERT_NE(led, nullptr);
      ExpectVerdana(led->Font(), -11, true, g.FontColor);
      EXPECT_FALSE(led->ParentFont());
      EXPECT_EQ(led->LED().ColorOff(), g.ColorOff);
      EXPECT_EQ(led->LED().ColorOn(), g.ColorOn);
      EXPECT_EQ(led->LED().Shape(), g.Shape);
      EXPECT_EQ(led->LED().Width(), g.Size);
      EXPECT_EQ(led->LED().Height(), g.Size);
      EXPECT_EQ(led->LED_Position(), g.Position);
      EXPECT_EQ(led->Spacing(), g.Spacing);
      // Shared by every LED.
      EXPECT_FALSE(led->Checked());
      EXPECT_FALSE(led->Flashing());
      EXPECT_EQ(led->Frequency(), ff1Hz);
      EXPECT_EQ(led->StatusInt(), 0);
      EXPECT_EQ(led->StatusBit(), 0);
      EXPECT_EQ(led->GroupIndex(), 0);
      EXPECT_EQ(led->Mode(), mIndicator);
      EXPECT_FALSE(led->DataReadOnly());
      EXPECT_EQ(led->DataSource(), nullptr);
    }
  std::size_t leds = 0;
  for (const TComponent* c : Form->Components()) leds += dynamic_cast<const TAbDBLED*>(c) != nullptr;
  EXPECT_EQ(listed, leds);
}

TEST_F(StoredSettings, Buttons) {
  struct TKind {
    std::vector<const char*> Buttons;
    TMode Mode;
    TPos PosGlyph;
    TGradientStyle FaceStyle;
    bool Text3D;
    int FontHeight;
    bool Bold;
  };
  const TKind kinds[] = {
      {{"AbColBitBtn2"}, mSwitch, pBottom, gsElliptic2, true, -11, true},
      {{"AbColBitBtn4", "AbColBitBtn5"}, mButton, pLeft, gsTopRight, true, -12, false},
      {{"AbColBitBtn6", "AbColBitBtn7", "AbColBitBtn8", "AbColBitBtn9"},
       mButton,
       pLeft,
       gsTopRight,
       false,
       -12,
       false},
  };
  for (const TKind& k : kinds)
    for (const char* name : k.Buttons) {
      SCOPED_TRACE(name);
      TAbColBitBtn* b = Find<TAbColBitBtn>(Form, name);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->Mode(), k.Mode);
      EXPECT_EQ(b->PosGlyph(), k.PosGlyph);
      EXPECT_EQ(b->GradBtnFace().Style(), k.FaceStyle);
      EXPECT_EQ(b->Text3D(), k.Text3D);
      ExpectVerdana(b->Font(), k.FontHeight, k.Bold, clWindowText);
      // Shared by every button.
      EXPECT_FALSE(b->ParentFont());
      EXPECT_EQ(b->Height(), 21);
      EXPECT_EQ(b->PosHorizontal(), phCenter);
      EXPECT_EQ(b->PosVertical(), pvCenter);
      EXPECT_EQ(b->GradBtnFace().ColorFrom(), 0x404040u);
      EXPECT_EQ(b->GradBtnFace().ColorTo(), 0x404040u);
      EXPECT_TRUE(b->GradBtnFace().Visible());
      EXPECT_EQ(b->ButtonBevel().ShadowColFrom(), 0x191919u);
      EXPECT_EQ(b->ButtonBevel().ShadowColTo(), 0x282828u);
      EXPECT_EQ(b->ButtonBevel().HighlightColFrom(), 0x626262u);
      EXPECT_EQ(b->ButtonBevel().HighlightColTo(), 0x555555u);
      EXPECT_EQ(b->ButtonBevel().Width(), 2);
      EXPECT_EQ(b->FlashOptions(), foGlyph | foText | foTextCol | foBtnCol);
      EXPECT_EQ(b->CheckedOptions(), coGlyph | coText | coTextCol | coBtnCol | coBevel);
      EXPECT_EQ(b->ColorOff(), clBtnFace);
      EXPECT_EQ(b->ColorOn(), clBtnFace);
      EXPECT_EQ(b->ColorDisabled(), 0xA0A0A0u);
      EXPECT_EQ(b->OffsetX(), 0);
      EXPECT_EQ(b->OffsetY(), 0);
      EXPECT_EQ(b->OffsetDown(), 1);
      EXPECT_EQ(b->NumGlyph(), 1);
      EXPECT_TRUE(b->Glyph().Empty());
      EXPECT_TRUE(b->Beveled());
      EXPECT_FALSE(b->Transparent());
      EXPECT_FALSE(b->Flat());
      EXPECT_EQ(b->Spacing(), 4);
      EXPECT_EQ(b->TextColOn(), clLime);
      EXPECT_EQ(b->TextColOff(), clGreen);
      EXPECT_EQ(b->TextColDisabled(), clGray);
      EXPECT_EQ(b->Frequency(), ff05Hz);
      EXPECT_FALSE(b->Flashing());
      EXPECT_EQ(b->GroupIndex(), 0);
      EXPECT_EQ(b->StatusBit(), 0);
      EXPECT_EQ(b->StatusInt(), 0);
      EXPECT_FALSE(b->Checked());
    }
  EXPECT_EQ(Form->AbColBitBtn2->TextOn(), "Pin");
  EXPECT_EQ(Form->AbColBitBtn6->TextOn(), "+");
}

TEST_F(StoredSettings, TextControls) {
  struct TText {
    const char* Name;
    int Height;
    bool Bold;
    TColor Color;
  };
  const TText texts[] = {
      {"Label2", -11, true, clLime},       {"Label4", -11, true, clRed},
      {"Label5", -11, true, clRed},        {"Label1", -11, true, clWindowText},
      {"StaticText2", -11, true, clGreen}, {"StaticText4", -11, true, clGreen},
      {"StaticText3", -11, true, clGreen}, {"OvcLabel1", -15, false, clGray},
      {"OvcLabel2", -15, false, clGray},
  };
  for (const TText& t : texts) {
    SCOPED_TRACE(t.Name);
    TControl* c = Find<TControl>(Form, t.Name);
    ASSERT_NE(c, nullptr);
    ExpectVerdana(c->Font(), t.Height, t.Bold, t.Color);
    EXPECT_FALSE(c->ParentFont());
  }
  EXPECT_TRUE(Form->Label1->AutoSize());
  EXPECT_EQ(Form->StaticText2->TabOrder(), 2);
  EXPECT_EQ(Form->StaticText4->TabOrder(), 3);
  EXPECT_EQ(Form->StaticText3->TabOrder(), 1);
  // The shadowed labels keep every appearance default.
  for (TOvcLabel* label : {Form->OvcLabel1, Form->OvcLabel2}) {
    SCOPED_TRACE(label->Name());
    EXPECT_EQ(label->Appearance(), apRaised);
    EXPECT_EQ(label->ColorScheme(), csWindows);
    EXPECT_TRUE(label->WordWrap());
    EXPECT_TRUE(label->Transparent());
    EXPECT_EQ(label->CustomSettings().HighlightDirection(), sdUpLeft);
    EXPECT_EQ(label->CustomSettings().ShadowDirection(), sdDownRight);
    EXPECT_EQ(label->CustomSettings().GraduateStyle(), gsNone);
  }
}

TEST_F(StoredSettings, EntryFields) {
  struct TEntry {
    TEdit* Edit;
    TEditCharCase CharCase;
    bool TabStop;
    int TabOrder;
    long Tag;
    TBiDiMode BiDiMode;
    bool ShowHint;
  };
  const TEntry entries[] = {
      {Form->Edit1, ecUpperCase, false, 0, 1, bdRightToLeftReadingOnly, true},
      {Form->Edit3, ecNormal, true, 4, 0, bdLeftToRight, false},
  };
  for (const TEntry& e : entries) {
    SCOPED_TRACE(e.Edit->Name());
    EXPECT_EQ(e.Edit->CharCase(), e.CharCase);
    EXPECT_EQ(e.Edit->TabStop(), e.TabStop);
    EXPECT_EQ(e.Edit->TabOrder(), e.TabOrder);
    EXPECT_EQ(e.Edit->Tag(), e.Tag);
    EXPECT_EQ(e.Edit->BiDiMode(), e.BiDiMode);
    EXPECT_EQ(e.Edit->ShowHint(), e.ShowHint);
    EXPECT_EQ(e.Edit->Hint(), "");
    // Shared by both.
    ExpectVerdana(e.Edit->Font(), -11, true, clLime);
    EXPECT_FALSE(e.Edit->ParentFont());
    EXPECT_EQ(e.Edit->Color(), 0x282828u);
    EXPECT_EQ(e.Edit->BorderStyle(), TBorderStyle::bsNone);
    EXPECT_EQ(e.Edit->BevelInner(), bvNone);
    EXPECT_EQ(e.Edit->BevelOuter(), bvNone);
    EXPECT_EQ(e.Edit->MaxLength(), 2);
    EXPECT_EQ(e.Edit->Text(), "00");
  }
}

// ------------------------------------------------------------ event wiring

namespace {

// What a handler visibly does, from a known starting point.
struct TConsoleView {
  std::string Help;
  std::array<TColor, 3> Registers{};  // RD, RC, RS
  std::string Title, Contact;
  std::uint8_t Data = 0, Control = 0;
  std::array<bool, OutputLineCount> LinesOn{};  // OutputLedOn
  std::array<bool, OutputLineCount> LedsLit{};
  std::array<bool, PortCount> Requested{};
  bool Pending = false;
  bool ShowNames = true;
  friend bool operator==(const TConsoleView&, const TConsoleView&) = default;
};

constexpr TColor Untouched = 0x123456;
constexpr std::array<TColor, 3> DataLit{clLime, clGreen, clGreen};
constexpr std::array<TColor, 3> ControlLit{clGreen, clLime, clGreen};
constexpr std::array<TColor, 3> StatusLit{clGreen, clGreen, clLime};
constexpr std::array<TColor, 3> NoneLit{clGreen, clGreen, clGreen};
constexpr std::array<TColor, 3> KeepsColours{Untouched, Untouched, Untouched};

// TOutputLine order: STR, D0..D7, LF/CR, INIT, SELIN.
std::vector<TAbDBLED*> OutputLeds(TForm1* f) {
  return {f->AbDBLED1, f->AbDBLED2, f->AbDBLED3, f->AbDBLED4,  f->AbDBLED5,  f->AbDBLED6,
          f->AbDBLED7, f->AbDBLED8, f->AbDBLED9, f->AbDBLED10, f->AbDBLED11, f->AbDBLED12};
}
constexpr TOutputLine DataBits[] = {olD0, olD1, olD2, olD3, olD4, olD5, olD6, olD7};
constexpr TOutputLine ControlBits[] = {olSTR, olLFCR, olINIT, olSELIN};

using TEffect = std::function<void(TConsoleView&)>;

TEffect Help(const char* text, std::array<TColor, 3> registers) {
  return [=](TConsoleView& v) {
    v.Help = text;
    v.Registers = registers;
  };
}
// One line flips; the other LEDs are left alone.
TEffect Toggle(TOutputLine line, bool data, std::uint8_t bit) {
  return [=](TConsoleView& v) {
    (data ? v.Data : v.Control) ^= bit;
    v.LinesOn[line] = !v.LinesOn[line];
    v.LedsLit[line] = v.LinesOn[line];
  };
}
// The register takes the value and all its LEDs show it.
TEffect Shows(bool data, std::uint8_t value) {
  return [=](TConsoleView& v) {
    (data ? v.Data : v.Control) = value;
    std::size_t bit = 0;
    for (TOutputLine line :
         data ? std::span<const TOutputLine>(DataBits) : std::span<const TOutputLine>(ControlBits))
      v.LinesOn[line] = v.LedsLit[line] = (value >> bit++) & 1;
  };
}
TEffect Requests(TPortIndex port) {
  return [=](TConsoleView& v) {
    v.Requested[port] = true;
    v.Pending = true;
  };
}

// Each handler's effect from the starting point set by Reset(): data 0x12 and
// control 0x52 (D1, D4 and LF/CR on), every output LED lit, Edit1 "A5",
// Edit3 "3C", register labels in a colour no handler uses.
const std::map<std::string, TEffect> HandlerEffects = {
    {"AbDBLED2MouseDown", Toggle(olD0, true, 0x01)},
    {"AbDBLED3MouseDown", Toggle(olD1, true, 0x02)},
    {"AbDBLED4MouseDown", Toggle(olD2, true, 0x04)},
    {"AbDBLED5MouseDown", Toggle(olD3, true, 0x08)},
    {"AbDBLED6MouseDown", Toggle(olD4, true, 0x10)},
    {"AbDBLED7MouseDown", Toggle(olD5, true, 0x20)},
    {"AbDBLED8MouseDown", Toggle(olD6, true, 0x40)},
    {"AbDBLED9MouseDown", Toggle(olD7, true, 0x80)},
    {"AbDBLED1MouseDown", Toggle(olSTR, false, 0x01)},
    {"AbDBLED10MouseDown", Toggle(olLFCR, false, 0x02)},
    {"AbDBLED11MouseDown", Toggle(olINIT, false, 0x04)},
    {"AbDBLED12MouseDown", Toggle(olSELIN, false, 0x08)},
    {"AbDBLED21MouseDown", Requests(piLpt1)},
    {"AbDBLED22MouseDown", Requests(piLpt2)},
    {"AbDBLED23MouseDown", Requests(piLpt3)},
    {"AbColBitBtn4Click", Shows(true, 0xA5)},
    {"AbColBitBtn5Click", Shows(false, 0x3C)},
    {"AbColBitBtn6MouseDown", Shows(true, 0x13)},
    {"AbColBitBtn7MouseDown", Shows(true, 0x11)},
    {"AbColBitBtn8MouseDown", Shows(false, 0x53)},
    {"AbColBitBtn9MouseDown", Shows(false, 0x51)},
    {"AbColBitBtn2MouseDown", [](TConsoleView& v) { v.ShowNames = false; }},
    {"AbDBLED2MouseMove", Help("Регистр данных", DataLit)},
    {"StaticText4MouseMove", Help("Регистр управления", ControlLit)},
    {"StaticText3MouseMove", Help("Регистр состояния", StatusLit)},
    {"AbDBLED9MouseMove", Help("Выходные биты регистра данных", DataLit)},
    {"AbDBLED12MouseMove", Help("Выходные биты регистра управления", ControlLit)},
    {"AbDBLED13MouseMove", Help("Входные биты регистра состояния", StatusLit)},
    {"Label2MouseMove", Help("Индикатор регистра состояния (Hex)", StatusLit)},
    {"AbColBitBtn4MouseMove", Help("Ручной ввод в регистр данных (Hex)", DataLit)},
    {"AbColBitBtn5MouseMove", Help("Ручной ввод в регистр управления (Hex)", ControlLit)},
    {"AbColBitBtn6MouseMove", Help("Инкремент регистра данных", DataLit)},
    {"AbColBitBtn7MouseMove", Help("Декремент регистра данных", DataLit)},
    {"AbColBitBtn8MouseMove", Help("Инкремент регистра управления", ControlLit)},
    {"AbColBitBtn9MouseMove", Help("Декремент регистра управления", ControlLit)},
    {"AbDBLED18MouseMove", Help("Индикатор связи с LPT портом", KeepsColours)},
    {"AbColBitBtn2MouseMove", Help("Номера ножек или название", KeepsColours)},
    {"AbDBLED21MouseMove", Help("Выбор LPT порта", KeepsColours)},
    {"OvcLabel1MouseMove",
     [](TConsoleView& v) {
       v.Title = TForm1::CreditText;
       v.Contact = TForm1::ContactText;
     }},
    {"FormMouseMove",
     [](TConsoleView& v) {
       v.Help = "";
       v.Registers = NoneLit;
       v.Title = "Pinlark";
       v.Contact = "";
     }},
};

// A row of the wiring tables: with one handler it serves every control
// listed, otherwise the handlers pair with the controls one each.
struct TWiring {
  const char* Event;
  std::vector<const char*> Controls;  // "window": the form itself
  std::vector<const char*> Handlers;
};

const TWiring Wiring[] = {
    // main window layout
    {"OnMouseDown",
     {"AbDBLED2", "AbDBLED3", "AbDBLED4", "AbDBLED5", "AbDBLED6", "AbDBLED7", "AbDBLED8", "AbDBLED9"},
     {"AbDBLED2MouseDown", "AbDBLED3MouseDown", "AbDBLED4MouseDown", "AbDBLED5MouseDown", "AbDBLED6MouseDown",
      "AbDBLED7MouseDown", "AbDBLED8MouseDown", "AbDBLED9MouseDown"}},
    {"OnMouseDown",
     {"AbDBLED1", "AbDBLED10", "AbDBLED11", "AbDBLED12"},
     {"AbDBLED1MouseDown", "AbDBLED10MouseDown", "AbDBLED11MouseDown", "AbDBLED12MouseDown"}},
    {"OnMouseDown",
     {"AbDBLED21", "AbDBLED22", "AbDBLED23"},
     {"AbDBLED21MouseDown", "AbDBLED22MouseDown", "AbDBLED23MouseDown"}},
    {"OnMouseMove", {"window"}, {"FormMouseMove"}},
    {"OnMouseMove",
     {"AbDBLED2", "AbDBLED3", "AbDBLED4", "AbDBLED5", "AbDBLED6", "AbDBLED7", "AbDBLED8", "AbDBLED9"},
     {"AbDBLED9MouseMove"}},
    {"OnMouseMove", {"AbDBLED1", "AbDBLED10", "AbDBLED11", "AbDBLED12"}, {"AbDBLED12MouseMove"}},
    {"OnMouseMove",
     {"AbDBLED13", "AbDBLED14", "AbDBLED15", "AbDBLED16", "AbDBLED17"},
     {"AbDBLED13MouseMove"}},
    {"OnMouseMove", {"AbDBLED18", "Label4", "Label5"}, {"AbDBLED18MouseMove"}},
    {"OnMouseMove", {"AbDBLED21", "AbDBLED22", "AbDBLED23"}, {"AbDBLED21MouseMove"}},
    {"OnMouseMove", {"Edit1"}, {"AbColBitBtn4MouseMove"}},
    {"OnMouseMove", {"Edit3"}, {"AbColBitBtn5MouseMove"}},
    {"OnMouseMove", {"Label2"}, {"Label2MouseMove"}},
    {"OnMouseMove", {"StaticText2"}, {"AbDBLED2MouseMove"}},
    {"OnMouseMove", {"StaticText4"}, {"StaticText4MouseMove"}},
    {"OnMouseMove", {"StaticText3"}, {"StaticText3MouseMove"}},
    // buttons and title labels
    {"OnClick", {"AbColBitBtn4", "AbColBitBtn5"}, {"AbColBitBtn4Click", "AbColBitBtn5Click"}},
    {"OnMouseDown",
     {"AbColBitBtn6", "AbColBitBtn7", "AbColBitBtn8", "AbColBitBtn9"},
     {"AbColBitBtn6MouseDown", "AbColBitBtn7MouseDown", "AbColBitBtn8MouseDown", "AbColBitBtn9MouseDown"}},
    {"OnMouseDown", {"AbColBitBtn2"}, {"AbColBitBtn2MouseDown"}},
    {"OnMouseMove", {"AbColBitBtn2"}, {"AbColBitBtn2MouseMove"}},
    {"OnMouseMove", {"AbColBitBtn4"}, {"AbColBitBtn4MouseMove"}},
    {"OnMouseMove", {"AbColBitBtn5"}, {"AbColBitBtn5MouseMove"}},
    {"OnMouseMove",
     {"AbColBitBtn6", "AbColBitBtn7", "AbColBitBtn8", "AbColBitBtn9"},
     {"AbColBitBtn6MouseMove", "AbColBitBtn7MouseMove", "AbColBitBtn8MouseMove", "AbColBitBtn9MouseMove"}},
    {"OnMouseMove", {"OvcLabel1"}, {"OvcLabel1MouseMove"}},
};

// The events bound on a component, by name.
std::set<std::string> BoundEvents(TComponent* c) {
  std::set<std::string> bound;
  auto note = [&](const char* name, bool set) {
    if (set) bound.insert(name);
  };
  if (auto* control = dynamic_cast<TControl*>(c)) {
    note("OnMouseDown", bool(control->OnMouseDown));
    note("OnMouseMove", bool(control->OnMouseMove));
    note("OnMouseUp", bool(control->OnMouseUp));
    note("OnClick", bool(control->OnClick));
    note("OnDblClick", bool(control->OnDblClick));
    note("OnMouseEnter", bool(control->OnMouseEnter));
    note("OnMouseLeave", bool(control->OnMouseLeave));
  }
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    note("OnKeyDown", bool(w->OnKeyDown));
    note("OnKeyUp", bool(w->OnKeyUp));
    note("OnKeyPress", bool(w->OnKeyPress));
  }
  if (auto* edit = dynamic_cast<TCustomEdit*>(c)) note("OnChange", bool(edit->OnChange));
  if (auto* two = dynamic_cast<TAbBinGControl*>(c)) {
    note("OnStatusChanged", bool(two->OnStatusChanged));
    note("OnStatusIntChanged", bool(two->OnStatusIntChanged));
  }
  if (auto* form = dynamic_cast<TCustomForm*>(c)) {
    note("OnCreate", bool(form->OnCreate));
    note("OnDestroy", bool(form->OnDestroy));
    note("OnClose", bool(form->OnClose));
  }
  if (auto* timer = dynamic_cast<TTimer*>(c)) note("OnTimer", bool(timer->OnTimer));
  return bound;
}

}  // namespace

class EventWiring : public StoredSettings {
 protected:
  TControl* Control(const std::string& name) {
    return name == "window" ? static_cast<TControl*>(Form) : Find<TControl>(Form, name);
  }

  void Reset() {
    Form->Label1->SetCaption("?");
    for (TStaticText* t : {Form->StaticText2, Form->StaticText4, Form->StaticText3})
      t->Font().SetColor(Untouched);
    Form->OvcLabel1->SetCaption("Pinlark");
    Form->OvcLabel2->SetCaption("");
    Form->DataShadow = 0x12;
    Form->ControlShadow = 0x52;
    Form->OutputLedOn.fill(false);
    for (TOutputLine line : {olD1, olD4, olLFCR}) Form->OutputLedOn[line] = true;
    for (TAbDBLED* led : OutputLeds(Form)) led->SetChecked(true);
    Form->PortRequested.fill(false);
    Form->PortChangePending = false;
    Form->ShowNames = true;
    Form->Edit1->SetText("A5");
    Form->Edit3->SetText("3C");
  }

  TConsoleView View() {
    TConsoleView v;
    v.Help = Form->Label1->Caption();
    v.Registers = {Form->StaticText2->Font().Color(), Form->StaticText4->Font().Color(),
                   Form->StaticText3->Font().Color()};
    v.Title = Form->OvcLabel1->Caption();
    v.Contact = Form->OvcLabel2->Caption();
    v.Data = Form->DataShadow;
    v.Control = Form->ControlShadow;
    v.LinesOn = Form->OutputLedOn;
    const auto leds = OutputLeds(Form);
    for (std::size_t i = 0; i < leds.size(); ++i) v.LedsLit[i] = leds[i]->Checked();
    v.Requested = Form->PortRequested;
    v.Pending = Form->PortChangePending;
    v.ShowNames = Form->ShowNames;
    return v;
  }

  static void Fire(TControl* c, const std::string& event) {
    if (event == "OnMouseDown") return c->OnMouseDown(c, mbLeft, TShiftState(), 1, 1);
    if (event == "OnMouseMove") return c->OnMouseMove(c, TShiftState(), 1, 1);
    if (event == "OnClick") return c->OnClick(c);
    FAIL() << event;
  }
};

TEST_F(EventWiring, EveryTableRowReachesItsHandler) {
  Form->OnCreate(Form);  // the handlers below need the connection
  std::map<std::string, std::set<std::string>> expectedEvents;
  for (const TWiring& w : Wiring) {
    ASSERT_TRUE(w.Handlers.size() == 1 || w.Handlers.size() == w.Controls.size()) << w.Event;
    for (std::size_t i = 0; i < w.Controls.size(); ++i) {
      const std::string handler = w.Handlers.size() == 1 ? w.Handlers[0] : w.Handlers[i];
      SCOPED_TRACE(std::string(w.Controls[i]) + "." + w.Event + " -> " + handler);
      expectedEvents[w.Controls[i]].insert(w.Event);
      TControl* c = Control(w.Controls[i]);
      ASSERT_NE(c, nullptr);
      Reset();
      TConsoleView expected = View();
      HandlerEffects.at(handler)(expected);
      Fire(c, w.Event);
      EXPECT_EQ(View(), expected);
    }
  }
  expectedEvents["Edit1"].insert("OnKeyPress");
  expectedEvents["Timer1"].insert("OnTimer");
  expectedEvents["window"].insert({"OnCreate", "OnDestroy"});

  // No other event of any control is bound.
  EXPECT_EQ(BoundEvents(Form), expectedEvents["window"]);
  for (TComponent* c : Form->Components()) EXPECT_EQ(BoundEvents(c), expectedEvents[c->Name()]) << c->Name();
}

TEST_F(EventWiring, KeyPressTimerCreateAndDestroy) {
  // OnCreate: FormCreate keeps the control register's high nibble.
  Device.Ports[0].Control = 0xA7;
  Form->OnCreate(Form);
  EXPECT_EQ(Form->Edit3->Text(), "A0");
  EXPECT_EQ(Form->SelectedPort, PortLpt1);

  // OnKeyPress of Edit1: Edit1KeyPress drops what is not hexadecimal.
  char32_t key = U'g';
  Form->Edit1->OnKeyPress(Form->Edit1, key);
  EXPECT_EQ(key, U'\0');
  key = U'F';
  Form->Edit1->OnKeyPress(Form->Edit1, key);
  EXPECT_EQ(key, U'F');

  // OnTimer: Timer1Timer polls.
  Device.Ports[0].Status = 0x78;
  Form->Timer1->OnTimer(Form->Timer1);
  EXPECT_EQ(Form->Label2->Caption(), "78");
  EXPECT_TRUE(Form->AbDBLED18->Checked());

  // OnDestroy: FormDestroy stops the poll and drops the connection.
  Form->OnDestroy(Form);
  EXPECT_FALSE(Form->Timer1->Enabled());
  EXPECT_EQ(Form->Lpt, nullptr);
}

// ------------------------------------------------------------ edge cases

TEST_F(EventWiring, StatusCaptionsKeepTheirStoredColourUntilTheFirstPoll) {
  Device.Ports[0].Status = 0x78;
  Form->OnCreate(Form);
  const std::vector<TAbDBLED*> status = {Form->AbDBLED13, Form->AbDBLED14, Form->AbDBLED15, Form->AbDBLED16,
                                         Form->AbDBLED17};
  for (TAbDBLED* led : status) EXPECT_EQ(led->Font().Color(), 0x000093u) << led->Name();
  Form->Timer1->OnTimer(Form->Timer1);
  for (TAbDBLED* led : status) EXPECT_NE(led->Font().Color(), 0x000093u) << led->Name();
}

using TabOrder = ConsoleTest;

TEST_F(TabOrder, TabNeverStopsInEdit1) {
  StartWithPorts(true, false, false);
  Click(Form->Edit1);
  ASSERT_EQ(Form->ActiveControl(), Form->Edit1);
  for (const char* keys : {"\t", "\t", "\t"}) {
    Window->Type(keys);
    App->ProcessMessages();
    EXPECT_EQ(Form->ActiveControl(), Form->Edit3);
  }
  Window->KeyDown(VK_TAB, display::ModShift);
  Window->KeyUp(VK_TAB, display::ModShift);
  App->ProcessMessages();
  EXPECT_EQ(Form->ActiveControl(), Form->Edit3);
}
