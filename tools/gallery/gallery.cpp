// gallery OUT.png: one of each widget in its main states on the main window's
// dark background, rendered without a display.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "AbCBitBt.h"
#include "AbLED.h"
#include "forms.h"
#include "headless_app.h"
#include "ovclabel.h"
#include "stdctrls.h"

namespace {

constexpr TColor FormColor = 0x404040;
constexpr TColor NoteColor = 0xB0B0B0;
constexpr TColor HeadingColor = 0xE0E0E0;
constexpr int Margin = 12;

struct TNamedShape {
  TLEDShape Shape;
  const char* Name;
};
constexpr TNamedShape Shapes[] = {
    {sRound, "round"}, {sArrowLeft, "left"}, {sArrowRight, "right"},
    {sArrowUp, "up"},  {sArrowDown, "down"}, {sRectangle, "rect"},
};

struct TNamedPos {
  TLEDPos Pos;
  const char* Name;
  int Width;
  int Height;
};
constexpr TNamedPos Positions[] = {{lpLeft, "left", 56, 20},
                                   {lpRight, "right", 56, 20},
                                   {lpTop, "top", 40, 36},
                                   {lpBottom, "bottom", 40, 36}};

struct TNamedGradient {
  TGradientStyle Style;
  const char* Name;
};
constexpr TNamedGradient Gradients[] = {
    {gsHorizontal1, "Horiz1"}, {gsHorizontal2, "Horiz2"}, {gsVertical1, "Vert1"}, {gsElliptic2, "Ellipt2"},
    {gsRectangle, "Rect"},     {gsDiamond1, "Diam1"},     {gsTopLeft, "TopLeft"}, {gsTopRight, "TopRight"},
};

struct TNamedAppearance {
  TOvcAppearance Appearance;
  const char* Name;
};
constexpr TNamedAppearance Appearances[] = {
    {apNone, "None"}, {apFlying, "Flying"}, {apRaised, "Raised"}, {apSunken, "Sunken"}, {apShadow, "Shadow"}};

struct TNamedScheme {
  TOvcColorScheme Scheme;
  const char* Name;
};
constexpr TNamedScheme Schemes[] = {
    {csText, "Text"}, {csWindows, "Windows"}, {csEmbossed, "Embossed"}, {csGold, "Gold"}, {csSteel, "Steel"}};

class TGallery {
 public:
  explicit TGallery(TForm& form) : Form_(form) {}

  void Build() {
    LedShapes(10);
    LedPositions(96);
    PortLeds(170);
    Buttons(246);
    ButtonFaces(312);
    LabelAppearances(388);
    LabelSchemes(456);
    LabelEffects(524);
  }

 private:
  TLabel& Text(int x, int y, const std::string& text, TColor color, int height, bool bold) {
    auto* l = new TLabel(&Form_);
    l->SetParent(&Form_);
    l->SetTransparent(true);
    l->Font().SetName("Verdana");
    l->Font().SetHeight(height);
    l->Font().SetColor(color);
    if (bold) l->Font().SetStyle(fsBold);
    l->SetCaption(text);
    l->SetLeft(x);
    l->SetTop(y);
    return *l;
  }
  void Heading(int y, const std::string& text) { Text(Margin, y, text, HeadingColor, -11, true); }
  void Note(const TControl& under, const std::string& text) {
    Text(under.Left(), under.Top() + under.Height() + 2, text, NoteColor, -9, false);
  }

  TAbLED& Led(int x, int y, int w, int h, const std::string& caption) {
    auto* led = new TAbLED(&Form_);
    led->SetBounds(x, y, w, h);
    led->Font().SetName("Verdana");
    led->Font().SetHeight(-11);
    led->Font().SetStyle(fsBold);
    led->Font().SetColor(clGreen);
    led->SetCaption(caption);
    return *led;
  }

  void LedShapes(int y) {
    Heading(y, "LED shapes, unlit and lit");
    int x = Margin;
    for (const TNamedShape& s : Shapes)
      for (bool lit : {false, true}) {
        TAbLED& led = Led(x, y + 18, 44, 36, s.Name);
        led.LED().SetShape(s.Shape);
        led.SetLED_Position(lpBottom);
        led.SetChecked(lit);
        Note(led, lit ? "lit" : "unlit");
        x += 52;
      }
  }

  void LedPositions(int y) {
    Heading(y, "LED caption positions");
    int x = Margin;
    for (const TNamedPos& p : Positions)
      for (bool lit : {false, true}) {
        TAbLED& led = Led(x, y + 18, p.Width, p.Height, "D3");
        led.SetLED_Position(p.Pos);
        led.SetChecked(lit);
        Note(led, std::string(p.Name) + (lit ? " lit" : ""));
        x += p.Width + 16;
      }
  }

