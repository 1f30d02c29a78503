// Controls: windowless (graphic) controls that paint on their parent's
// surface, and windowed controls that own a surface and hold children.
#pragma once

#include <memory>
#include <vector>

#include "classes.h"
#include "graphics.h"
#include "types.h"

class TWinControl;
class TCustomForm;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using enum TAlign;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;

enum class TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
using enum TBiDiMode;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return Parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return Left_; }
  int Top() const { return Top_; }
  int Width() const { return Width_; }
  int Height() const { return Height_; }
  void SetLeft(int v) { SetBounds(v, Top_, Width_, Height_); }
  void SetTop(int v) { SetBounds(Left_, v, Width_, Height_); }
  void SetWidth(int v) { SetBounds(Left_, Top_, v, Height_); }
  void SetHeight(int v) { SetBounds(Left_, Top_, Width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(Left_, Top_, Width_, Height_); }
  TRect ClientRect() const { return {0, 0, Width_, Height_}; }
  int ClientWidth() const { return Width_; }
  int ClientHeight() const { return Height_; }
  TAlign Align() const { return Align_; }
  void SetAlign(TAlign v);

  bool Visible() const { return Visible_; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // The framework's own enabled state (mouse routing reads this one).
  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool v);

  const std::string& Caption() const { return Caption_; }
  void SetCaption(const std::string& v);  // CM_TEXTCHANGED after a change
  const std::string& Text() const { return Caption_; }
  void SetText(const std::string& v) { SetCaption(v); }

  // The font object; changing it fires CM_FONTCHANGED and clears ParentFont.
  TFont& Font() { return *Font_; }
  const TFont& Font() const { return *Font_; }
  void SetFont(const TFont& f) { Font_->Assign(f); }
  bool ParentFont() const { return ParentFont_; }
  void SetParentFont(bool v);
  TColor Color() const { return Color_; }
  void SetColor(TColor v);  // CM_COLORCHANGED after a change; clears ParentColor
  bool ParentColor() const { return ParentColor_; }
  void SetParentColor(bool v);

  TBiDiMode BiDiMode() const { return BiDiMode_; }
  void SetBiDiMode(TBiDiMode v) { BiDiMode_ = v; }
  bool ShowHint() const { return ShowHint_; }
  void SetShowHint(bool v) { ShowHint_ = v; }
  const std::string& Hint() const { return Hint_; }
  void SetHint(const std::string& v) { Hint_ = v; }

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // Marks the control's area for the next paint pass.
  virtual void Invalidate();
  // Paints what is invalid in the window now (no waiting for the loop).
  void Update();
  void Repaint() {
    Invalidate();
    Update();
  }

  // Delivers a message synchronously through WndProc; returns its Result.
  std::intptr_t Perform(unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);

  // Coordinates: control-local <-> parent client <-> form client.
  TPoint ClientToParent(TPoint p, const TWinControl* ancestor = nullptr) const;
  TCustomForm* ParentForm() const;  // the form this control sits on, or null

  bool MouseCapture() const;
  void SetMouseCapture(bool v);

  // Input entry points used by the framework's routing; they call the
  // protected virtuals below, which fire the events.
  void DispatchMouseDown(TMouseButton button, TShiftState shift, int x, int y, bool doubleClick);
  void DispatchMouseMove(TShiftState shift, int x, int y);
  void DispatchMouseUp(TMouseButton button, TShiftState shift, int x, int y);

  virtual bool IsWindowed() const { return false; }

 protected:
  // Message handling: descendants override, handle what they need and call
  // the inherited WndProc for everything else. The base handles the CM_*
  // notifications (font, colour, text, enabled: invalidate; mouse enter and
  // leave: fire the events).
  virtual void WndProc(TMessage& message);

  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();
  // Called before Visible changes.
  virtual void VisibleChanging() {}
  // Called after the bounds changed (old bounds given).
  virtual void BoundsChanged(const TRect& oldBounds);
  // The parent font changed (when ParentFont) etc.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();

  // Font change hook; base: ParentFont := false, CM_FONTCHANGED.
  void FontChanged();

 private:
  friend class TWinControl;
  TWinControl* Parent_ = nullptr;
  int Left_ = 0;
  int Top_ = 0;
  int Width_ = 0;
  int Height_ = 0;
  TAlign Align_ = alNone;
  bool Visible_ = true;
  bool Enabled_ = true;
  std::string Caption_;
  std::unique_ptr<TFont> Font_;
  bool ParentFont_ = true;
  TColor Color_ = clBtnFace;
  bool ParentColor_ = false;
  TBiDiMode BiDiMode_ = bdLeftToRight;
  bool ShowHint_ = false;
  std::string Hint_;
  bool Clicked_ = false;
  bool UpdatingParentFont_ = false;
};

