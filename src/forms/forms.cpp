#include "forms.h"

#include <algorithm>
#include <functional>

#include "change.h"
#include "display.h"

namespace {

bool IsDescendant(const TControl* c, const TControl* ancestor) {
  for (; c; c = c->Parent()) {
    if (c == ancestor) return true;
  }
  return false;
}

TMouseButton ToMouseButton(display::Button b) {
  switch (b) {
    case display::Button::Right: return mbRight;
    case display::Button::Middle: return mbMiddle;
    default: return mbLeft;
  }
}

unsigned ButtonBit(display::Button b) {
  switch (b) {
    case display::Button::Right: return display::ModRight;
    case display::Button::Middle: return display::ModMiddle;
    default: return display::ModLeft;
  }
}

void SafeCall(const std::function<void()>& fn) {
  if (Application)
    Application->SafeCall(fn);
  else
    fn();
}

// Windowed descendants in painting order (each before its own children).
void CollectWindowed(TWinControl* parent, std::vector<TWinControl*>& out) {
  for (TControl* c : parent->Controls()) {
    if (!c->IsWindowed() || !c->Visible()) continue;
    out.push_back(static_cast<TWinControl*>(c));
    CollectWindowed(static_cast<TWinControl*>(c), out);
  }
}

// The part of a windowed descendant that shows through its ancestors, in
// form coordinates.
TRect VisibleFormRect(const TWinControl* c, const TCustomForm* form) {
  TPoint o = c->ClientToParent({0, 0}, form);
  TRect r = Bounds(o.X, o.Y, c->Width(), c->Height());
  for (const TWinControl* p = c->Parent(); p && p != form; p = p->Parent()) {
    TPoint po = p->ClientToParent({0, 0}, form);
    r = IntersectRect(r, Bounds(po.X, po.Y, p->Width(), p->Height()));
  }
  return IntersectRect(r, form->ClientRect());
}

void CopyPixels(TSurface& dest, const TSurface& src, const TRect& destRect, int srcX, int srcY) {
  for (int y = destRect.Top; y < destRect.Bottom; ++y) {
    const TPixel* from = src.Row(y - destRect.Top + srcY) + srcX;
    std::copy(from, from + destRect.Width(), dest.Row(y) + destRect.Left);
  }
}

}  // namespace

// Native window events, routed into the form's controls.
class TCustomForm::TEvents : public display::WindowEvents {
 public:
  explicit TEvents(TCustomForm& form) : Form_(form) {}

  void MouseButton(display::Button button, bool pressed, bool doubleClick, unsigned mods, int x,
                   int y) override {
    if (Blocked()) return;
    const TMouseButton mb = ToMouseButton(button);
    const TShiftState shift(mods & 0x3F);
    if (pressed) {
      Form_.ButtonsDown_ |= ButtonBit(button);
      TControl* target = Form_.Capture_ ? Form_.Capture_ : Form_.ControlAtPos({x, y});
      Form_.Capture_ = target;
      Form_.SetHover(target);
      FocusFor(target);
      // Focusing may have freed or hidden things; the capture tells us if the target survived.
      if (Form_.Capture_ != target) return;
      const TPoint p = Local(target, x, y);
      SafeCall([&] { target->DispatchMouseDown(mb, shift, p.X, p.Y, doubleClick); });
      return;
    }
    Form_.ButtonsDown_ &= ~ButtonBit(button);
    TControl* target = Form_.Capture_ ? Form_.Capture_ : Form_.ControlAtPos({x, y});
    if (Form_.ButtonsDown_ == 0) Form_.Capture_ = nullptr;
    const TPoint p = Local(target, x, y);
    SafeCall([&] { target->DispatchMouseUp(mb, shift, p.X, p.Y); });
    if (!Form_.Capture_) Form_.SetHover(Form_.ControlAtPos({x, y}));
  }

  void MouseMove(unsigned mods, int x, int y) override {
    if (Blocked()) return;
    TControl* target = Form_.Capture_;
    if (!target) {
      target = Form_.ControlAtPos({x, y});
      Form_.SetHover(target);
      if (target != Form_.Hover_) return;  // a leave handler took it away
    }
    const TPoint p = Local(target, x, y);
    SafeCall([&] { target->DispatchMouseMove(TShiftState(mods & 0x3F), p.X, p.Y); });
  }

  void MouseLeave() override {
    if (Blocked()) return;
    if (!Form_.Capture_) Form_.SetHover(nullptr);
  }

  void Key(std::uint16_t virtualKey, bool pressed, unsigned mods) override {
    if (Blocked()) return;
    TWinControl* target = Form_.ActiveControl_ ? Form_.ActiveControl_ : &Form_;
    const TShiftState shift(mods & 0x07);
    SafeCall([&] {
      if (!pressed) {
        target->DispatchKeyUp(virtualKey, shift);
        return;
      }
      target->DispatchKeyDown(virtualKey, shift);
      if (virtualKey == VK_TAB && !(mods & display::ModCtrl) && !(mods & display::ModAlt)) {
        Form_.SelectNext(!(mods & display::ModShift));
        SwallowTab_ = true;
      }
    });
  }