  // The main window's data, status, port and connection indicators.
  void PortLeds(int y) {
    Heading(y, "Port indicators");
    struct TPortLed {
      const char* Caption;
      int Width, Height;
      TColor Font, Off, On;
      TLEDPos Pos;
      int Spacing;
      bool Lit;
      const char* Note;
    };
    const TPortLed leds[] = {
        {"D0", 17, 33, clGreen, 0x4B4B4B, clLime, lpBottom, 3, false, "data"},
        {"D0", 17, 33, clLime, 0x4B4B4B, clLime, lpBottom, 3, true, "data on"},
        {"ERR", 33, 33, 0x000093, 0x4B4B4B, clRed, lpBottom, 3, false, "status"},
        {"ERR", 33, 33, clRed, 0x4B4B4B, clRed, lpBottom, 3, true, "status on"},
        {"", 25, 17, clRed, clRed, clLime, lpBottom, 5, false, "link"},
        {"LPT1", 50, 18, clGray, clGray, clLime, lpLeft, 5, false, "port"},
    };
    int x = Margin;
    for (const TPortLed& p : leds) {
      TAbLED& led = Led(x, y + 18, p.Width, p.Height, p.Caption);
      led.Font().SetColor(p.Font);
      led.LED().SetColorOff(p.Off);
      led.LED().SetColorOn(p.On);
      led.SetLED_Position(p.Pos);
      led.SetSpacing(p.Spacing);
      if (p.Pos == lpLeft) {
        led.LED().SetShape(sRectangle);
        led.LED().SetWidth(10);
        led.LED().SetHeight(10);
      }
      led.SetChecked(p.Lit);
      Note(led, p.Note);
      x += p.Width + 28;
    }
  }

  TAbColBitBtn& MainButton(int x, int y, int w, const std::string& off, const std::string& on) {
    auto* b = new TAbColBitBtn(&Form_);
    b->SetBounds(x, y, w, 21);
    b->GradBtnFace().SetColorFrom(0x404040);
    b->GradBtnFace().SetColorTo(0x404040);
    b->GradBtnFace().SetStyle(gsTopRight);
    b->ButtonBevel().SetShadowColFrom(0x191919);
    b->ButtonBevel().SetShadowColTo(0x282828);
    b->ButtonBevel().SetHighlightColFrom(0x626262);
    b->ButtonBevel().SetHighlightColTo(0x555555);
    b->ButtonBevel().SetWidth(2);
    b->SetTextColOn(clLime);
    b->SetTextColOff(clGreen);
    b->SetTextColDisabled(clGray);
    b->Font().SetName("Verdana");
    b->Font().SetHeight(-12);
    b->Font().SetStyle(TFontStyles());
    b->SetTextOff(off);
    b->SetTextOn(on);
    return *b;
  }

  // A three-cell strip: normal, disabled and checked arrows on a key colour.
  static void ArrowGlyph(TBitmap& strip) {
    constexpr TColor cells[] = {clLime, clGray, clYellow};
    strip.SetSize(36, 12);
    TCanvas& c = strip.Canvas();
    c.Brush().SetColor(clFuchsia);
    c.FillRect({0, 0, 36, 12});
    for (int i = 0; i < 3; ++i) {
      const int x = i * 12;
      const TPoint arrow[] = {{x + 2, 2}, {x + 10, 6}, {x + 2, 10}};
      c.Pen().SetColor(cells[i]);
      c.Brush().SetColor(cells[i]);
      c.Polygon(arrow);
    }
  }