// A control without its own surface: it paints on its parent's surface, in
// creation order, clipped to its bounds. Its canvas can be used at any time;
// drawing outside the paint pass shows at the next presentation.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  std::string ClassName() const override { return "TGraphicControl"; }

  // Bound to the parent's surface at the control's origin, clipped to the
  // control (and, during a paint pass, to the region being painted).
  TCanvas& Canvas();

  // Called by the parent's paint pass with the canvas clipped to `clip`
  // (surface coordinates).
  void PaintIn(const TRect& clip);

 protected:
  virtual void Paint() {}

 private:
  std::unique_ptr<TCanvas> Canvas_;
  bool InPaint_ = false;
  TRect PaintClip_{};
};

// A control with its own surface; holds child controls. Windowed children
// always lie over graphic siblings.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;  // destroys the children it still has
  std::string ClassName() const override { return "TWinControl"; }
  bool IsWindowed() const override { return true; }

  // Children in insertion (= creation) order.
  const std::vector<TControl*>& Controls() const { return Controls_; }
  int ControlCount() const { return int(Controls_.size()); }

  TSurface& Surface() { return Surface_; }
  const TSurface& Surface() const { return Surface_; }
  // A canvas on the control's own surface (for its own painting).
  TCanvas& WindowCanvas() { return *Canvas_; }

  void InvalidateRect(const TRect& r);  // client coordinates
  void Invalidate() override;
  bool NeedsPaint() const;
  // Paint pass: for the invalid region, PaintWindow (background and the
  // control's own content), then every visible graphic child meeting the
  // region in creation order; then the windowed children, recursively.
  void PaintInvalid();

  // Topmost visible, enabled control under p (client coordinates), searching
  // windowed children first; this control when none.
  TControl* ControlAtPos(TPoint p);

  // Focus and keyboard.
  bool TabStop() const { return TabStop_; }
  void SetTabStop(bool v) { TabStop_ = v; }
  int TabOrder() const { return TabOrder_; }
  void SetTabOrder(int v);
  virtual bool CanFocus() const;
  bool Focused() const;
  void SetFocus();

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  void DispatchKeyDown(std::uint16_t key, TShiftState shift);
  void DispatchKeyUp(std::uint16_t key, TShiftState shift);
  void DispatchKeyPress(char32_t key);

  // Focus notifications.
  virtual void DoEnter() {}
  virtual void DoExit() {}

 protected:
  // Fills the background with Color; windowed descendants draw their content.
  virtual void PaintWindow(TCanvas& canvas, const TRect& clip);
  virtual void KeyDown(std::uint16_t& key, TShiftState shift);
  virtual void KeyUp(std::uint16_t& key, TShiftState shift);
  virtual void KeyPress(char32_t& key);
  void BoundsChanged(const TRect& oldBounds) override;
  void WndProc(TMessage& message) override;
  // Frees the children still held (the form frees its owned components first).
  void DestroyControls();

 private:
  friend class TControl;
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  void AlignControls();

  std::vector<TControl*> Controls_;
  TSurface Surface_;
  std::unique_ptr<TCanvas> Canvas_;
  TRegion Invalid_;
  bool TabStop_ = false;
  int TabOrder_ = -1;
};
