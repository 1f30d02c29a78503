// The stored layout of TForm1: window properties, every control in creation
// order with its settings, the event wiring, the background picture and the
// icon. Kept as tables so they can be checked line by line; every row is
// typed by its control's kind, so a wrong entry does not compile.
#include <functional>
#include <optional>
#include <span>
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

// Labels, static texts and shadowed labels.
constexpr TFontSettings StatusValueFont{"Verdana", RUSSIAN_CHARSET, -11, true, clLime};
constexpr TFontSettings ConnectionFont{"Verdana", RUSSIAN_CHARSET, -11, true, clRed};
constexpr TFontSettings StatusLineFont{"Verdana", RUSSIAN_CHARSET, -11, true, clWindowText};
constexpr TFontSettings RowLabelFont{"Verdana", RUSSIAN_CHARSET, -11, true, clGreen};
constexpr TFontSettings TitleFont{"Verdana", RUSSIAN_CHARSET, -15, false, clGray};

// ---------------------------------------------------------------- settings per control kind

// LED groups; an empty optional keeps the LED class's own value.
struct TLedGroup {
  TColor FontColor;
  TColor ColorOff;
  std::optional<TColor> ColorOn;
  std::optional<TLEDShape> Shape;
  std::optional<int> LedSize;  // width and height
  TLEDPos Position;
  int Spacing;
};
constexpr auto Default = std::nullopt;
// clang-format off
//                                 font colour  ColorOff  ColorOn  Shape       size     position  Spacing
constexpr TLedGroup OutputLeds   {clGreen,     0x4B4B4B, Default, Default,    Default, lpBottom, 3};
constexpr TLedGroup StatusLeds   {0x000093,    0x4B4B4B, clRed,   Default,    Default, lpBottom, 3};
constexpr TLedGroup ConnectionLed{clRed,       clRed,    Default, Default,    Default, lpBottom, 5};
constexpr TLedGroup PortLeds     {clGray,      clGray,   Default, sRectangle, 10,      lpLeft,   5};
// clang-format on
constexpr const char* LedFontName = "Verdana";
constexpr int LedFontHeight = -11;

// Colour glyph buttons.
struct TButtonKind {
  TMode Mode;
  TPos PosGlyph;
  TGradientStyle FaceStyle;
  bool Text3D;
  int FontHeight;
  bool Bold;
};
// clang-format off
//                                        Mode     PosGlyph face style   Text3D font height, bold
constexpr TButtonKind CaptionToggleButton{mSwitch, pBottom, gsElliptic2, true,  -11, true};
constexpr TButtonKind EnterButton        {mButton, pLeft,   gsTopRight,  true,  -12, false};
constexpr TButtonKind StepButton         {mButton, pLeft,   gsTopRight,  false, -12, false};
// clang-format on
// Shared by every button.
constexpr TColor ButtonFace = 0x404040;
constexpr TColor ButtonShadowFrom = 0x191919;
constexpr TColor ButtonShadowTo = 0x282828;
constexpr TColor ButtonHighlightFrom = 0x626262;
constexpr TColor ButtonHighlightTo = 0x555555;
constexpr int ButtonBevelWidth = 2;

// Entry fields.
struct TEditKind {
  TEditCharCase CharCase;
  bool TabStop;
  int TabOrder;
  long Tag;
  bool RightToLeftReading;
  bool ShowHint;
};
// clang-format off
//                               CharCase     TabStop TabOrder Tag right-to-left ShowHint
constexpr TEditKind DataEntry   {ecUpperCase, false,  0,       1,  true,         true};
constexpr TEditKind ControlEntry{ecNormal,    true,   4,       0,  false,        false};
// clang-format on
constexpr TFontSettings EditFont{"Verdana", RUSSIAN_CHARSET, -11, true, clLime};
constexpr TColor EditColor = 0x282828;
constexpr int EditMaxLength = 2;

