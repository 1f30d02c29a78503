// Paint costs of the LED and the gradient face, and one flash tick.
#include <benchmark/benchmark.h>

#include "AbFlashT.h"
#include "AbLED.h"
#include "headless_app.h"

namespace {

// A form of the given size on a headless application, which owns it.
struct TBenchForm {
  THeadlessApp App;
  TForm* Form = new TForm(&App.App());
  TBenchForm(int width, int height) { Form->SetBounds(0, 0, width, height); }
};

void BM_GradientElliptic2(benchmark::State& state) {
  TBitmap target(75, 25);
  for (auto _ : state) DrawGradient(target.Canvas(), Rect(0, 0, 75, 25), 0xE2E2E2, 0x8F8F8F, gsElliptic2);
}
BENCHMARK(BM_GradientElliptic2);

void BM_LedFullPaint(benchmark::State& state) {
  const TBenchForm bench(100, 60);
  auto* led = new TAbLED(bench.Form);
  led->SetBounds(10, 10, 50, 18);
  led->SetCaption("LPT1");
  for (auto _ : state) {
    led->Invalidate();
    bench.Form->PaintInvalid();
  }
}
BENCHMARK(BM_LedFullPaint);

void BM_LedToggle(benchmark::State& state) {
  const TBenchForm bench(100, 60);
  auto* led = new TAbLED(bench.Form);
  led->SetBounds(10, 10, 17, 33);
  bench.Form->PaintInvalid();
  for (auto _ : state) led->SetChecked(!led->Checked());
}
BENCHMARK(BM_LedToggle);

void BM_FlashTick32Controls(benchmark::State& state) {
  const TBenchForm bench(400, 200);
  for (int i = 0; i < 32; ++i) {
    auto* led = new TAbLED(bench.Form);
    led->SetBounds((i % 8) * 50, (i / 8) * 40, 40, 30);
    led->SetFrequency(TFlashFreq(i % 5));
    led->SetFlashing(true);
    led->SetChecked(true);
  }
  bench.Form->PaintInvalid();
  for (auto _ : state) FlashTick(nullptr);
}
BENCHMARK(BM_FlashTick32Controls);

}  // namespace