  void Buttons(int y) {
    Heading(y, "Colour glyph button");
    int x = Margin;
    auto next = [&](TAbColBitBtn& b, const std::string& note) {
      Note(b, note);
      x += b.Width() + 14;
    };
    next(MainButton(x, y + 18, 48, "Ввод", "Ввод"), "raised");
    TAbColBitBtn& pressed = MainButton(x, y + 18, 48, "Ввод", "Ввод");
    pressed.DispatchMouseDown(mbLeft, ssLeft, 4, 4, false);
    next(pressed, "pressed");
    TAbColBitBtn& disabled = MainButton(x, y + 18, 48, "Ввод", "Ввод");
    disabled.SetEnabled(false);
    next(disabled, "disabled");
    TAbColBitBtn& name = MainButton(x, y + 18, 89, "Name", "Pin");
    name.SetMode(mSwitch);
    name.SetPosGlyph(pBottom);
    name.Font().SetHeight(-11);
    name.Font().SetStyle(fsBold);
    next(name, "switch: Name");
    TAbColBitBtn& pin = MainButton(x, y + 18, 89, "Name", "Pin");
    pin.SetMode(mSwitch);
    pin.SetPosGlyph(pBottom);
    pin.Font().SetHeight(-11);
    pin.Font().SetStyle(fsBold);
    pin.SetChecked(true);
    next(pin, "switch: Pin (checked)");
    TAbColBitBtn& flat = MainButton(x, y + 18, 48, "Flat", "Flat");
    flat.SetFlat(true);
    next(flat, "flat");
    TAbColBitBtn& hover = MainButton(x, y + 18, 48, "Flat", "Flat");
    hover.SetFlat(true);
    hover.Perform(CM_MOUSEENTER);
    next(hover, "flat, hover");
    for (bool checked : {false, true}) {
      TAbColBitBtn& glyph = MainButton(x, y + 18, 64, "Go", "Go");
      TBitmap strip;
      ArrowGlyph(strip);
      glyph.SetGlyph(strip);
      glyph.SetNumGlyph(3);
      glyph.SetMode(mSwitch);
      glyph.SetChecked(checked);
      next(glyph, checked ? "glyph, checked" : "glyph");
    }
  }

  void ButtonFaces(int y) {
    Heading(y, "Button faces: gradient styles with the class's own colours");
    int x = Margin;
    for (const TNamedGradient& g : Gradients) {
      auto* b = new TAbColBitBtn(&Form_);
      b->SetBounds(x, y + 18, 78, 33);
      b->GradBtnFace().SetStyle(g.Style);
      b->SetTextOff(g.Name);
      b->Font().SetName("Verdana");
      b->Font().SetHeight(-11);
      x += 86;
    }
  }

  TOvcLabel& Label(int x, int y, const std::string& caption) {
    auto* l = new TOvcLabel(&Form_);
    l->SetParent(&Form_);
    l->SetBounds(x, y, 146, 35);
    l->SetCaption(caption);
    return *l;
  }

  void LabelAppearances(int y) {
    Heading(y, "Shadowed label: appearances (Windows scheme)");
    int x = Margin;
    for (const TNamedAppearance& a : Appearances) {
      TOvcLabel& l = Label(x, y + 16, a.Name);
      l.SetAppearance(a.Appearance);
      x += 148;
    }
  }

  void LabelSchemes(int y) {
    Heading(y, "Shadowed label: colour schemes (raised)");
    int x = Margin;
    for (const TNamedScheme& s : Schemes) {
      TOvcLabel& l = Label(x, y + 16, s.Name);
      l.SetColorScheme(s.Scheme);
      x += 148;
    }
  }

  void LabelEffects(int y) {
    Heading(y, "Shadowed label: extruded, graduated shadow, graduated faces, centred");
    int x = Margin;
    auto shadowOf = [&](TOvcShadeStyle style, const char* caption) {
      TOvcLabel& l = Label(x, y + 16, caption);
      l.SetAppearance(apShadow);
      l.CustomSettings().SetShadowDepth(4);
      l.CustomSettings().SetShadowStyle(style);
      x += 148;
    };
    shadowOf(ssExtrude, "Extrude");
    shadowOf(ssGraduated, "Graduate");
    for (TOvcGraduateStyle g : {gsHorizontal, gsVertical}) {
      TOvcLabel& l = Label(x, y + 16, g == gsHorizontal ? "Across" : "Down");
      l.Font().SetStyle(fsBold);
      l.CustomSettings().SetGraduateFromColor(clRed);
      l.CustomSettings().SetGraduateStyle(g);
      x += 148;
    }
    TOvcLabel& centred = Label(x, y + 16, "Centred");
    centred.SetAlignment(taCenter);
  }

  TForm& Form_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argc > 0 ? argv[0] : "gallery");
    return 2;
  }
  try {
    THeadlessApp app(1024, 768);
    TForm* form = nullptr;
    app.App().CreateForm(form);
    form->SetCaption("Widget gallery");
    form->SetColor(FormColor);
    form->SetClientWidth(760);
    form->SetClientHeight(588);
    TGallery(*form).Build();
    form->Show();
    app.Flush();
    std::string error;
    if (!app.SaveSnapshot(*form, argv[1], &error)) {
      std::fprintf(stderr, "gallery: cannot write %s: %s\n", argv[1], error.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gallery: %s\n", e.what());
    return 1;
  }
  return 0;
}
