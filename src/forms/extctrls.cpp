#include "extctrls.h"
#include "change.h"

#include <algorithm>

#include "forms.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner), Picture_(std::make_unique<TBitmap>()) {
  SetBounds(0, 0, 105, 105);
  Picture_->OnChange = [this](TObject*) { Invalidate(); };
}

TImage::~TImage() { Picture_->OnChange = nullptr; }

void TImage::SetStretch(bool v) {
  if (SetIfChanged(Stretch_, v)) Invalidate();
}

void TImage::SetCenter(bool v) {
  if (SetIfChanged(Center_, v)) Invalidate();
}

void TImage::Paint() {
  if (Picture_->Empty()) return;
  if (Stretch_) {
    Canvas().StretchDraw(ClientRect(), *Picture_);
  } else if (Center_) {
    Canvas().Draw((Width() - Picture_->Width()) / 2, (Height() - Picture_->Height()) / 2, *Picture_);
  } else {
    Canvas().Draw(0, 0, *Picture_);
  }
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  if (Application) Application->Timers_.push_back(this);
  Restart();
}

TTimer::~TTimer() {
  if (Application) std::erase(Application->Timers_, this);
}

void TTimer::SetEnabled(bool v) {
  if (SetIfChanged(Enabled_, v)) Restart();
}

void TTimer::SetInterval(unsigned v) {
  if (SetIfChanged(Interval_, v)) Restart();
}

void TTimer::Restart() {
  if (Application) Due_ = Application->Now() + std::chrono::milliseconds(Interval_);
}