constexpr unsigned PollInterval = 100;

// ---------------------------------------------------------------- controls in creation order

struct TBounds {
  int Left, Top, Width, Height;
};

struct TImageRow {
  TImage* TForm1::*Field;
  const char* Name;
  TBounds Bounds;
};
struct TLedRow {
  TAbDBLED* TForm1::*Field;
  const char* Name;
  TBounds Bounds;
  const char* Caption;
  const TLedGroup& Group;
};
struct TButtonRow {
  TAbColBitBtn* TForm1::*Field;
  const char* Name;
  TBounds Bounds;
  const char* TextOff;
  const char* TextOn;
  const TButtonKind& Kind;
};
// Plain and shadowed labels.
template <class TLabelClass>
struct TCaptionRow {
  TLabelClass* TForm1::*Field;
  const char* Name;
  TBounds Bounds;
  const char* Caption;
  const TFontSettings& Font;
};
using TLabelRow = TCaptionRow<TLabel>;
using TOvcLabelRow = TCaptionRow<TOvcLabel>;
struct TEditRow {
  TEdit* TForm1::*Field;
  const char* Name;
  TBounds Bounds;
  const char* Text;
  const TEditKind& Kind;
};
struct TStaticTextRow {
  TStaticText* TForm1::*Field;
  const char* Name;
  TBounds Bounds;
  const char* Caption;
  int TabOrder;
};
struct TTimerRow {
  TTimer* TForm1::*Field;
  const char* Name;
  unsigned Interval;
};

using TControlRow = std::variant<TImageRow, TLedRow, TButtonRow, TLabelRow, TOvcLabelRow, TEditRow,
                                 TStaticTextRow, TTimerRow>;

#define FIELD(name) &TForm1::name, #name

