// A small form for the end-to-end tests of the X11 and the Win32 display: a
// lamp that toggles on a press, a pad that reports where the mouse is let go
// and when the pointer leaves it, an upper-case field of five characters
// echoed by a label, a field to type and paste into, and a running timer
// (with --ticker a lamp shows its ticks, flipping on each). It says what it
// saw on stdout, line by line, and sums up when the window closes.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "extctrls.h"
#include "forms.h"
#include "stdctrls.h"

namespace {

bool ShowTicks = false;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class TSwatch : public TGraphicControl {
 public:
  TSwatch(TWinControl* parent, TColor off, TColor on) : TGraphicControl(parent), Off_(off), On_(on) {
    SetParent(parent);
  }
  void Toggle() {
    Lit_ = !Lit_;
    Invalidate();
  }

 protected:
  void Paint() override {
    Canvas().Brush().SetColor(Lit_ ? On_ : Off_);
    Canvas().Pen().SetColor(clBlack);
    Canvas().Rectangle(ClientRect());
  }

 private:
  TColor Off_, On_;
  bool Lit_ = false;
};

class TE2eForm : public TForm {
 public:
  explicit TE2eForm(TComponent* owner) : TForm(owner) {
    SetCaption("Pinlark forms e2e");
    SetClientWidth(300);
    SetClientHeight(200);
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetPosition(poDesktopCenter);
    SetColor(RGB(0x40, 0x40, 0x40));

    auto* lamp = new TSwatch(this, clGreen, clRed);
    lamp->SetBounds(20, 20, 40, 40);
    lamp->OnMouseDown = [this, lamp](TObject*, TMouseButton, TShiftState, int, int) {
      ++Clicks_;
      lamp->Toggle();
    };
    lamp->OnDblClick = [this](TObject*) {
      ++DblClicks_;
      Say("double click");
    };

    // Pressed here and let go anywhere, even off the window: the release still comes here.
    auto* pad = new TSwatch(this, clNavy, clBlue);
    pad->SetBounds(20, 120, 40, 40);
    pad->OnMouseDown = [pad](TObject*, TMouseButton, TShiftState, int, int) { pad->Toggle(); };
    pad->OnMouseUp = [pad](TObject*, TMouseButton, TShiftState, int x, int y) {
      pad->Toggle();
      Say("released at " + std::to_string(pad->Left() + x) + "," + std::to_string(pad->Top() + y));
    };
    pad->OnMouseEnter = [](TObject*) { Say("pad entered"); };
    pad->OnMouseLeave = [](TObject*) { Say("pad left"); };

    Edit_ = new TEdit(this);
    Edit_->SetParent(this);
    Edit_->SetBounds(100, 20, 180, 22);
    Edit_->SetCharCase(ecUpperCase);
    Edit_->SetMaxLength(5);

    auto* echo = new TLabel(this);
    echo->SetParent(this);
    echo->SetBounds(100, 60, 180, 16);
    echo->Font().SetColor(clYellow);
    Edit_->OnChange = [this, echo](TObject*) { echo->SetCaption(Edit_->Text()); };

    Edit2_ = new TEdit(this);
    Edit2_->SetParent(this);
    Edit2_->SetBounds(100, 100, 180, 22);
    Edit2_->OnChange = [this](TObject*) { Say("edit2=" + Edit2_->Text()); };

    TSwatch* ticker = nullptr;
    if (ShowTicks) {
      ticker = new TSwatch(this, clPurple, clAqua);
      ticker->SetBounds(240, 150, 40, 40);
    }
    auto* timer = new TTimer(this);
    timer->SetInterval(100);
    timer->OnTimer = [this, ticker](TObject*) {
      ++Ticks_;
      if (ticker) ticker->Toggle();
    };

    OnDestroy = [this](TObject*) {
      Say("edit=" + Edit_->Text());
      Say("edit2=" + Edit2_->Text());
      Say("clicks=" + std::to_string(Clicks_));
      Say("dblclicks=" + std::to_string(DblClicks_));
      Say("ticking=" + std::to_string(Ticks_ > 0 ? 1 : 0));
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

int main(int argc, char** argv) {
  ShowTicks = argc > 1 && std::strcmp(argv[1], "--ticker") == 0;
  try {
    TApplication app;
    app.Initialize();
    TE2eForm* form = nullptr;
    app.CreateForm(form);
    app.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "forms e2e app: %s\n", e.what());
    return 1;
  }
  return 0;
}