  void Char(char32_t ch) override {
    if (Blocked()) return;
    if (ch == U'\t' && SwallowTab_) {
      SwallowTab_ = false;
      return;
    }
    TWinControl* target = Form_.ActiveControl_ ? Form_.ActiveControl_ : &Form_;
    SafeCall([&] { target->DispatchKeyPress(ch); });
  }

  void CloseRequest() override {
    if (Blocked()) return;
    SafeCall([&] { Form_.Close(); });
  }

  void FocusChanged(bool) override {}

  void Exposed(display::Rect r) override {
    if (!Form_.Window_) return;
    const display::Rect damage[1] = {r};
    Form_.Window_->Present(Form_.FrameView(), damage);
  }

 private:
  // Behind a modal window a form takes no input, as a disabled window takes none.
  bool Blocked() const {
    const TCustomForm* modal = Application ? Application->ModalForm() : nullptr;
    return modal && modal != &Form_;
  }

  TPoint Local(TControl* c, int x, int y) const {
    const TPoint o = c->ClientToParent({0, 0}, &Form_);
    return {x - o.X, y - o.Y};
  }

  void FocusFor(TControl* target) {
    for (TControl* c = target; c && c != &Form_; c = c->Parent()) {
      if (!c->IsWindowed()) continue;
      auto* w = static_cast<TWinControl*>(c);
      if (w->CanFocus()) {
        Form_.SetActiveControl(w);
        return;
      }
    }
  }

  TCustomForm& Form_;
  bool SwallowTab_ = false;
};

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner), Icon_(std::make_unique<TBitmap>()), Events_(std::make_unique<TEvents>(*this)) {
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
  if (Application) Application->RegisterForm(this);
}

TCustomForm::~TCustomForm() {
  // Owned components go first, while the form is still whole.
  while (!Components().empty()) Free(Components().back());
  DestroyControls();
  Window_.reset();
  if (Application) Application->UnregisterForm(this);
}

void TCustomForm::BeforeDestruction() {
  if (!DestroyFired_) {
    DestroyFired_ = true;
    if (OnDestroy) OnDestroy(this);
  }
  TWinControl::BeforeDestruction();
}

void TCustomForm::AfterConstruction() {
  if (Created_) return;
  Created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::SetClientWidth(int v) { SetWidth(v); }
void TCustomForm::SetClientHeight(int v) { SetHeight(v); }

void TCustomForm::SetActiveControl(TWinControl* c) {
  if (c == ActiveControl_ || c == this) return;
  TWinControl* old = ActiveControl_;
  ActiveControl_ = c;
  if (old) {
    old->DoExit();
    old->Invalidate();
  }
  if (c) {
    c->DoEnter();
    c->Invalidate();
  }
}

namespace {

void CollectTabStops(TWinControl* parent, std::vector<TWinControl*>& out) {
  std::vector<TWinControl*> level;
  for (TControl* c : parent->Controls()) {
    if (c->IsWindowed()) level.push_back(static_cast<TWinControl*>(c));
  }
  std::stable_sort(level.begin(), level.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TWinControl* w : level) {
    if (w->TabStop() && w->CanFocus()) out.push_back(w);
    CollectTabStops(w, out);
  }
}

}  // namespace

void TCustomForm::SelectNext(bool forward) {
  std::vector<TWinControl*> stops;
  CollectTabStops(this, stops);
  if (stops.empty()) return;
  auto it = std::find(stops.begin(), stops.end(), ActiveControl_);
  std::size_t next;
  if (it == stops.end()) {
    next = forward ? 0 : stops.size() - 1;
  } else {
    const std::size_t i = std::size_t(it - stops.begin());
    next = forward ? (i + 1) % stops.size() : (i + stops.size() - 1) % stops.size();
  }
  SetActiveControl(stops[next]);
}

void TCustomForm::SelectFirst() {
  if (ActiveControl_) return;
  std::vector<TWinControl*> stops;
  CollectTabStops(this, stops);
  if (!stops.empty()) SetActiveControl(stops.front());
}

void TCustomForm::ControlRemoved(TControl* c) {
  if (IsDescendant(Capture_, c)) Capture_ = nullptr;
  if (IsDescendant(Hover_, c)) Hover_ = nullptr;
  if (IsDescendant(ActiveControl_, c)) ActiveControl_ = nullptr;
}

void TCustomForm::CancelMouseMode() {
  TControl* captured = Capture_;
  Capture_ = nullptr;
  ButtonsDown_ = 0;
  if (captured) SafeCall([captured] { captured->Perform(CM_CANCELMODE); });
}

void TCustomForm::SetHover(TControl* c) {
  if (c == Hover_) return;
  TControl* old = Hover_;
  Hover_ = c;
  if (old) SafeCall([&] { old->Perform(CM_MOUSELEAVE); });
  if (c && Hover_ == c) SafeCall([&] { c->Perform(CM_MOUSEENTER); });
}

void TCustomForm::Show() {
  SetVisible(true);
  if (Window_ && !Window_->Visible()) Window_->Show();
}

void TCustomForm::Close() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (ModalResult_ == 0 && InModal_) ModalResult_ = IDCANCEL;
  SetVisible(false);
  if (Application && Application->MainForm() == this) Application->Terminate();
}

