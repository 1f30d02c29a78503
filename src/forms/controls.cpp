#include "controls.h"
#include "change.h"

#include <algorithm>
#include <cstdio>

#include "forms.h"

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner), Font_(std::make_unique<TFont>()) {
  Font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  Font_->OnChange = nullptr;
  if (Parent_) Parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == Parent_) return;
  if (Parent_) Parent_->RemoveControl(this);
  Parent_ = parent;
  if (!Parent_) return;
  Parent_->InsertControl(this);
  if (ParentFont_) ParentFontChanged();
  if (ParentColor_) ParentColorChanged();
  Invalidate();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == Left_ && top == Top_ && width == Width_ && height == Height_) return;
  const TRect old = BoundsRect();
  if (Parent_ && Visible_) Parent_->InvalidateRect(old);
  Left_ = left;
  Top_ = top;
  Width_ = width;
  Height_ = height;
  BoundsChanged(old);
  Invalidate();
}

void TControl::BoundsChanged(const TRect&) {}

void TControl::SetAlign(TAlign v) {
  if (SetIfChanged(Align_, v) && Parent_) Parent_->AlignControls();
}

void TControl::SetVisible(bool v) {
  if (v == Visible_) return;
  VisibleChanging();
  Visible_ = v;
  if (Parent_) Parent_->InvalidateRect(BoundsRect());
  Invalidate();
  Perform(CM_VISIBLECHANGED, v ? 1 : 0);
}

void TControl::SetEnabled(bool v) {
  if (SetIfChanged(Enabled_, v)) Perform(CM_ENABLEDCHANGED);
}

void TControl::SetCaption(const std::string& v) {
  if (SetIfChanged(Caption_, v)) Perform(CM_TEXTCHANGED);
}

void TControl::SetParentFont(bool v) {
  if (SetIfChanged(ParentFont_, v) && v) ParentFontChanged();
}

void TControl::SetColor(TColor v) {
  if (!SetIfChanged(Color_, v)) return;
  ParentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v) {
  if (SetIfChanged(ParentColor_, v) && v) ParentColorChanged();
}

void TControl::ParentFontChanged() {
  if (!ParentFont_ || !Parent_ || Font_->SameAs(Parent_->Font())) return;
  const TFlagGuard updating(UpdatingParentFont_);
  Font_->Assign(Parent_->Font());
}

void TControl::ParentColorChanged() {
  if (!ParentColor_ || !Parent_ || Parent_->Color() == Color_) return;
  Color_ = Parent_->Color();
  Perform(CM_COLORCHANGED);
}

