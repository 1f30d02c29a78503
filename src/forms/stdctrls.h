// Standard text controls: labels drawn on the parent, windowed static text,
// and the single-line edit field.
#pragma once

#include <string>

#include "controls.h"

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  std::string ClassName() const override { return "TCustomLabel"; }

  bool AutoSize() const { return AutoSize_; }
  void SetAutoSize(bool v);
  TAlignment Alignment() const { return Alignment_; }
  void SetAlignment(TAlignment v);
  bool WordWrap() const { return WordWrap_; }
  virtual void SetWordWrap(bool v);
  // A transparent label leaves the parent's picture behind its text.
  bool Transparent() const { return Transparent_; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return ShowAccelChar_; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return FocusControl_; }
  void SetFocusControl(TWinControl* v);

 protected:
  // Fills the background unless transparent, then DoDrawText over the client
  // rectangle. Descendants may replace the whole paint.
  void Paint() override;
  // Draws (or with DT_CALCRECT measures) the caption with the label's font.
  virtual void DoDrawText(TRect& rect, unsigned flags);
  // DT_* flags from Alignment, WordWrap and ShowAccelChar.
  unsigned TextFlags() const;
  // Resizes to the text when AutoSize (keeps Left/Top).
  void AdjustBounds();
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

 private:
  bool AutoSize_ = true;
  TAlignment Alignment_ = taLeftJustify;
  bool WordWrap_ = false;
  bool Transparent_ = false;
  bool ShowAccelChar_ = true;
  TWinControl* FocusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
  std::string ClassName() const override { return "TLabel"; }
};

enum class TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };
using enum TStaticBorderStyle;

// Text in a windowed control of its own.
class TStaticText : public TWinControl {
 public:
  explicit TStaticText(TComponent* owner);
  std::string ClassName() const override { return "TStaticText"; }
  bool AutoSize() const { return AutoSize_; }
  void SetAutoSize(bool v);
  TAlignment Alignment() const { return Alignment_; }
  void SetAlignment(TAlignment v);
  TStaticBorderStyle BorderStyle() const { return BorderStyle_; }
  void SetBorderStyle(TStaticBorderStyle v);

 protected:
  void PaintWindow(TCanvas& canvas, const TRect& clip) override;
  void WndProc(TMessage& message) override;

 private:
  void AdjustBounds();
  bool AutoSize_ = true;
  TAlignment Alignment_ = taLeftJustify;
  TStaticBorderStyle BorderStyle_ = sbsNone;
};

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
using enum TEditCharCase;
enum class TBorderStyle { bsNone, bsSingle };
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
using enum TBevelCut;

// Single-line edit field: caret, selection, Backspace/Delete/arrows/Home/End,
// Shift-selection, Ctrl+A/C/X/V with the clipboard.
class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  std::string ClassName() const override { return "TCustomEdit"; }

  // Text() / SetText() are the caption's; setting the text puts the caret at the end.
  int MaxLength() const { return MaxLength_; }  // characters; 0 = no limit
  void SetMaxLength(int v);
  TEditCharCase CharCase() const { return CharCase_; }
  void SetCharCase(TEditCharCase v);
  TBorderStyle BorderStyle() const { return BorderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  TBevelCut BevelInner() const { return BevelInner_; }
  void SetBevelInner(TBevelCut v) { BevelInner_ = v; }
  TBevelCut BevelOuter() const { return BevelOuter_; }
  void SetBevelOuter(TBevelCut v) { BevelOuter_ = v; }
  bool ReadOnly() const { return ReadOnly_; }
  void SetReadOnly(bool v) { ReadOnly_ = v; }

  int SelStart() const { return SelStart_; }  // in characters
  int SelLength() const { return SelLength_; }
  void SetSelStart(int v);
  void SetSelLength(int v);
  void SelectAll();
  std::string SelText() const;
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void ClearSelection();

  TNotifyEvent OnChange;

 protected:
  void PaintWindow(TCanvas& canvas, const TRect& clip) override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void WndProc(TMessage& message) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  int TextLength() const;
  int TextLeft() const;
  void InsertText(const std::u32string& text);
  std::u32string ApplyCase(std::u32string text) const;
  int CaretFromX(int x);
  void MoveCaret(int to, bool extend);
  void SetTextKeepingCaret(const std::string& text, int caret);
  int MaxLength_ = 0;
  TEditCharCase CharCase_ = ecNormal;
  TBorderStyle BorderStyle_ = TBorderStyle::bsSingle;
  TBevelCut BevelInner_ = bvRaised;
  TBevelCut BevelOuter_ = bvLowered;
  bool ReadOnly_ = false;
  int SelStart_ = 0;
  int SelLength_ = 0;
  int Anchor_ = 0;
  int Caret_ = 0;
  bool Editing_ = false;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
  std::string ClassName() const override { return "TEdit"; }
};
