// Paint costs of the main window's kinds of drawing on a window-sized surface.
#include <benchmark/benchmark.h>

#include "graphics.h"

namespace {

constexpr int WindowWidth = 463;
constexpr int WindowHeight = 170;

void SetLedFont(TCanvas& c) {
  c.Font().SetName("Verdana");
  c.Font().SetHeight(-11);
  c.Font().SetStyle(fsBold);
  c.Font().SetColor(clLime);
}

void BM_FullFillWithTextLines(benchmark::State& state) {
  TBitmap b(WindowWidth, WindowHeight);
  TCanvas& c = b.Canvas();
  SetLedFont(c);
  for (auto _ : state) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(0x404040);
    c.FillRect({0, 0, WindowWidth, WindowHeight});
    c.Brush().SetStyle(bsClear);
    for (int line = 0; line < 10; ++line)
      c.TextOut(4, 4 + line * 16, "D7 D6 D5 D4 D3 D2 D1 D0  Ввод  Связь  Ошибка");
    b.Surface().TakeDamage();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FullFillWithTextLines);

void BM_TextOutShortCaption(benchmark::State& state) {
  TBitmap b(64, 24);
  TCanvas& c = b.Canvas();
  SetLedFont(c);
  c.Brush().SetStyle(bsClear);
  for (auto _ : state) {
    c.TextOut(2, 2, "D3");
    b.Surface().TakeDamage();
  }
}
BENCHMARK(BM_TextOutShortCaption);

void BM_TextWidth(benchmark::State& state) {
  TBitmap b(8, 8);
  TCanvas& c = b.Canvas();
  SetLedFont(c);
  for (auto _ : state) benchmark::DoNotOptimize(c.TextWidth("Name"));
}
BENCHMARK(BM_TextWidth);

void BM_Ellipse13(benchmark::State& state) {
  TBitmap b(20, 20);
  TCanvas& c = b.Canvas();
  c.Pen().SetColor(clBtnShadow);
  c.Brush().SetColor(clLime);
  for (auto _ : state) {
    c.Ellipse(2, 2, 15, 15);
    c.Pen().SetColor(clBtnHighlight);
    c.Arc(4, 4, 13, 13, 8, 2, 2, 8);
    c.Pen().SetColor(clBtnShadow);
    b.Surface().TakeDamage();
  }
}
BENCHMARK(BM_Ellipse13);

void BM_DrawBitmapWindowSized(benchmark::State& state) {
  TBitmap src(WindowWidth, WindowHeight);
  TBitmap dst(WindowWidth, WindowHeight);
  for (auto _ : state) {
    dst.Canvas().Draw(0, 0, src);
    dst.Surface().TakeDamage();
  }
}
BENCHMARK(BM_DrawBitmapWindowSized);

}  // namespace
