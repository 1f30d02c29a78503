// The stored layout of TForm1: window properties, every control in creation
// order with its settings, the event wiring, the background picture and the
// icon. Kept as tables so they can be checked line by line.
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <variant>

#include "Unit1.h"

namespace {

// ---------------------------------------------------------------- window

constexpr const char* WindowCaption = "Pinlark   v1.0";
constexpr int WindowClientWidth = 463;
constexpr int WindowClientHeight = 170;
constexpr TColor WindowColor = 0x404040;

// ---------------------------------------------------------------- fonts

struct TFontSettings {
  const char* Name;
  TFontCharset Charset;
  int Height;
  bool Bold;
  TColor Color;
};

constexpr TFontSettings WindowFont{"MS Sans Serif", DEFAULT_CHARSET, -11, false, clWindowText};

// ---------------------------------------------------------------- settings per control kind

// LED groups.
enum TLedStyle { lsOutput, lsStatus, lsConnection, lsPort };
struct TLedSettings {
  TColor FontColor;
  TColor ColorOff;
  std::optional<TColor> ColorOn;  // unset: the class default
  std::optional<TLEDShape> Shape;
  int LedSize;  // 0: the class default
  TLEDPos Position;
  int Spacing;
};
constexpr TLedSettings LedStyles[] = {
    /* lsOutput     */ {clGreen, 0x4B4B4B, std::nullopt, std::nullopt, 0, lpBottom, 3},
    /* lsStatus     */ {0x000093, 0x4B4B4B, clRed, std::nullopt, 0, lpBottom, 3},
    /* lsConnection */ {clRed, clRed, std::nullopt, std::nullopt, 0, lpBottom, 5},
    /* lsPort       */ {clGray, clGray, std::nullopt, sRectangle, 10, lpLeft, 5},
};
constexpr TFontSettings LedFont{"Verdana", RUSSIAN_CHARSET, -11, true, clGreen};  // colour from the group

// Colour glyph buttons.
enum TButtonStyle { bsCaptionToggle, bsEnter, bsStep };
struct TButtonSettings {
  TMode Mode;
  TPos PosGlyph;
  TGradientStyle FaceStyle;
  bool Text3D;
  int FontHeight;
  bool Bold;
};
constexpr TButtonSettings ButtonStyles[] = {
    /* bsCaptionToggle */ {mSwitch, pBottom, gsElliptic2, true, -11, true},
    /* bsEnter         */ {mButton, pLeft, gsTopRight, true, -12, false},
    /* bsStep          */ {mButton, pLeft, gsTopRight, false, -12, false},
};
// Shared by every button.
constexpr TColor ButtonFace = 0x404040;
constexpr TColor ButtonShadowFrom = 0x191919;
constexpr TColor ButtonShadowTo = 0x282828;
constexpr TColor ButtonHighlightFrom = 0x626262;
constexpr TColor ButtonHighlightTo = 0x555555;
constexpr int ButtonBevelWidth = 2;

// Labels, static texts and shadowed labels: one font each.
enum TTextStyle { tsStatusValue, tsConnection, tsStatusLine, tsRowLabel, tsTitle };
constexpr TFontSettings TextStyles[] = {
    /* tsStatusValue */ {"Verdana", RUSSIAN_CHARSET, -11, true, clLime},
    /* tsConnection  */ {"Verdana", RUSSIAN_CHARSET, -11, true, clRed},
    /* tsStatusLine  */ {"Verdana", RUSSIAN_CHARSET, -11, true, clWindowText},
    /* tsRowLabel    */ {"Verdana", RUSSIAN_CHARSET, -11, true, clGreen},
    /* tsTitle       */ {"Verdana", RUSSIAN_CHARSET, -15, false, clGray},
};

// Entry fields.
enum TEditStyle { esData, esControl };
struct TEditSettings {
  TEditCharCase CharCase;
  bool TabStop;
  int TabOrder;
  long Tag;
  bool RightToLeftReading;
  bool ShowHint;
};
constexpr TFontSettings EditFont{"Verdana", RUSSIAN_CHARSET, -11, true, clLime};
constexpr TColor EditColor = 0x282828;
constexpr int EditMaxLength = 2;
constexpr TEditSettings EditStyles[] = {
    /* esData    */ {ecUpperCase, false, 0, 1, true, true},
    /* esControl */ {ecNormal, true, 4, 0, false, false},
};

constexpr unsigned PollInterval = 100;

// ---------------------------------------------------------------- controls in creation order

using TFieldRef =
    std::variant<TImage * TForm1::*, TAbDBLED * TForm1::*, TAbColBitBtn * TForm1::*, TLabel * TForm1::*,
                 TOvcLabel * TForm1::*, TEdit * TForm1::*, TStaticText * TForm1::*, TTimer * TForm1::*>;

struct TControlRow {
  TFieldRef Field;
  const char* Name;
  int Left, Top, Width, Height;
  const char* Caption;    // a button's TextOff
  const char* CaptionOn;  // a button's TextOn
  int Style;              // row of the kind's settings table; static texts: tab order
};

#define FIELD(name) &TForm1::name, #name

const TControlRow StoredControls[] = {
    // field and name              left  top  wid  hgt  caption      on      style
    {FIELD(Image1), 0, 0, 463, 170, "", "", 0},
    {FIELD(AbDBLED1), 187, 50, 49, 33, "STR", "", lsOutput},
    {FIELD(AbDBLED2), 215, 9, 17, 33, "D0", "", lsOutput},
    {FIELD(AbDBLED3), 191, 9, 17, 33, "D1", "", lsOutput},
    {FIELD(AbDBLED4), 167, 9, 17, 33, "D2", "", lsOutput},
    {FIELD(AbDBLED5), 143, 9, 17, 33, "D3", "", lsOutput},
    {FIELD(AbDBLED6), 119, 9, 17, 33, "D4", "", lsOutput},
    {FIELD(AbDBLED7), 95, 9, 17, 33, "D5", "", lsOutput},
    {FIELD(AbDBLED8), 71, 9, 17, 33, "D6", "", lsOutput},
    {FIELD(AbDBLED9), 47, 9, 17, 33, "D7", "", lsOutput},
    {FIELD(AbDBLED10), 143, 50, 40, 33, "LF/CR", "", lsOutput},
    {FIELD(AbDBLED11), 100, 50, 30, 33, "INIT", "", lsOutput},
    {FIELD(AbDBLED12), 47, 50, 41, 33, "SELIN", "", lsOutput},
    {FIELD(AbDBLED13), 49, 91, 33, 33, "ERR", "", lsStatus},
    {FIELD(AbDBLED14), 86, 91, 33, 33, "SEL", "", lsStatus},
    {FIELD(AbDBLED15), 127, 91, 25, 33, "PAP", "", lsStatus},
    {FIELD(AbDBLED16), 164, 91, 25, 33, "ASC", "", lsStatus},
    {FIELD(AbDBLED17), 191, 91, 45, 33, "BUSY", "", lsStatus},
    {FIELD(AbColBitBtn2), 280, 101, 89, 21, "Name", "Pin", bsCaptionToggle},
    {FIELD(AbDBLED18), 403, 106, 25, 17, "", "", lsConnection},
    {FIELD(Label2), 253, 104, 16, 13, "00", "", tsStatusValue},
    {FIELD(Label4), 396, 79, 39, 13, "Связь", "", tsConnection},
    {FIELD(Label5), 387, 91, 58, 13, "с портом", "", tsConnection},
    {FIELD(AbColBitBtn4), 280, 19, 42, 21, "Ввод", "Ввод", bsEnter},
    {FIELD(AbColBitBtn5), 280, 60, 42, 21, "Ввод", "Ввод", bsEnter},
    {FIELD(AbColBitBtn6), 327, 19, 21, 21, "+", "+", bsStep},
    {FIELD(AbColBitBtn7), 348, 19, 21, 21, "-", "-", bsStep},
    {FIELD(AbColBitBtn8), 327, 60, 21, 21, "+", "+", bsStep},
    {FIELD(AbColBitBtn9), 348, 60, 21, 21, "-", "-", bsStep},
    {FIELD(AbDBLED22), 394, 36, 50, 18, "LPT2", "", lsPort},
    {FIELD(AbDBLED21), 394, 20, 50, 18, "LPT1", "", lsPort},
    {FIELD(AbDBLED23), 394, 52, 50, 18, "LPT3", "", lsPort},
    {FIELD(OvcLabel1), 16, 138, 137, 25, "Pinlark", "", tsTitle},
    {FIELD(Label1), 148, 141, 4, 13, "", "", tsStatusLine},
    {FIELD(OvcLabel2), 148, 138, 300, 31, "", "", tsTitle},
    {FIELD(Edit1), 253, 22, 20, 15, "00", "", esData},
    {FIELD(StaticText3), 15, 104, 20, 17, "RS", "", 1},
    {FIELD(StaticText2), 15, 24, 21, 17, "RD", "", 2},
    {FIELD(StaticText4), 15, 64, 20, 17, "RC", "", 3},
    {FIELD(Edit3), 253, 63, 20, 15, "00", "", esControl},
    {FIELD(Timer1), 0, 0, 0, 0, "", "", 0},
};

#undef FIELD

// ---------------------------------------------------------------- event wiring

using TMouseDownHandler = void (TForm1::*)(TObject*, TMouseButton, TShiftState, int, int);
using TMouseMoveHandler = void (TForm1::*)(TObject*, TShiftState, int, int);
using TNotifyHandler = void (TForm1::*)(TObject*);
using TKeyPressHandler = void (TForm1::*)(TObject*, char32_t&);

struct TMouseDownWire {
  const char* Control;
  TMouseDownHandler Handler;
};
struct TMouseMoveWire {
  const char* Control;
  TMouseMoveHandler Handler;
};
struct TClickWire {
  const char* Control;
  TNotifyHandler Handler;
};
struct TKeyPressWire {
  const char* Control;
  TKeyPressHandler Handler;
};

const TMouseDownWire MouseDownWiring[] = {
    {"AbDBLED2", &TForm1::AbDBLED2MouseDown},         {"AbDBLED3", &TForm1::AbDBLED3MouseDown},
    {"AbDBLED4", &TForm1::AbDBLED4MouseDown},         {"AbDBLED5", &TForm1::AbDBLED5MouseDown},
    {"AbDBLED6", &TForm1::AbDBLED6MouseDown},         {"AbDBLED7", &TForm1::AbDBLED7MouseDown},
    {"AbDBLED8", &TForm1::AbDBLED8MouseDown},         {"AbDBLED9", &TForm1::AbDBLED9MouseDown},
    {"AbDBLED1", &TForm1::AbDBLED1MouseDown},         {"AbDBLED10", &TForm1::AbDBLED10MouseDown},
    {"AbDBLED11", &TForm1::AbDBLED11MouseDown},       {"AbDBLED12", &TForm1::AbDBLED12MouseDown},
    {"AbDBLED21", &TForm1::AbDBLED21MouseDown},       {"AbDBLED22", &TForm1::AbDBLED22MouseDown},
    {"AbDBLED23", &TForm1::AbDBLED23MouseDown},       {"AbColBitBtn6", &TForm1::AbColBitBtn6MouseDown},
    {"AbColBitBtn7", &TForm1::AbColBitBtn7MouseDown}, {"AbColBitBtn8", &TForm1::AbColBitBtn8MouseDown},
    {"AbColBitBtn9", &TForm1::AbColBitBtn9MouseDown}, {"AbColBitBtn2", &TForm1::AbColBitBtn2MouseDown},
};

const TMouseMoveWire MouseMoveWiring[] = {
    {"AbDBLED2", &TForm1::AbDBLED9MouseMove},         {"AbDBLED3", &TForm1::AbDBLED9MouseMove},
    {"AbDBLED4", &TForm1::AbDBLED9MouseMove},         {"AbDBLED5", &TForm1::AbDBLED9MouseMove},
    {"AbDBLED6", &TForm1::AbDBLED9MouseMove},         {"AbDBLED7", &TForm1::AbDBLED9MouseMove},
    {"AbDBLED8", &TForm1::AbDBLED9MouseMove},         {"AbDBLED9", &TForm1::AbDBLED9MouseMove},
    {"AbDBLED1", &TForm1::AbDBLED12MouseMove},        {"AbDBLED10", &TForm1::AbDBLED12MouseMove},
    {"AbDBLED11", &TForm1::AbDBLED12MouseMove},       {"AbDBLED12", &TForm1::AbDBLED12MouseMove},
    {"AbDBLED13", &TForm1::AbDBLED13MouseMove},       {"AbDBLED14", &TForm1::AbDBLED13MouseMove},
    {"AbDBLED15", &TForm1::AbDBLED13MouseMove},       {"AbDBLED16", &TForm1::AbDBLED13MouseMove},
    {"AbDBLED17", &TForm1::AbDBLED13MouseMove},       {"AbDBLED18", &TForm1::AbDBLED18MouseMove},
    {"Label4", &TForm1::AbDBLED18MouseMove},          {"Label5", &TForm1::AbDBLED18MouseMove},
    {"AbDBLED21", &TForm1::AbDBLED21MouseMove},       {"AbDBLED22", &TForm1::AbDBLED21MouseMove},
    {"AbDBLED23", &TForm1::AbDBLED21MouseMove},       {"Edit1", &TForm1::AbColBitBtn4MouseMove},
    {"Edit3", &TForm1::AbColBitBtn5MouseMove},        {"Label2", &TForm1::Label2MouseMove},
    {"StaticText2", &TForm1::AbDBLED2MouseMove},      {"StaticText4", &TForm1::StaticText4MouseMove},
    {"StaticText3", &TForm1::StaticText3MouseMove},   {"AbColBitBtn2", &TForm1::AbColBitBtn2MouseMove},
    {"AbColBitBtn4", &TForm1::AbColBitBtn4MouseMove}, {"AbColBitBtn5", &TForm1::AbColBitBtn5MouseMove},
    {"AbColBitBtn6", &TForm1::AbColBitBtn6MouseMove}, {"AbColBitBtn7", &TForm1::AbColBitBtn7MouseMove},
    {"AbColBitBtn8", &TForm1::AbColBitBtn8MouseMove}, {"AbColBitBtn9", &TForm1::AbColBitBtn9MouseMove},
    {"OvcLabel1", &TForm1::OvcLabel1MouseMove},
};

const TClickWire ClickWiring[] = {
    {"AbColBitBtn4", &TForm1::AbColBitBtn4Click},
    {"AbColBitBtn5", &TForm1::AbColBitBtn5Click},
};

const TKeyPressWire KeyPressWiring[] = {
    {"Edit1", &TForm1::Edit1KeyPress},
};

// ---------------------------------------------------------------- background picture

enum class TPanelKind { Sunken, Well };
struct TPanel {
  int Left, Top, Right, Bottom;  // inclusive
  TPanelKind Kind;
};

// Panels are drawn in this order, so the wells and the port box come after
// the panels holding them.
constexpr TPanel Panels[] = {
    // row labels: RD, RC, RS
    {7, 9, 38, 48, TPanelKind::Sunken},
    {7, 50, 38, 89, TPanelKind::Sunken},
    {7, 91, 38, 130, TPanelKind::Sunken},
    // LED rows: data, control, status
    {40, 9, 238, 48, TPanelKind::Sunken},
    {40, 50, 238, 89, TPanelKind::Sunken},
    {40, 91, 238, 130, TPanelKind::Sunken},
    // value column
    {240, 9, 376, 48, TPanelKind::Sunken},
    {240, 50, 376, 89, TPanelKind::Sunken},
    {240, 91, 376, 130, TPanelKind::Sunken},
    // entry wells behind Edit1 and Edit3
    {248, 19, 275, 39, TPanelKind::Well},
    {248, 60, 275, 80, TPanelKind::Well},
    // right column and the port box inside it
    {378, 9, 454, 130, TPanelKind::Sunken},
    {385, 16, 446, 75, TPanelKind::Sunken},
    // title and help panels
    {7, 132, 139, 162, TPanelKind::Sunken},
    {141, 132, 454, 162, TPanelKind::Sunken},
};
constexpr int HelpPanel = 14;  // index of the help panel (holds the grip)

// Bevel rings, outermost first: {top/left, bottom/right}. A sunken panel is
// shadowed on its top and left edge, darkening towards the inside, and lit on
// its bottom and right edge, where the innermost ring fades into the window
// colour (the light edge is two pixels wide, the dark edge three).
struct TRing {
  TColor TopLeft;
  TColor BottomRight;
};
constexpr TRing SunkenRings[] = {{0x353535, 0x616161}, {0x282828, 0x555555}, {0x191919, WindowColor}};
// The raised outer frame: the same colours the other way round.
constexpr TRing RaisedRings[] = {{0x616161, 0x191919}, {0x555555, 0x282828}};
// An entry well: one dark ring, filled with the edit fields' colour.
constexpr TRing WellRings[] = {{0x191919, 0x555555}};
constexpr TColor WellFill = 0x282828;
// Size grip: dots on three diagonals at the help panel's bottom right.
constexpr int GripDotPitch = 4;
constexpr int GripRows = 3;
constexpr TColor GripLight = 0x616161;
constexpr TColor GripDark = 0x191919;

void DrawRings(TCanvas& canvas, TRect rect, std::span<const TRing> rings) {
  for (const TRing& ring : rings) canvas.Frame3D(rect, ring.TopLeft, ring.BottomRight, 1);
}

void DrawGrip(TCanvas& canvas, const TPanel& panel) {
  const int inset = int(std::size(SunkenRings)) + 1;
  const int right = panel.Right - inset - 1;
  const int bottom = panel.Bottom - inset - 1;
  for (int row = 0; row < GripRows; ++row)
    for (int col = 0; col < GripRows - row; ++col) {
      const int x = right - col * GripDotPitch;
      const int y = bottom - row * GripDotPitch;
      canvas.SetPixel(x, y, GripLight);
      canvas.SetPixel(x + 1, y + 1, GripDark);
    }
}

// ---------------------------------------------------------------- icon (16 x 16)

// A lime lamp above a grey connector shell with two rows of pins.
constexpr TColor IconBackground = 0x404040;
constexpr TColor IconShell = 0xA0A0A0;
constexpr TColor IconShellOutline = 0x303030;
constexpr TColor IconPin = 0x202020;
constexpr TColor IconLamp = clLime;
constexpr TColor IconLampOutline = 0x006000;
constexpr TColor IconGlint = clWhite;
constexpr TPoint IconShellPoints[] = {{1, 8}, {14, 8}, {12, 15}, {3, 15}};
constexpr TRect IconLampRect = {4, 0, 12, 8};
constexpr int IconPinRows[][3] = {{4, 10, 11}, {5, 13, 10}};  // {first x, y, last x}

// ---------------------------------------------------------------- helpers

void ApplyFont(TFont& font, const TFontSettings& f, TColor color) {
  font.SetCharset(f.Charset);
  font.SetColor(color);
  font.SetHeight(f.Height);
  font.SetName(f.Name);
  font.SetStyle(f.Bold ? TFontStyles(fsBold) : TFontStyles());
}

void ApplyFont(TFont& font, const TFontSettings& f) { ApplyFont(font, f, f.Color); }

void ApplyBounds(TControl& control, const TControlRow& row) {
  control.SetLeft(row.Left);
  control.SetTop(row.Top);
  control.SetWidth(row.Width);
  control.SetHeight(row.Height);
}

void Apply(TForm1& form, TImage& image, const TControlRow& row) {
  image.SetParent(&form);
  ApplyBounds(image, row);
  image.SetAlign(alClient);
  image.SetEnabled(false);
}

void Apply(TForm1&, TAbDBLED& led, const TControlRow& row) {
  const TLedSettings& s = LedStyles[row.Style];
  ApplyBounds(led, row);
  led.SetCaption(row.Caption);
  ApplyFont(led.Font(), LedFont, s.FontColor);
  led.SetParentFont(false);
  if (s.ColorOn) led.LED().SetColorOn(*s.ColorOn);
  led.LED().SetColorOff(s.ColorOff);
  if (s.LedSize) {
    led.LED().SetHeight(s.LedSize);
    led.LED().SetWidth(s.LedSize);
  }
  if (s.Shape) led.LED().SetShape(*s.Shape);
  led.SetLED_Position(s.Position);
  led.SetSpacing(s.Spacing);
  led.SetChecked(false);
  led.SetFlashing(false);
  led.SetFrequency(ff1Hz);
  led.SetStatusInt(0);
  led.SetStatusBit(0);
  led.SetGroupIndex(0);
  led.SetMode(mIndicator);
  led.SetDataReadOnly(false);
}

void Apply(TForm1&, TAbColBitBtn& button, const TControlRow& row) {
  const TButtonSettings& s = ButtonStyles[row.Style];
  ApplyBounds(button, row);
  ApplyFont(button.Font(), {"Verdana", RUSSIAN_CHARSET, s.FontHeight, s.Bold, clWindowText});
  button.SetParentFont(false);
  button.SetPosHorizontal(phCenter);
  button.SetPosVertical(pvCenter);
  button.SetPosGlyph(s.PosGlyph);
  button.GradBtnFace().SetColorFrom(ButtonFace);
  button.GradBtnFace().SetColorTo(ButtonFace);
  button.GradBtnFace().SetStyle(s.FaceStyle);
  button.GradBtnFace().SetVisible(true);
  button.ButtonBevel().SetShadowColFrom(ButtonShadowFrom);
  button.ButtonBevel().SetShadowColTo(ButtonShadowTo);
  button.ButtonBevel().SetHighlightColFrom(ButtonHighlightFrom);
  button.ButtonBevel().SetHighlightColTo(ButtonHighlightTo);
  button.ButtonBevel().SetWidth(ButtonBevelWidth);
  button.SetFlashOptions(foGlyph | foText | foTextCol | foBtnCol);
  button.SetCheckedOptions(coGlyph | coText | coTextCol | coBtnCol | coBevel);
  button.SetColorOff(clBtnFace);
  button.SetColorDisabled(0xA0A0A0);
  button.SetColorOn(clBtnFace);
  button.SetOffsetX(0);
  button.SetOffsetY(0);
  button.SetOffsetDown(1);
  button.SetNumGlyph(1);
  button.SetBeveled(true);
  button.SetTransparent(false);
  button.SetFlat(false);
  button.SetSpacing(4);
  button.SetTextOff(row.Caption);
  button.SetTextOn(row.CaptionOn);
  button.SetTextColOn(clLime);
  button.SetTextColOff(clGreen);
  button.SetTextColDisabled(clGray);
  button.SetText3D(s.Text3D);
  button.SetFrequency(ff05Hz);
  button.SetFlashing(false);
  button.SetGroupIndex(0);
  button.SetStatusBit(0);
  button.SetStatusInt(0);
  button.SetChecked(false);
  button.SetMode(s.Mode);
}

// Plain and shadowed labels.
void Apply(TForm1& form, TCustomLabel& label, const TControlRow& row) {
  label.SetParent(&form);
  ApplyBounds(label, row);
  label.SetCaption(row.Caption);
  ApplyFont(label.Font(), TextStyles[row.Style]);
  label.SetParentFont(false);
}

void Apply(TForm1& form, TEdit& edit, const TControlRow& row) {
  const TEditSettings& s = EditStyles[row.Style];
  edit.SetParent(&form);
  ApplyBounds(edit, row);
  edit.SetTag(s.Tag);
  if (s.RightToLeftReading) edit.SetBiDiMode(bdRightToLeftReadingOnly);
  edit.SetBevelInner(bvNone);
  edit.SetBevelOuter(bvNone);
  edit.SetBorderStyle(TBorderStyle::bsNone);
  edit.SetCharCase(s.CharCase);
  edit.SetColor(EditColor);
  ApplyFont(edit.Font(), EditFont);
  edit.SetMaxLength(EditMaxLength);
  edit.SetParentFont(false);
  edit.SetShowHint(s.ShowHint);
  edit.SetTabOrder(s.TabOrder);
  edit.SetTabStop(s.TabStop);
  edit.SetText(row.Caption);
}

void Apply(TForm1& form, TStaticText& text, const TControlRow& row) {
  text.SetParent(&form);
  ApplyBounds(text, row);
  text.SetCaption(row.Caption);
  ApplyFont(text.Font(), TextStyles[tsRowLabel]);
  text.SetParentFont(false);
  text.SetTabOrder(row.Style);
}

void Apply(TForm1&, TTimer& timer, const TControlRow&) {
  timer.SetInterval(PollInterval);
  timer.SetEnabled(true);
}

template <class T>
T& FindControl(TForm1& form, const char* name) {
  auto* found = dynamic_cast<T*>(form.FindComponent(name));
  if (!found) throw std::logic_error(std::string("stored layout wires a missing control: ") + name);
  return *found;
}

}  // namespace