// clang-format off
const TControlRow StoredControls[] = {
    //             field and name        left  top  wid  hgt    caption / text    settings
    TImageRow     {FIELD(Image1),       {  0,   0, 463, 170}},
    TLedRow       {FIELD(AbDBLED1),     {187,  50,  49,  33}, "STR",             OutputLeds},
    TLedRow       {FIELD(AbDBLED2),     {215,   9,  17,  33}, "D0",              OutputLeds},
    TLedRow       {FIELD(AbDBLED3),     {191,   9,  17,  33}, "D1",              OutputLeds},
    TLedRow       {FIELD(AbDBLED4),     {167,   9,  17,  33}, "D2",              OutputLeds},
    TLedRow       {FIELD(AbDBLED5),     {143,   9,  17,  33}, "D3",              OutputLeds},
    TLedRow       {FIELD(AbDBLED6),     {119,   9,  17,  33}, "D4",              OutputLeds},
    TLedRow       {FIELD(AbDBLED7),     { 95,   9,  17,  33}, "D5",              OutputLeds},
    TLedRow       {FIELD(AbDBLED8),     { 71,   9,  17,  33}, "D6",              OutputLeds},
    TLedRow       {FIELD(AbDBLED9),     { 47,   9,  17,  33}, "D7",              OutputLeds},
    TLedRow       {FIELD(AbDBLED10),    {143,  50,  40,  33}, "LF/CR",           OutputLeds},
    TLedRow       {FIELD(AbDBLED11),    {100,  50,  30,  33}, "INIT",            OutputLeds},
    TLedRow       {FIELD(AbDBLED12),    { 47,  50,  41,  33}, "SELIN",           OutputLeds},
    TLedRow       {FIELD(AbDBLED13),    { 49,  91,  33,  33}, "ERR",             StatusLeds},
    TLedRow       {FIELD(AbDBLED14),    { 86,  91,  33,  33}, "SEL",             StatusLeds},
    TLedRow       {FIELD(AbDBLED15),    {127,  91,  25,  33}, "PAP",             StatusLeds},
    TLedRow       {FIELD(AbDBLED16),    {164,  91,  25,  33}, "ASC",             StatusLeds},
    TLedRow       {FIELD(AbDBLED17),    {191,  91,  45,  33}, "BUSY",            StatusLeds},
    TButtonRow    {FIELD(AbColBitBtn2), {280, 101,  89,  21}, "Name", "Pin",     CaptionToggleButton},
    TLedRow       {FIELD(AbDBLED18),    {403, 106,  25,  17}, "",                ConnectionLed},
    TLabelRow     {FIELD(Label2),       {253, 104,  16,  13}, "00",              StatusValueFont},
    TLabelRow     {FIELD(Label4),       {396,  79,  39,  13}, "Связь",           ConnectionFont},
    TLabelRow     {FIELD(Label5),       {387,  91,  58,  13}, "с портом",        ConnectionFont},
    TButtonRow    {FIELD(AbColBitBtn4), {280,  19,  42,  21}, "Ввод", "Ввод",    EnterButton},
    TButtonRow    {FIELD(AbColBitBtn5), {280,  60,  42,  21}, "Ввод", "Ввод",    EnterButton},
    TButtonRow    {FIELD(AbColBitBtn6), {327,  19,  21,  21}, "+", "+",          StepButton},
    TButtonRow    {FIELD(AbColBitBtn7), {348,  19,  21,  21}, "-", "-",          StepButton},
    TButtonRow    {FIELD(AbColBitBtn8), {327,  60,  21,  21}, "+", "+",          StepButton},
    TButtonRow    {FIELD(AbColBitBtn9), {348,  60,  21,  21}, "-", "-",          StepButton},
    TLedRow       {FIELD(AbDBLED22),    {394,  36,  50,  18}, "LPT2",            PortLeds},
    TLedRow       {FIELD(AbDBLED21),    {394,  20,  50,  18}, "LPT1",            PortLeds},
    TLedRow       {FIELD(AbDBLED23),    {394,  52,  50,  18}, "LPT3",            PortLeds},
    TOvcLabelRow  {FIELD(OvcLabel1),    { 16, 138, 137,  25}, "Pinlark",         TitleFont},
    TLabelRow     {FIELD(Label1),       {148, 141,   4,  13}, "",                StatusLineFont},
    TOvcLabelRow  {FIELD(OvcLabel2),    {148, 138, 300,  31}, "",                TitleFont},
    TEditRow      {FIELD(Edit1),        {253,  22,  20,  15}, "00",              DataEntry},
    TStaticTextRow{FIELD(StaticText3),  { 15, 104,  20,  17}, "RS",              /* tab order */ 1},
    TStaticTextRow{FIELD(StaticText2),  { 15,  24,  21,  17}, "RD",              /* tab order */ 2},
    TStaticTextRow{FIELD(StaticText4),  { 15,  64,  20,  17}, "RC",              /* tab order */ 3},
    TEditRow      {FIELD(Edit3),        {253,  63,  20,  15}, "00",              ControlEntry},
    TTimerRow     {FIELD(Timer1),       PollInterval},
};
// clang-format on

#undef FIELD

// ---------------------------------------------------------------- event wiring

using TMouseDownHandler = void (TForm1::*)(TObject*, TMouseButton, TShiftState, int, int);
using TMouseMoveHandler = void (TForm1::*)(TObject*, TShiftState, int, int);
using TNotifyHandler = void (TForm1::*)(TObject*);
using TKeyPressHandler = void (TForm1::*)(TObject*, char32_t&);

// The controls each event can be bound on.
using TClickable = std::variant<TAbDBLED * TForm1::*, TAbColBitBtn * TForm1::*>;
using THoverable = std::variant<TAbDBLED * TForm1::*, TAbColBitBtn * TForm1::*, TLabel * TForm1::*,
                                TOvcLabel * TForm1::*, TEdit * TForm1::*, TStaticText * TForm1::*>;