void TControl::FontChanged() {
  if (!UpdatingParentFont_) ParentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::Invalidate() {
  if (Parent_ && Visible_) Parent_->InvalidateRect(BoundsRect());
}

void TControl::Update() {
  if (TCustomForm* form = ParentForm()) {
    form->UpdateAndPresent();
    return;
  }
  TControl* top = this;
  while (top->Parent_) top = top->Parent_;
  if (top->IsWindowed()) static_cast<TWinControl*>(top)->PaintInvalid();
}

std::intptr_t TControl::Perform(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  TMessage m{msg, wparam, lparam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED: Invalidate(); break;
    case CM_PARENTFONTCHANGED: ParentFontChanged(); break;
    case CM_PARENTCOLORCHANGED: ParentColorChanged(); break;
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      break;
    case CM_MOUSELEAVE:
      if (OnMouseLeave) OnMouseLeave(this);
      break;
    case CM_CANCELMODE: Clicked_ = false; break;
    default: break;
  }
}

TPoint TControl::ClientToParent(TPoint p, const TWinControl* ancestor) const {
  for (const TControl* c = this; c && c != ancestor && c->Parent_; c = c->Parent_) {
    p.X += c->Left_;
    p.Y += c->Top_;
  }
  return p;
}

TCustomForm* TControl::ParentForm() const {
  for (const TControl* c = this; c; c = c->Parent_) {
    if (auto* f = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(f);
  }
  return nullptr;
}

bool TControl::MouseCapture() const {
  TCustomForm* f = ParentForm();
  return f && f->CaptureControl() == this;
}

void TControl::SetMouseCapture(bool v) {
  if (TCustomForm* f = ParentForm()) {
    if (v)
      f->SetCaptureControl(this);
    else if (f->CaptureControl() == this)
      f->SetCaptureControl(nullptr);
  }
}

void TControl::DispatchMouseDown(TMouseButton button, TShiftState shift, int x, int y, bool doubleClick) {
  Clicked_ = button == mbLeft && !doubleClick;
  if (doubleClick) {
    shift = TShiftState(shift.Bits | ssDouble);
    if (button == mbLeft) DblClick();
  }
  MouseDown(button, shift, x, y);
}

void TControl::DispatchMouseMove(TShiftState shift, int x, int y) { MouseMove(shift, x, y); }

void TControl::DispatchMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool clicked = Clicked_ && button == mbLeft;
  if (button == mbLeft) Clicked_ = false;
  MouseUp(button, shift, x, y);
  if (clicked && ClientRect().Contains({x, y})) Click();
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

// ---------------------------------------------------------------------------
// TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), Canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

TCanvas& TGraphicControl::Canvas() {
  TWinControl* parent = Parent();
  if (!parent) {
    Canvas_->SetSurface(nullptr);
    return *Canvas_;
  }
  Canvas_->SetSurface(&parent->Surface());
  Canvas_->SetOrigin({Left(), Top()});
  TRect clip = IntersectRect(BoundsRect(), parent->Surface().BoundsRect());
  if (InPaint_) clip = IntersectRect(clip, PaintClip_);
  Canvas_->SetClipRect(clip);
  return *Canvas_;
}

void TGraphicControl::PaintIn(const TRect& clip) {
  {
    const TFlagGuard painting(InPaint_);
    PaintClip_ = clip;
    Canvas();
    try {
      Paint();
    } catch (const std::exception& e) {
      // A modal error box in the middle of a paint pass would re-enter it.
      std::fprintf(stderr, "%s: paint failed: %s\n", ClassName().c_str(), e.what());
    }
  }
  Canvas();
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner)
    : TControl(owner), Canvas_(std::make_unique<TCanvas>(&Surface_)) {}

TWinControl::~TWinControl() { DestroyControls(); }

void TWinControl::DestroyControls() {
  while (!Controls_.empty()) {
    Free(Controls_.back());
  }
}

void TWinControl::InsertControl(TControl* c) {
  Controls_.push_back(c);
  if (c->IsWindowed()) {
    auto* w = static_cast<TWinControl*>(c);
    if (w->TabOrder_ < 0) {
      w->TabOrder_ = int(std::count_if(Controls_.begin(), Controls_.end(),
                                       [](TControl* x) { return x->IsWindowed(); })) -
                     1;
    }
  }
  if (c->Align() != alNone) AlignControls();
}

void TWinControl::RemoveControl(TControl* c) {
  auto it = std::find(Controls_.begin(), Controls_.end(), c);
  if (it == Controls_.end()) return;
  if (TCustomForm* f = ParentForm()) f->ControlRemoved(c);
  Controls_.erase(it);
  if (!IsDestroying() && c->Visible()) InvalidateRect(c->BoundsRect());
  c->Parent_ = nullptr;
}

void TWinControl::AlignControls() {
  for (TControl* c : Controls_) {
    if (c->Align() == alClient) c->SetBounds(0, 0, ClientWidth(), ClientHeight());
  }
}

void TWinControl::BoundsChanged(const TRect& oldBounds) {
  if (oldBounds.Width() != Width() || oldBounds.Height() != Height()) {
    Surface_.SetSize(Width(), Height(), ColorToPixel(Color()));
    Invalid_.Clear();
    InvalidateRect(ClientRect());
    AlignControls();
  }
}

void TWinControl::InvalidateRect(const TRect& r) { Invalid_.Include(IntersectRect(r, ClientRect())); }

void TWinControl::Invalidate() { InvalidateRect(ClientRect()); }

bool TWinControl::NeedsPaint() const {
  if (!Invalid_.IsEmpty()) return true;
  return std::any_of(Controls_.begin(), Controls_.end(), [](TControl* c) {
    return c->IsWindowed() && static_cast<TWinControl*>(c)->NeedsPaint();
  });
}

void TWinControl::PaintInvalid() {
  const std::vector<TRect> region = Invalid_.Take();
  for (const TRect& r : region) {
    {
      TCanvasState saved(*Canvas_);
      Canvas_->SetOrigin({0, 0});
      Canvas_->SetClipRect(r);
      PaintWindow(*Canvas_, r);
    }
    for (TControl* c : Controls_) {
      if (c->IsWindowed() || !c->Visible()) continue;
      const TRect clip = IntersectRect(c->BoundsRect(), r);
      if (!clip.IsEmpty()) static_cast<TGraphicControl*>(c)->PaintIn(clip);
    }
  }
  for (TControl* c : Controls_) {
    if (c->IsWindowed() && c->Visible()) static_cast<TWinControl*>(c)->PaintInvalid();
  }
}

void TWinControl::PaintWindow(TCanvas& canvas, const TRect& clip) {
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(clip);
}

TControl* TWinControl::ControlAtPos(TPoint p) {
  for (auto it = Controls_.rbegin(); it != Controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->IsWindowed() || !c->Visible() || !c->Enabled()) continue;
    if (c->BoundsRect().Contains(p)) {
      return static_cast<TWinControl*>(c)->ControlAtPos({p.X - c->Left(), p.Y - c->Top()});
    }
  }
  for (auto it = Controls_.rbegin(); it != Controls_.rend(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible() || !c->Enabled()) continue;
    if (c->BoundsRect().Contains(p)) return c;
  }
  return this;
}

void TWinControl::SetTabOrder(int v) { TabOrder_ = v; }

bool TWinControl::CanFocus() const {
  const TCustomForm* form = ParentForm();
  if (!form) return false;
  for (const TControl* c = this; c; c = c->Parent()) {
    if (!c->Enabled()) return false;
    if (c != form && !c->Visible()) return false;
  }
  return true;
}

bool TWinControl::Focused() const {
  const TCustomForm* form = ParentForm();
  return form && form->ActiveControl() == this;
}

void TWinControl::SetFocus() {
  if (TCustomForm* form = ParentForm(); form && form != this) form->SetActiveControl(this);
}

void TWinControl::DispatchKeyDown(std::uint16_t key, TShiftState shift) { KeyDown(key, shift); }
void TWinControl::DispatchKeyUp(std::uint16_t key, TShiftState shift) { KeyUp(key, shift); }
void TWinControl::DispatchKeyPress(char32_t key) { KeyPress(key); }

void TWinControl::KeyDown(std::uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(std::uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char32_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::WndProc(TMessage& message) {
  TControl::WndProc(message);
  unsigned notify = 0;
  if (message.Msg == CM_FONTCHANGED) notify = CM_PARENTFONTCHANGED;
  if (message.Msg == CM_COLORCHANGED) notify = CM_PARENTCOLORCHANGED;
  if (!notify) return;
  const std::vector<TControl*> children = Controls_;
  for (TControl* c : children) c->Perform(notify);
}
