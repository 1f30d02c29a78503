// Paint cost of a window the size of the main console with a dozen controls.
#include <benchmark/benchmark.h>

#include <string>

#include "extctrls.h"
#include "forms.h"
#include "headless_app.h"
#include "stdctrls.h"

namespace {

class TLampStub : public TGraphicControl {
 public:
  TLampStub(TWinControl* parent, int left, int top, const std::string& caption) : TGraphicControl(parent) {
    SetParent(parent);
    SetBounds(left, top, 30, 33);
    SetCaption(caption);
    Font().SetName("Verdana");
    Font().SetHeight(-11);
    Font().SetStyle(fsBold);
    Font().SetColor(clGreen);
  }

 protected:
  void Paint() override {
    TCanvas& c = Canvas();
    c.Pen().SetColor(clBtnShadow);
    c.Brush().SetColor(RGB(0x4B, 0x4B, 0x4B));
    c.Ellipse(8, 0, 22, 14);
    c.SetFont(Font());
    c.Brush().SetStyle(bsClear);
    c.TextOut(2, 18, Caption());
    c.Brush().SetStyle(bsSolid);
  }
};

struct TConsole {
  THeadlessApp Headless;
  TForm* Form = nullptr;

  TConsole() {
    Headless.App().CreateForm(Form);
    Form->SetClientWidth(463);
    Form->SetClientHeight(170);
    Form->SetColor(RGB(0x40, 0x40, 0x40));
    auto* image = new TImage(Form);
    image->SetParent(Form);
    image->SetAlign(alClient);
    image->Picture().SetSize(463, 170);
    image->Picture().Canvas().Brush().SetColor(RGB(0x40, 0x40, 0x40));
    image->Picture().Canvas().FillRect(Rect(0, 0, 463, 170));
    for (int i = 0; i < 8; ++i) new TLampStub(Form, 47 + 24 * i, 9, "D" + std::to_string(7 - i));
    int row = 0;
    for (const char* text : {"00", "Связь", "с портом"}) {
      auto* label = new TLabel(Form);
      label->SetParent(Form);
      label->SetTop(100 + 13 * row++);
      label->SetLeft(390);
      label->Font().SetName("Verdana");
      label->Font().SetStyle(fsBold);
      label->SetCaption(text);
    }
    auto* edit = new TEdit(Form);
    edit->SetParent(Form);
    edit->SetBounds(253, 22, 20, 15);
    edit->SetBorderStyle(TBorderStyle::bsNone);
    edit->SetText("00");
    Form->Show();
    Headless.Flush();
  }
};

void BM_FullRepaint(benchmark::State& state) {
  TConsole console;
  for (auto _ : state) {
    console.Form->Invalidate();
    for (TControl* c : console.Form->Controls()) c->Invalidate();
    console.Form->UpdateAndPresent();
  }
  state.counters["presented_px"] = double(console.Form->PresentedPixels());
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond);

void BM_SteadyLoopTurn(benchmark::State& state) {
  TConsole console;
  const std::uint64_t before = console.Form->PresentedPixels();
  for (auto _ : state) console.Headless.App().ProcessMessages();
  state.counters["presented_px"] = double(console.Form->PresentedPixels() - before);
}
BENCHMARK(BM_SteadyLoopTurn)->Unit(benchmark::kMicrosecond);

}  // namespace
