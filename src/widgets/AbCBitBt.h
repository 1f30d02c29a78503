// Colour glyph button: gradient face, gradient bevel, optional glyph cell and
// a 3-D caption, painted without a window of its own.
#pragma once

#include <memory>

#include "_GClass.h"

enum class TPosH { phLeft, phRight, phCenter };
using enum TPosH;
enum class TPosV { pvTop, pvBottom, pvCenter };
using enum TPosV;
enum class TPos { pLeft, pRight, pTop, pBottom };
using enum TPos;

enum TFlashOption : unsigned { foGlyph = 1, foText = 2, foTextCol = 4, foBtnCol = 8 };
using TFlashOptions = unsigned;  // set of TFlashOption
enum TCheckedOption : unsigned { coGlyph = 1, coText = 2, coTextCol = 4, coBtnCol = 8, coBevel = 16 };
using TCheckedOptions = unsigned;  // set of TCheckedOption

class TAbColBitBtn : public TAbBinGControl {
 public:
  explicit TAbColBitBtn(TComponent* owner);
  ~TAbColBitBtn() override;
  std::string ClassName() const override { return "TAbColBitBtn"; }

  TPosH PosHorizontal() const { return PosHorizontal_; }
  void SetPosHorizontal(TPosH v);
  TPosV PosVertical() const { return PosVertical_; }
  void SetPosVertical(TPosV v);
  TPos PosGlyph() const { return PosGlyph_; }
  void SetPosGlyph(TPos v);
  TAbGradSettings& GradBtnFace() { return *GradBtnFace_; }
  TAbBtnBevel& ButtonBevel() { return *ButtonBevel_; }
  TFlashOptions FlashOptions() const { return FlashOptions_; }
  void SetFlashOptions(TFlashOptions v);
  TCheckedOptions CheckedOptions() const { return CheckedOptions_; }
  void SetCheckedOptions(TCheckedOptions v);
  TColor ColorOff() const { return ColorOff_; }
  void SetColorOff(TColor v);
  TColor ColorDisabled() const { return ColorDisabled_; }
  void SetColorDisabled(TColor v);
  TColor ColorOn() const { return ColorOn_; }
  void SetColorOn(TColor v);
  int OffsetX() const { return OffsetX_; }
  void SetOffsetX(int v);
  int OffsetY() const { return OffsetY_; }
  void SetOffsetY(int v);
  int OffsetDown() const { return OffsetDown_; }
  void SetOffsetDown(int v);
  TBitmap& Glyph() { return *Glyph_; }
  void SetGlyph(const TBitmap& v);
  int NumGlyph() const { return NumGlyph_; }
  void SetNumGlyph(int v);  // values above 0 only
  bool Beveled() const { return Beveled_; }
  void SetBeveled(bool v);
  bool Transparent() const { return Transparent_; }
  void SetTransparent(bool v);
  bool Flat() const { return Flat_; }
  void SetFlat(bool v);
  int Spacing() const { return Spacing_; }
  void SetSpacing(int v);
  const std::string& TextOff() const { return TextOff_; }
  void SetTextOff(const std::string& v);
  const std::string& TextOn() const { return TextOn_; }
  void SetTextOn(const std::string& v);
  TColor TextColOn() const { return TextColOn_; }
  void SetTextColOn(TColor v);
  TColor TextColOff() const { return TextColOff_; }
  void SetTextColOff(TColor v);
  TColor TextColDisabled() const { return TextColDisabled_; }
  void SetTextColDisabled(TColor v);
  bool Text3D() const { return Text3D_; }
  void SetText3D(bool v);

  // The button's own enabled flag: changing it only repaints; mouse handling
  // goes on (hides the framework's Enabled).
  bool Enabled() const { return OwnEnabled_; }
  void SetEnabled(bool v);

  // Cached background and face between full repaints.
  const TBitmap& FaceBitmap() const { return *FaceBitmap_; }

 protected:
  void Paint() override;
  void ContentChanged() override;
  void StateChanged() override;
  void FlashPhaseChanged(bool phase) override;
  void VisibleChanging() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;

 private:
  struct TLook;
  struct TBlock;
  // Drawing one state: the look it selects, the bevel or face, the
  // glyph-and-caption block measured, placed and painted.
  void DrawButton(bool glyphFlag, bool textFlag, bool textColFlag, bool faceColFlag);
  TLook LookFor(bool glyphFlag, bool textFlag, bool textColFlag, bool faceColFlag) const;
  TRect PaintFrame(TCanvas& wc, const TLook& look) const;
  TBlock MeasureBlock(TCanvas& wc, const std::string& caption) const;
  void PlaceBlock(TBlock& block, const TRect& r, TPoint shift) const;
  void PaintBlock(TCanvas& wc, const TBlock& block, const TLook& look) const;
  // Points the settings objects' OnChange at ContentChanged.
  void WireSettings();
  // One of the four look flags: the flash phase or the checked option.
  bool StateFlag(unsigned flashOption, unsigned checkedOption) const;
  bool BevelShown() const;
  TPosH PosHorizontal_ = phCenter;
  TPosV PosVertical_ = pvCenter;
  TPos PosGlyph_ = pLeft;
  std::unique_ptr<TAbGradSettings> GradBtnFace_;
  std::unique_ptr<TAbBtnBevel> ButtonBevel_;
  TFlashOptions FlashOptions_ = foGlyph | foText | foTextCol | foBtnCol;
  TCheckedOptions CheckedOptions_ = coGlyph | coText | coTextCol | coBtnCol | coBevel;
  TColor ColorOff_ = clBtnFace;
  TColor ColorDisabled_ = 0xA0A0A0;
  TColor ColorOn_ = clBtnFace;
  int OffsetX_ = 0;
  int OffsetY_ = 0;
  int OffsetDown_ = 1;
  std::unique_ptr<TBitmap> Glyph_;
  int NumGlyph_ = 1;
  bool Beveled_ = true;
  bool Transparent_ = false;
  bool Flat_ = false;
  int Spacing_ = 4;
  std::string TextOff_;
  std::string TextOn_;
  TColor TextColOn_ = clLime;
  TColor TextColOff_ = clBlack;
  TColor TextColDisabled_ = clBtnShadow;
  bool Text3D_ = true;
  bool OwnEnabled_ = true;
  bool Hover_ = false;
  bool FlashPhase_ = false;
  bool Busy_ = false;
  std::unique_ptr<TBitmap> FaceBitmap_;
};