void TForm1::LoadLayout() {
  BeginLoading();
  SetCaption(WindowCaption);
  SetClientWidth(WindowClientWidth);
  SetClientHeight(WindowClientHeight);
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu | biMinimize);
  SetPosition(poDesktopCenter);
  SetColor(WindowColor);
  ApplyFont(Font(), WindowFont);
  DrawIcon();

  for (const TControlRow& row : StoredControls) {
    std::visit(
        [&](auto field) {
          using T = std::remove_pointer_t<std::remove_reference_t<decltype(this->*field)>>;
          T* control = new T(this);  // owned and freed by the form
          control->SetName(row.Name);
          this->*field = control;
          Apply(*this, *control, row);
        },
        row.Field);
  }
  DrawBackground();
  WireEvents();
  EndLoading();
}

void TForm1::WireEvents() {
  OnCreate = std::bind_front(&TForm1::FormCreate, this);
  OnDestroy = std::bind_front(&TForm1::FormDestroy, this);
  OnMouseMove = std::bind_front(&TForm1::FormMouseMove, this);
  Timer1->OnTimer = std::bind_front(&TForm1::Timer1Timer, this);
  for (const auto& w : MouseDownWiring)
    FindControl<TControl>(*this, w.Control).OnMouseDown = std::bind_front(w.Handler, this);
  for (const auto& w : MouseMoveWiring)
    FindControl<TControl>(*this, w.Control).OnMouseMove = std::bind_front(w.Handler, this);
  for (const auto& w : ClickWiring)
    FindControl<TControl>(*this, w.Control).OnClick = std::bind_front(w.Handler, this);
  for (const auto& w : KeyPressWiring)
    FindControl<TWinControl>(*this, w.Control).OnKeyPress = std::bind_front(w.Handler, this);
}