struct TMouseDownWire {
  TClickable Control;
  TMouseDownHandler Handler;
};
struct TMouseMoveWire {
  THoverable Control;
  TMouseMoveHandler Handler;
};
struct TClickWire {
  TAbColBitBtn* TForm1::*Control;
  TNotifyHandler Handler;
};
struct TKeyPressWire {
  TEdit* TForm1::*Control;
  TKeyPressHandler Handler;
};

// clang-format off
const TMouseDownWire MouseDownWiring[] = {
    {&TForm1::AbDBLED2,     &TForm1::AbDBLED2MouseDown},
    {&TForm1::AbDBLED3,     &TForm1::AbDBLED3MouseDown},
    {&TForm1::AbDBLED4,     &TForm1::AbDBLED4MouseDown},
    {&TForm1::AbDBLED5,     &TForm1::AbDBLED5MouseDown},
    {&TForm1::AbDBLED6,     &TForm1::AbDBLED6MouseDown},
    {&TForm1::AbDBLED7,     &TForm1::AbDBLED7MouseDown},
    {&TForm1::AbDBLED8,     &TForm1::AbDBLED8MouseDown},
    {&TForm1::AbDBLED9,     &TForm1::AbDBLED9MouseDown},
    {&TForm1::AbDBLED1,     &TForm1::AbDBLED1MouseDown},
    {&TForm1::AbDBLED10,    &TForm1::AbDBLED10MouseDown},
    {&TForm1::AbDBLED11,    &TForm1::AbDBLED11MouseDown},
    {&TForm1::AbDBLED12,    &TForm1::AbDBLED12MouseDown},
    {&TForm1::AbDBLED21,    &TForm1::AbDBLED21MouseDown},
    {&TForm1::AbDBLED22,    &TForm1::AbDBLED22MouseDown},
    {&TForm1::AbDBLED23,    &TForm1::AbDBLED23MouseDown},
    {&TForm1::AbColBitBtn6, &TForm1::AbColBitBtn6MouseDown},
    {&TForm1::AbColBitBtn7, &TForm1::AbColBitBtn7MouseDown},
    {&TForm1::AbColBitBtn8, &TForm1::AbColBitBtn8MouseDown},
    {&TForm1::AbColBitBtn9, &TForm1::AbColBitBtn9MouseDown},
    {&TForm1::AbColBitBtn2, &TForm1::AbColBitBtn2MouseDown},
};

const TMouseMoveWire MouseMoveWiring[] = {
    {&TForm1::AbDBLED2,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED3,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED4,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED5,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED6,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED7,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED8,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED9,     &TForm1::AbDBLED9MouseMove},
    {&TForm1::AbDBLED1,     &TForm1::AbDBLED12MouseMove},
    {&TForm1::AbDBLED10,    &TForm1::AbDBLED12MouseMove},
    {&TForm1::AbDBLED11,    &TForm1::AbDBLED12MouseMove},
    {&TForm1::AbDBLED12,    &TForm1::AbDBLED12MouseMove},
    {&TForm1::AbDBLED13,    &TForm1::AbDBLED13MouseMove},
    {&TForm1::AbDBLED14,    &TForm1::AbDBLED13MouseMove},
    {&TForm1::AbDBLED15,    &TForm1::AbDBLED13MouseMove},
    {&TForm1::AbDBLED16,    &TForm1::AbDBLED13MouseMove},
    {&TForm1::AbDBLED17,    &TForm1::AbDBLED13MouseMove},
    {&TForm1::AbDBLED18,    &TForm1::AbDBLED18MouseMove},
    {&TForm1::Label4,       &TForm1::AbDBLED18MouseMove},
    {&TForm1::Label5,       &TForm1::AbDBLED18MouseMove},
    {&TForm1::AbDBLED21,    &TForm1::AbDBLED21MouseMove},
    {&TForm1::AbDBLED22,    &TForm1::AbDBLED21MouseMove},
    {&TForm1::AbDBLED23,    &TForm1::AbDBLED21MouseMove},
    {&TForm1::Edit1,        &TForm1::AbColBitBtn4MouseMove},
    {&TForm1::Edit3,        &TForm1::AbColBitBtn5MouseMove},
    {&TForm1::Label2,       &TForm1::Label2MouseMove},
    {&TForm1::StaticText2,  &TForm1::AbDBLED2MouseMove},
    {&TForm1::StaticText4,  &TForm1::StaticText4MouseMove},
    {&TForm1::StaticText3,  &TForm1::StaticText3MouseMove},
    {&TForm1::AbColBitBtn2, &TForm1::AbColBitBtn2MouseMove},
    {&TForm1::AbColBitBtn4, &TForm1::AbColBitBtn4MouseMove},
    {&TForm1::AbColBitBtn5, &TForm1::AbColBitBtn5MouseMove},
    {&TForm1::AbColBitBtn6, &TForm1::AbColBitBtn6MouseMove},
    {&TForm1::AbColBitBtn7, &TForm1::AbColBitBtn7MouseMove},
    {&TForm1::AbColBitBtn8, &TForm1::AbColBitBtn8MouseMove},
    {&TForm1::AbColBitBtn9, &TForm1::AbColBitBtn9MouseMove},
    {&TForm1::OvcLabel1,    &TForm1::OvcLabel1MouseMove},
};

