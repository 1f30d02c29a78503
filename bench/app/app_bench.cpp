// The program's own costs on the headless display and the simulated port
// bank (LPTWDMIO.SYS beside the binary): one poll tick, a full repaint, and
// start-up to the first presented frame.
#include <benchmark/benchmark.h>

#include <memory>

#include "Unit1.h"
#include "Unit2.h"
#include "headless.h"

namespace {

// The application with the main window shown and painted once.
struct TRunningConsole {
  std::unique_ptr<TApplication> App;
  TForm1* Form = nullptr;

  TRunningConsole() {
    App = std::make_unique<TApplication>(std::make_unique<display::HeadlessDisplay>());
    App->CreateForm(Form);
    Form->Show();
    App->ProcessMessages();
  }
};

void PollTickOnSteadyPort(benchmark::State& state) {
  TRunningConsole console;
  // Settle: the first ticks light the connection LED and the status lines.
  for (int i = 0; i < 3; ++i) {
    console.Form->Timer1Timer(console.Form->Timer1);
    console.Form->UpdateAndPresent();
  }
  if (!console.Form->AbDBLED18->Checked() || console.Form->SelectedPort == 0) {
    state.SkipWithError("the simulated port did not answer (LPTWDMIO.SYS beside the binary?)");
    return;
  }
  const std::uint64_t before = console.Form->PresentedPixels();
  for (auto _ : state) {
    console.Form->Timer1Timer(console.Form->Timer1);
    console.Form->UpdateAndPresent();
  }
  state.counters["pixels_presented_per_tick"] = benchmark::Counter(
      double(console.Form->PresentedPixels() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(PollTickOnSteadyPort);

void FullWindowRepaint(benchmark::State& state) {
  TRunningConsole console;
  for (auto _ : state) {
    console.Form->Invalidate();
    console.Form->UpdateAndPresent();
  }
  state.counters["pixels"] = double(console.Form->Width()) * console.Form->Height();
}
BENCHMARK(FullWindowRepaint);

void StartupToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    TRunningConsole console;
    benchmark::DoNotOptimize(console.Form->PresentedPixels());
  }
}
BENCHMARK(StartupToFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
