// The application's message box: a small modal form built from our own controls.
#include <algorithm>
#include <array>

#include "change.h"
#include "display.h"
#include "forms.h"
#include "stdctrls.h"

namespace {

constexpr int Margin = 12;
constexpr int IconSize = 32;
constexpr int MaxTextWidth = 420;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 8;

enum class TBoxIcon { None, Error, Warning, Information };

TBoxIcon IconOf(unsigned flags) {
  switch (flags & 0xF0) {
    case MB_ICONERROR: return TBoxIcon::Error;
    case MB_ICONWARNING: return TBoxIcon::Warning;
    case MB_ICONINFORMATION: return TBoxIcon::Information;
    default: return TBoxIcon::None;
  }
}

class TMessageIcon : public TGraphicControl {
 public:
  TMessageIcon(TComponent* owner, TBoxIcon icon) : TGraphicControl(owner), Icon_(icon) {}

 protected:
  void Paint() override {
    TCanvas& c = Canvas();
    c.Pen().SetColor(clBlack);
    c.Pen().SetWidth(1);
    switch (Icon_) {
      case TBoxIcon::Error: PaintError(c); break;
      case TBoxIcon::Warning: PaintWarning(c); break;
      case TBoxIcon::Information: PaintInformation(c); break;
      case TBoxIcon::None: break;
    }
  }

 private:
  void PaintError(TCanvas& c) {
    c.Pen().SetColor(RGB(0xC4, 0x2B, 0x1C));
    c.Brush().SetColor(RGB(0xE8, 0x11, 0x23));
    c.Ellipse(0, 0, IconSize, IconSize);
    c.Pen().SetColor(clWhite);
    for (int d = -1; d <= 1; ++d) {
      c.MoveTo(10 + d, 10);
      c.LineTo(22 + d, 22);
      c.MoveTo(21 + d, 10);
      c.LineTo(9 + d, 22);
    }
  }
  void PaintWarning(TCanvas& c) {
    c.Pen().SetColor(RGB(0x9A, 0x6B, 0x00));
    c.Brush().SetColor(RGB(0xFF, 0xC8, 0x00));
    const std::array<TPoint, 3> tri{{{16, 1}, {31, 30}, {1, 30}}};
    c.Polygon(tri);
    c.Brush().SetColor(clBlack);
    c.FillRect({15, 10, 18, 22});
    c.FillRect({15, 24, 18, 27});
  }
  void PaintInformation(TCanvas& c) {
    c.Pen().SetColor(RGB(0x00, 0x4E, 0x9A));
    c.Brush().SetColor(RGB(0x00, 0x78, 0xD7));
    c.Ellipse(0, 0, IconSize, IconSize);
    c.Brush().SetColor(clWhite);
    c.FillRect({15, 7, 18, 10});
    c.FillRect({15, 13, 18, 25});
  }
  TBoxIcon Icon_;
};

class TMessageButton : public TGraphicControl {
 public:
  TMessageButton(TComponent* owner, const std::string& caption, int result)
      : TGraphicControl(owner), Result_(result) {
    SetCaption(caption);
  }
  int Result() const { return Result_; }

 protected:
  void Paint() override {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clBtnFace);
    c.FillRect(r);
    c.Frame3D(r, Down_ ? clBtnShadow : clBtnHighlight, Down_ ? clBtnHighlight : clBtnShadow, 1);
    c.SetFont(Font());
    c.Brush().SetStyle(bsClear);
    TRect text = ClientRect();
    c.DrawText(Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
    if (button == mbLeft) SetDown(true);
    TGraphicControl::MouseDown(button, shift, x, y);
  }
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
    if (button == mbLeft) SetDown(false);
    TGraphicControl::MouseUp(button, shift, x, y);
  }

 private:
  void SetDown(bool v) {
    if (SetIfChanged(Down_, v)) Invalidate();
  }
  int Result_;
  bool Down_ = false;
};