const TClickWire ClickWiring[] = {
    {&TForm1::AbColBitBtn4, &TForm1::AbColBitBtn4Click},
    {&TForm1::AbColBitBtn5, &TForm1::AbColBitBtn5Click},
};

const TKeyPressWire KeyPressWiring[] = {
    {&TForm1::Edit1,        &TForm1::Edit1KeyPress},
};
// clang-format on

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

void ApplyFont(TFont& font, const TFontSettings& f) {
  font.SetCharset(f.Charset);
  font.SetColor(f.Color);
  font.SetHeight(f.Height);
  font.SetName(f.Name);
  font.SetStyle(f.Bold ? TFontStyles(fsBold) : TFontStyles());
}

void ApplyBounds(TControl& control, const TBounds& b) {
  control.SetLeft(b.Left);
  control.SetTop(b.Top);
  control.SetWidth(b.Width);
  control.SetHeight(b.Height);
}

void Apply(TForm1& form, TImage& image, const TImageRow& row) {
  image.SetParent(&form);
  ApplyBounds(image, row.Bounds);
  image.SetAlign(alClient);
  image.SetEnabled(false);
}

void Apply(TForm1&, TAbDBLED& led, const TLedRow& row) {
  const TLedGroup& g = row.Group;
  ApplyBounds(led, row.Bounds);
  led.SetCaption(row.Caption);
  ApplyFont(led.Font(), {LedFontName, RUSSIAN_CHARSET, LedFontHeight, true, g.FontColor});
  led.SetParentFont(false);
  if (g.ColorOn) led.LED().SetColorOn(*g.ColorOn);
  led.LED().SetColorOff(g.ColorOff);
  if (g.LedSize) {
    led.LED().SetHeight(*g.LedSize);
    led.LED().SetWidth(*g.LedSize);
  }
  if (g.Shape) led.LED().SetShape(*g.Shape);
  led.SetLED_Position(g.Position);
  led.SetSpacing(g.Spacing);
  led.SetChecked(false);
  led.SetFlashing(false);
  led.SetFrequency(ff1Hz);
  led.SetStatusInt(0);
  led.SetStatusBit(0);
  led.SetGroupIndex(0);
  led.SetMode(mIndicator);
  led.SetDataReadOnly(false);
}