void TForm1::DrawBackground() {
  TBitmap& picture = Image1->Picture();
  picture.SetSize(WindowClientWidth, WindowClientHeight);
  TCanvas& canvas = picture.Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(WindowColor);
  canvas.FillRect(Rect(0, 0, WindowClientWidth, WindowClientHeight));
  DrawRings(canvas, Rect(0, 0, WindowClientWidth, WindowClientHeight), RaisedRings);
  for (const TPanel& panel : Panels) {
    TRect rect = Rect(panel.Left, panel.Top, panel.Right + 1, panel.Bottom + 1);
    if (panel.Kind == TPanelKind::Well) {
      canvas.Brush().SetColor(WellFill);
      canvas.FillRect(rect);
      DrawRings(canvas, rect, WellRings);
    } else {
      DrawRings(canvas, rect, SunkenRings);
    }
  }
  DrawGrip(canvas, Panels[HelpPanel]);
}

void TForm1::DrawIcon() {
  TBitmap& icon = Icon();
  icon.SetSize(16, 16);
  TCanvas& canvas = icon.Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(IconBackground);
  canvas.FillRect(Rect(0, 0, 16, 16));
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetColor(IconShellOutline);
  canvas.Brush().SetColor(IconShell);
  canvas.Polygon(IconShellPoints);
  for (const auto& pins : IconPinRows)
    for (int x = pins[0]; x <= pins[2]; x += 2) canvas.SetPixel(x, pins[1], IconPin);
  canvas.Pen().SetColor(IconLampOutline);
  canvas.Brush().SetColor(IconLamp);
  canvas.Ellipse(IconLampRect);
  canvas.SetPixel(6, 2, IconGlint);
  canvas.SetPixel(7, 2, IconGlint);
  canvas.SetPixel(6, 3, IconGlint);
}
