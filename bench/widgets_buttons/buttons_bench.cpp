// Paint costs of the main window's buttons and title label.
#include <benchmark/benchmark.h>

#include "AbCBitBt.h"
#include "ovclabel.h"

namespace {

// The main window's background, of the given size.
void DarkParent(TWinControl& parent, int width, int height) {
  parent.SetBounds(0, 0, width, height);
  parent.SetColor(0x404040);
}

// A caption switch as the main window has them, on a background of its own.
TAbColBitBtn* MainWindowButton(TWinControl& parent) {
  DarkParent(parent, 120, 40);
  auto& b = *new TAbColBitBtn(&parent);
  b.SetBounds(0, 0, 89, 21);
  b.GradBtnFace().SetColorFrom(0x404040);
  b.GradBtnFace().SetColorTo(0x404040);
  b.GradBtnFace().SetStyle(gsElliptic2);
  b.ButtonBevel().SetShadowColFrom(0x191919);
  b.ButtonBevel().SetShadowColTo(0x282828);
  b.ButtonBevel().SetHighlightColFrom(0x626262);
  b.ButtonBevel().SetHighlightColTo(0x555555);
  b.ButtonBevel().SetWidth(2);
  b.SetTextColOn(clLime);
  b.SetTextColOff(clGreen);
  b.Font().SetName("Verdana");
  b.Font().SetHeight(-11);
  b.SetTextOff("Name");
  b.SetTextOn("Pin");
  b.SetMode(mSwitch);
  return &b;
}

// A click on the caption switch: two redraws from the cached face.
void BM_ButtonPressRelease(benchmark::State& state) {
  TWinControl parent(nullptr);
  auto* b = MainWindowButton(parent);
  parent.PaintInvalid();
  for (auto _ : state) {
    b->DispatchMouseDown(mbLeft, ssLeft, 5, 5, false);
    b->DispatchMouseUp(mbLeft, 0, 5, 5);
    parent.Surface().TakeDamage();
  }
}
BENCHMARK(BM_ButtonPressRelease);

// A full repaint: background capture, face gradient and the redraw.
void BM_ButtonFullPaint(benchmark::State& state) {
  TWinControl parent(nullptr);
  auto* b = MainWindowButton(parent);
  for (auto _ : state) {
    b->Invalidate();
    parent.PaintInvalid();
    parent.Surface().TakeDamage();
  }
}
BENCHMARK(BM_ButtonFullPaint);

// The title label changing its caption, as the hover help does.
void BM_TitleLabelRepaint(benchmark::State& state) {
  TWinControl parent(nullptr);
  DarkParent(parent, 463, 170);
  auto* l = new TOvcLabel(&parent);
  l->SetParent(&parent);
  l->SetBounds(16, 138, 137, 25);
  l->Font().SetName("Verdana");
  l->Font().SetHeight(-15);
  l->Font().SetColor(clGray);
  bool credit = false;
  for (auto _ : state) {
    l->SetCaption(credit ? "Pinlark" : "Pinlark, by hand");
    credit = !credit;
    parent.PaintInvalid();
    parent.Surface().TakeDamage();
  }
}
BENCHMARK(BM_TitleLabelRepaint);

}  // namespace