void Apply(TForm1&, TAbColBitBtn& button, const TButtonRow& row) {
  const TButtonKind& k = row.Kind;
  ApplyBounds(button, row.Bounds);
  ApplyFont(button.Font(), {"Verdana", RUSSIAN_CHARSET, k.FontHeight, k.Bold, clWindowText});
  button.SetParentFont(false);
  button.SetPosHorizontal(phCenter);
  button.SetPosVertical(pvCenter);
  button.SetPosGlyph(k.PosGlyph);
  button.GradBtnFace().SetColorFrom(ButtonFace);
  button.GradBtnFace().SetColorTo(ButtonFace);
  button.GradBtnFace().SetStyle(k.FaceStyle);
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
  button.SetTextOff(row.TextOff);
  button.SetTextOn(row.TextOn);
  button.SetTextColOn(clLime);
  button.SetTextColOff(clGreen);
  button.SetTextColDisabled(clGray);
  button.SetText3D(k.Text3D);
  button.SetFrequency(ff05Hz);
  button.SetFlashing(false);
  button.SetGroupIndex(0);
  button.SetStatusBit(0);
  button.SetStatusInt(0);
  button.SetChecked(false);
  button.SetMode(k.Mode);
}

template <class TLabelClass>
void Apply(TForm1& form, TLabelClass& label, const TCaptionRow<TLabelClass>& row) {
  label.SetParent(&form);
  ApplyBounds(label, row.Bounds);
  label.SetCaption(row.Caption);
  ApplyFont(label.Font(), row.Font);
  label.SetParentFont(false);
}

void Apply(TForm1& form, TEdit& edit, const TEditRow& row) {
  const TEditKind& k = row.Kind;
  edit.SetParent(&form);
  ApplyBounds(edit, row.Bounds);
  edit.SetTag(k.Tag);
  if (k.RightToLeftReading) edit.SetBiDiMode(bdRightToLeftReadingOnly);
  edit.SetBevelInner(bvNone);
  edit.SetBevelOuter(bvNone);
  edit.SetBorderStyle(TBorderStyle::bsNone);
  edit.SetCharCase(k.CharCase);
  edit.SetColor(EditColor);
  ApplyFont(edit.Font(), EditFont);
  edit.SetMaxLength(EditMaxLength);
  edit.SetParentFont(false);
  edit.SetShowHint(k.ShowHint);
  edit.SetTabOrder(k.TabOrder);
  edit.SetTabStop(k.TabStop);
  edit.SetText(row.Text);
}

void Apply(TForm1& form, TStaticText& text, const TStaticTextRow& row) {
  text.SetParent(&form);
  ApplyBounds(text, row.Bounds);
  text.SetCaption(row.Caption);
  ApplyFont(text.Font(), RowLabelFont);
  text.SetParentFont(false);
  text.SetTabOrder(row.TabOrder);
}

void Apply(TForm1&, TTimer& timer, const TTimerRow& row) {
  timer.SetInterval(row.Interval);
  timer.SetEnabled(true);
}

template <class TVariant>
TControl& Resolve(TForm1& form, const TVariant& field) {
  return std::visit([&](auto member) -> TControl& { return *(form.*member); }, field);
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

  for (const TControlRow& stored : StoredControls) {
    std::visit(
        [this](const auto& row) {
          using T = std::remove_pointer_t<std::remove_reference_t<decltype(this->*row.Field)>>;
          T* control = new T(this);  // owned and freed by the form
          control->SetName(row.Name);
          this->*row.Field = control;
          Apply(*this, *control, row);
        },
        stored);
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
    Resolve(*this, w.Control).OnMouseDown = std::bind_front(w.Handler, this);
  for (const auto& w : MouseMoveWiring)
    Resolve(*this, w.Control).OnMouseMove = std::bind_front(w.Handler, this);
  for (const auto& w : ClickWiring) (this->*w.Control)->OnClick = std::bind_front(w.Handler, this);
  for (const auto& w : KeyPressWiring) (this->*w.Control)->OnKeyPress = std::bind_front(w.Handler, this);
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
