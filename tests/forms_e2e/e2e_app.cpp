// A small form for the end-to-end test: a lamp that toggles on a press, an
// upper-case edit field echoed by a label, a second field to paste into, and
// a running timer.
#include <cstdio>
#include <exception>

#include "extctrls.h"
#include "forms.h"
#include "stdctrls.h"

namespace {

class TLamp : public TGraphicControl {
 public:
  explicit TLamp(TWinControl* parent) : TGraphicControl(parent) { SetParent(parent); }
  void Toggle() {
    Lit_ = !Lit_;
    Invalidate();
  }

 protected:
  void Paint() override {
    Canvas().Brush().SetColor(Lit_ ? clRed : clGreen);
    Canvas().Pen().SetColor(clBlack);
    Canvas().Rectangle(ClientRect());
  }

 private:
  bool Lit_ = false;
};

class TE2eForm : public TForm {
 public:
  explicit TE2eForm(TComponent* owner) : TForm(owner) {
    SetCaption("Pinlark e2e");
    SetClientWidth(300);
    SetClientHeight(200);
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetPosition(poDesktopCenter);
    SetColor(RGB(0x40, 0x40, 0x40));

    auto* lamp = new TLamp(this);
    lamp->SetBounds(20, 20, 40, 40);
    lamp->OnMouseDown = [this, lamp](TObject*, TMouseButton, TShiftState, int, int) {
      ++Clicks_;
      lamp->Toggle();
    };
    lamp->OnDblClick = [this](TObject*) {
      ++DblClicks_;
      // Said at once, so the test can wait for it.
      std::printf("double click seen\n");
      std::fflush(stdout);
    };

    Edit_ = new TEdit(this);
    Edit_->SetParent(this);
    Edit_->SetBounds(100, 20, 120, 22);
    Edit_->SetCharCase(ecUpperCase);
    Edit_->SetMaxLength(5);

    auto* echo = new TLabel(this);
    echo->SetParent(this);
    echo->SetBounds(100, 60, 120, 16);
    echo->Font().SetColor(clYellow);
    Edit_->OnChange = [this, echo](TObject*) { echo->SetCaption(Edit_->Text()); };

    Edit2_ = new TEdit(this);
    Edit2_->SetParent(this);
    Edit2_->SetBounds(100, 100, 120, 22);

    auto* timer = new TTimer(this);
    timer->SetInterval(100);
    timer->OnTimer = [this](TObject*) { ++Ticks_; };

    OnDestroy = [this](TObject*) {
      std::printf("edit=%s\nedit2=%s\nclicks=%d\ndblclicks=%d\nticking=%d\n", Edit_->Text().c_str(),
                  Edit2_->Text().c_str(), Clicks_, DblClicks_, Ticks_ > 0);
      std::fflush(stdout);
    };
  }

 private:
  TEdit* Edit_ = nullptr;
  TEdit* Edit2_ = nullptr;
  int Clicks_ = 0;
  int DblClicks_ = 0;
  int Ticks_ = 0;
};

}  // namespace

int main() {
  try {
    TApplication app;
    app.Initialize();
    TE2eForm* form = nullptr;
    app.CreateForm(form);
    app.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "forms_e2e_app: %s\n", e.what());
    return 1;
  }
  return 0;
}
