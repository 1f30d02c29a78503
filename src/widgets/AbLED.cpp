#include "AbLED.h"

#include <algorithm>

#include "helpers.h"

namespace {

// Where the LED sits and where the caption goes, for one LED_Position.
struct TLedLayout {
  TRect LedRect;
  TPoint CaptionAt;
  TextAnchor Anchor;
};

TLedLayout LayoutFor(TLEDPos position, int cw, int ch, int w, int h, int spacing) {
  const int hw = cw / 2;
  const int hh = ch / 2;
  switch (position) {
    case lpRight: return {Rect(cw - w, hh - h / 2, cw, hh - h / 2 + h), Point(cw - w - spacing, hh), 5};
    case lpTop: return {Rect(hw - w / 2, 0, hw - w / 2 + w, h), Point(hw, h + spacing), 1};
    case lpBottom: return {Rect(hw - w / 2, ch - h, hw - w / 2 + w, ch), Point(hw, ch - h - spacing), 7};
    case lpLeft:
    default: return {Rect(0, hh - h / 2, w, hh - h / 2 + h), Point(w + spacing, hh), 3};
  }
}

}  // namespace

TAbLED::TAbLED(TComponent* owner) : TAbBinGControl(owner), LED_(std::make_unique<TLED>()) {
  LED_->OnChange = [this](TObject*) { ContentChanged(); };
  SetBounds(Left(), Top(), 73, 33);
  SetCaption(Name());
}

TAbLED::~TAbLED() {
  LED_.reset();
  StopFlash();
}

void TAbLED::SetLED_Position(TLEDPos v) {
  if (SetIfChanged(LED_Position_, v)) ContentChanged();
}

void TAbLED::SetSpacing(int v) {
  if (SetIfChanged(Spacing_, v)) ContentChanged();
}

void TAbLED::Paint() {
  if (Painting_) return;
  TFlagGuard painting(Painting_);
  TCanvas& canvas = Canvas();
  canvas.SetFont(Font());
  int w = LED_->Width();
  int h = LED_->Height();
  if (LED_->Shape() == sRound) w = h = std::max(w, h);
  const TLedLayout layout = LayoutFor(LED_Position_, Width(), Height(), w, h, Spacing_);
  LED_->SetLedRect(layout.LedRect);
  canvas.Brush().SetStyle(bsClear);
  DrawAlignedText(canvas, layout.CaptionAt.X, layout.CaptionAt.Y, layout.Anchor, Caption(), 0);
  canvas.Brush().SetStyle(bsSolid);
  LED_->PaintLed(canvas, Checked());
}

void TAbLED::ContentChanged() { Invalidate(); }

void TAbLED::StateChanged() { DrawLedNow(Checked()); }

void TAbLED::FlashPhaseChanged(bool phase) {
  if (!Painting_) DrawLedNow(phase);
}

// Outside the paint cycle: only the lamp changes, the caption stays.
void TAbLED::DrawLedNow(bool lit) {
  if (!LED_ || !Visible()) return;
  TCanvas& canvas = Canvas();
  canvas.Brush().SetStyle(bsSolid);
  LED_->PaintLed(canvas, lit);
}