class TMessageForm : public TForm {
 public:
  TMessageForm(const TMessageBoxRequest& request, const TCustomForm* owner) : TForm(nullptr), Owner_(owner) {
    SetCaption(request.Caption);
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poScreenCenter);
    SetColor(clBtnFace);
    Font().SetName("Segoe UI");
    Font().SetHeight(-12);
    Font().SetColor(clWindowText);
    Layout(request);
  }

 protected:
  void KeyDown(std::uint16_t& key, TShiftState shift) override {
    TForm::KeyDown(key, shift);
    if (key == VK_RETURN || key == VK_SPACE) SetModalResult(Buttons_.front()->Result());
    if (key == VK_ESCAPE) SetModalResult(Buttons_.back()->Result());
  }
  void FillWindowParams(display::WindowParams& params) const override {
    TForm::FillWindowParams(params);
    params.Dialog = true;
    params.Centered = true;
    params.Owner = Owner_ ? Owner_->NativeWindow() : nullptr;
  }

 private:
  void Layout(const TMessageBoxRequest& request) {
    const TBoxIcon icon = IconOf(request.Flags);
    int textLeft = Margin;
    if (icon != TBoxIcon::None) {
      auto* image = new TMessageIcon(this, icon);
      image->SetParent(this);
      image->SetBounds(Margin, Margin, IconSize, IconSize);
      textLeft += IconSize + Margin;
    }
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetShowAccelChar(false);
    label->SetLeft(textLeft);
    label->SetTop(Margin);
    TCanvas measure;
    measure.SetFont(Font());
    TRect extent{0, 0, 0x3FFF, 0};
    measure.DrawText(request.Text, extent, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    if (extent.Width() > MaxTextWidth) {
      label->SetWordWrap(true);
      label->SetWidth(MaxTextWidth);
    }
    label->SetCaption(request.Text);
    if (icon != TBoxIcon::None && label->Height() < IconSize) {
      label->SetTop(Margin + (IconSize - label->Height()) / 2);
    }

    const bool okCancel = (request.Flags & 0x0F) == MB_OKCANCEL;
    AddButton("OK", IDOK);
    if (okCancel) AddButton("Cancel", IDCANCEL);

    const int contentBottom =
        std::max(label->Top() + label->Height(), icon != TBoxIcon::None ? Margin + IconSize : 0);
    const int buttonsWidth = int(Buttons_.size()) * ButtonWidth + int(Buttons_.size() - 1) * ButtonGap;
    const int width = std::max(label->Left() + label->Width() + Margin, buttonsWidth + 2 * Margin);
    const int buttonTop = contentBottom + Margin + 4;
    SetClientWidth(std::max(width, 160));
    SetClientHeight(buttonTop + ButtonHeight + Margin);
    int x = (ClientWidth() - buttonsWidth) / 2;
    for (TMessageButton* b : Buttons_) {
      b->SetBounds(x, buttonTop, ButtonWidth, ButtonHeight);
      x += ButtonWidth + ButtonGap;
    }
  }

  void AddButton(const std::string& caption, int result) {
    auto* button = new TMessageButton(this, caption, result);
    button->SetParent(this);
    button->OnClick = [this, result](TObject*) { SetModalResult(result); };
    Buttons_.push_back(button);
  }

  const TCustomForm* Owner_;
  std::vector<TMessageButton*> Buttons_;
};

struct TFreeForm {
  void operator()(TMessageForm* f) const { Free(f); }
};

}  // namespace

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  const TMessageBoxRequest request{text, caption, flags};
  const bool okCancel = (flags & 0x0F) == MB_OKCANCEL;
  // A box over a box belongs to the one below it.
  const TCustomForm* owner = ModalForm() ? ModalForm() : MainForm_;
  std::unique_ptr<TMessageForm, TFreeForm> box(new TMessageForm(request, owner));
  box->SetModalResult(0);
  const TModalScope modal(box.get());
  box->Show();
  int result = 0;
  while (result == 0 && !Terminated_) {
    if (MessageBoxAnswerer) {
      if (std::optional<int> answer = MessageBoxAnswerer(request)) {
        result = *answer;
        break;
      }
    }
    HandleMessage();
    result = box->ModalResult();
    // Closing the box by its window button means the same as Escape.
    if (result == 0 && !box->Showing()) result = okCancel ? IDCANCEL : IDOK;
  }
  if (result == 0) result = okCancel ? IDCANCEL : IDOK;
  return result;
}
