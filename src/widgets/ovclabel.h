// Shadowed caption label: the caption with highlight and shadow copies
// (raised, sunken, flying, drop shadow or custom), optionally extruded or
// graduated, and optionally a 16-band graduated face.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "stdctrls.h"

enum class TOvcAppearance { apNone, apCustom, apFlying, apRaised, apSunken, apShadow };
using enum TOvcAppearance;
enum class TOvcColorScheme { csCustom, csText, csWindows, csEmbossed, csGold, csSteel };
using enum TOvcColorScheme;
enum class TOvcGraduateStyle { gsNone, gsHorizontal, gsVertical };
using enum TOvcGraduateStyle;
enum class TOvcShadeDirection {
  sdNone,
  sdUp,
  sdUpRight,
  sdRight,
  sdDownRight,
  sdDown,
  sdDownLeft,
  sdLeft,
  sdUpLeft
};
using enum TOvcShadeDirection;
enum class TOvcShadeStyle { ssPlain, ssExtrude, ssGraduated };
using enum TOvcShadeStyle;
using TOvcDepth = std::uint8_t;

class TOvcCustomSettings : public TPersistent {
 public:
  std::string ClassName() const override { return "TOvcCustomSettings"; }
  TColor GraduateFromColor() const { return GraduateFromColor_; }
  void SetGraduateFromColor(TColor v);
  TOvcGraduateStyle GraduateStyle() const { return GraduateStyle_; }
  void SetGraduateStyle(TOvcGraduateStyle v);
  TColor HighlightColor() const { return HighlightColor_; }
  void SetHighlightColor(TColor v);
  TOvcDepth HighlightDepth() const { return HighlightDepth_; }
  void SetHighlightDepth(TOvcDepth v);
  TOvcShadeDirection HighlightDirection() const { return HighlightDirection_; }
  void SetHighlightDirection(TOvcShadeDirection v);
  TOvcShadeStyle HighlightStyle() const { return HighlightStyle_; }
  void SetHighlightStyle(TOvcShadeStyle v);
  TColor ShadowColor() const { return ShadowColor_; }
  void SetShadowColor(TColor v);
  TOvcDepth ShadowDepth() const { return ShadowDepth_; }
  void SetShadowDepth(TOvcDepth v);
  TOvcShadeDirection ShadowDirection() const { return ShadowDirection_; }
  void SetShadowDirection(TOvcShadeDirection v);
  TOvcShadeStyle ShadowStyle() const { return ShadowStyle_; }
  void SetShadowStyle(TOvcShadeStyle v);

  void BeginUpdate();
  // Clears the flag, then fires the colour and the shape notification.
  void EndUpdate();
  void Assign(const TPersistent& source) override;  // no notifications

  std::function<void()> OnColorChange;
  std::function<void()> OnShapeChange;

 private:
  void ColorChanged();
  void ShapeChanged();
  TColor GraduateFromColor_ = 0x808080;
  TOvcGraduateStyle GraduateStyle_ = gsNone;
  TColor HighlightColor_ = 0xFFFFFF;
  TOvcDepth HighlightDepth_ = 1;
  TOvcShadeDirection HighlightDirection_ = sdUpLeft;
  TOvcShadeStyle HighlightStyle_ = ssPlain;
  TColor ShadowColor_ = 0x000000;
  TOvcDepth ShadowDepth_ = 1;
  TOvcShadeDirection ShadowDirection_ = sdDownRight;
  TOvcShadeStyle ShadowStyle_ = ssPlain;
  bool Updating_ = false;
};

struct TOvcSchemeColors {
  TColor Highlight;
  TColor Shadow;
  TColor Text;
};

class TOvcCustomLabel : public TCustomLabel {
 public:
  explicit TOvcCustomLabel(TComponent* owner);
  ~TOvcCustomLabel() override;
  std::string ClassName() const override { return "TOvcCustomLabel"; }

  TOvcAppearance Appearance() const { return Appearance_; }
  void SetAppearance(TOvcAppearance v);
  TOvcColorScheme ColorScheme() const { return ColorScheme_; }
  void SetColorScheme(TOvcColorScheme v);
  TOvcCustomSettings& CustomSettings() { return *CustomSettings_; }
  void SetWordWrap(bool v) override;
  const TOvcSchemeColors& SchemeColors(TOvcColorScheme scheme) const {
    return SchemeColors_[std::size_t(scheme)];
  }

 protected:
  void Paint() override;
  void DrawEffectText(const TRect& rect, unsigned flags);

 private:
  struct TExtents;
  struct TEffectPass;
  TExtents MeasureExtents() const;
  void DrawCopy(TCanvas& c, const TRect& face, TPoint offset, TColor color, unsigned flags) const;
  void PaintEffect(TCanvas& c, const TRect& face, const TEffectPass& pass, unsigned flags);
  void PaintGraduatedFace(TBitmap& work, const TRect& face, const TExtents& e, unsigned flags);
  // The settings an appearance or a colour scheme stands for.
  void ApplyAppearance(TOvcAppearance v);
  void ApplyColorScheme(TOvcColorScheme v);
  void SettingsColorChanged();
  void SettingsShapeChanged();
  TOvcAppearance Appearance_ = apRaised;
  TOvcColorScheme ColorScheme_ = csWindows;
  std::unique_ptr<TOvcCustomSettings> CustomSettings_;
  std::array<TOvcSchemeColors, 6> SchemeColors_{};
  bool SettingScheme_ = false;
  bool SettingAppearance_ = false;
};

class TOvcLabel : public TOvcCustomLabel {
 public:
  explicit TOvcLabel(TComponent* owner) : TOvcCustomLabel(owner) {}
  std::string ClassName() const override { return "TOvcLabel"; }
};