int TCustomForm::ShowModal() {
  ModalResult_ = 0;
  const TApplication::TModalScope modal(this);
  {
    const TFlagGuard inModal(InModal_);
    Show();
    while (ModalResult_ == 0 && Showing() && Application && !Application->Terminated()) {
      Application->HandleMessage();
    }
  }
  SetVisible(false);
  return ModalResult_ ? ModalResult_ : IDCANCEL;
}

bool TCustomForm::Showing() const { return Visible() && Window_ && Window_->Visible(); }

void TCustomForm::FillWindowParams(display::WindowParams& params) const {
  params.Title = Caption();
  params.ClientWidth = Width();
  params.ClientHeight = Height();
  const TFormBorderStyle bs = BorderStyle_;
  params.Resizable = bs == bsSizeable || bs == bsSizeToolWin;
  params.Maximizable =
      (BorderIcons_ & biMaximize) != 0 && bs != bsDialog && bs != bsToolWindow && bs != bsSizeToolWin;
  params.Minimizable = (BorderIcons_ & biMinimize) != 0 && bs != bsDialog;
  params.Centered = Position_ != poDesigned;
  params.Left = Left();
  params.Top = Top();
}

void TCustomForm::CreateNativeWindow() {
  if (Window_ || !Application) return;
  display::WindowParams params;
  FillWindowParams(params);
  Window_ = Application->Display().CreateWindow(params, Events_.get());
  if (!Icon_->Empty()) {
    const TSurface& s = Icon_->Surface();
    Window_->SetIcon({s.Pixels().data(), s.Width(), s.Height(), s.Width()});
  }
}

display::PixelView TCustomForm::FrameView() const {
  return {Frame_.Pixels().data(), Frame_.Width(), Frame_.Height(), Frame_.Width()};
}

void TCustomForm::WndProc(TMessage& message) {
  TWinControl::WndProc(message);
  switch (message.Msg) {
    case CM_TEXTCHANGED:
      if (Window_) Window_->SetTitle(Caption());
      break;
    case CM_VISIBLECHANGED:
      if (message.WParam) {
        CreateNativeWindow();
        FullPresent_ = true;
        SelectFirst();
        if (Window_) Window_->Show();
      } else if (Window_) {
        Window_->Hide();
      }
      break;
    default: break;
  }
}

void TCustomForm::UpdateAndPresent() {
  if (!Showing()) return;
  PaintInvalid();
  ComposeAndPresent();
}

void TCustomForm::ComposeAndPresent() {
  if (Frame_.Width() != Width() || Frame_.Height() != Height()) {
    Frame_.SetSize(Width(), Height());
    FullPresent_ = true;
  }
  std::vector<TWinControl*> windowed;
  CollectWindowed(this, windowed);

  std::vector<TRect> rects = Surface().TakeDamage();
  for (TWinControl* w : windowed) {
    const TPoint o = w->ClientToParent({0, 0}, this);
    const TRect visible = VisibleFormRect(w, this);
    for (const TRect& r : w->Surface().TakeDamage()) {
      const TRect fr = IntersectRect(OffsetRect(r, o.X, o.Y), visible);
      if (!fr.IsEmpty()) rects.push_back(fr);
    }
  }
  if (FullPresent_) {
    rects.assign(1, ClientRect());
    FullPresent_ = false;
  }
  if (rects.empty() || !Window_) return;

  // Merge through the frame's own damage list.
  for (const TRect& r : rects) Frame_.AddDamage(r);
  rects = Frame_.TakeDamage();

  std::vector<display::Rect> out;
  out.reserve(rects.size());
  for (const TRect& r : rects) {
    CopyPixels(Frame_, Surface(), r, r.Left, r.Top);
    for (TWinControl* w : windowed) {
      const TPoint o = w->ClientToParent({0, 0}, this);
      const TRect part = IntersectRect(r, VisibleFormRect(w, this));
      if (!part.IsEmpty()) CopyPixels(Frame_, w->Surface(), part, part.Left - o.X, part.Top - o.Y);
    }
    out.push_back({r.Left, r.Top, r.Right, r.Bottom});
    PresentedPixels_ += std::uint64_t(r.Width()) * std::uint64_t(r.Height());
  }
  Window_->Present(FrameView(), out);
}
