#include "ovclabel.h"

#include "_AbProc.h"
#include "helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

struct TShadeOffset {
  int dx;
  int dy;
};

// Unit offsets of TOvcShadeDirection, in ordinal order.
constexpr std::array<TShadeOffset, 9> ShadeOffsets{{
    {0, 0},    // sdNone
    {0, -1},   // sdUp
    {1, -1},   // sdUpRight
    {1, 0},    // sdRight
    {1, 1},    // sdDownRight
    {0, 1},    // sdDown
    {-1, 1},   // sdDownLeft
    {-1, 0},   // sdLeft
    {-1, -1},  // sdUpLeft
}};

TShadeOffset OffsetOf(TOvcShadeDirection d) { return ShadeOffsets[std::size_t(d)]; }

// The text is drawn in this colour on the mask and then replaced band by band.
constexpr TColor GraduateKeyColor = 0xFE09F1;

struct TAppearanceRow {
  TOvcAppearance Appearance;
  TOvcShadeDirection HighlightDirection;
  TOvcShadeDirection ShadowDirection;
  TOvcDepth HighlightDepth;
  TOvcDepth ShadowDepth;
};

// apCustom keeps the current settings and has no row.
constexpr std::array<TAppearanceRow, 5> AppearanceTable{{
    {apNone, sdNone, sdNone, 0, 0},
    {apFlying, sdDownRight, sdDownRight, 1, 5},
    {apRaised, sdUpLeft, sdDownRight, 1, 1},
    {apSunken, sdDownRight, sdUpLeft, 1, 1},
    {apShadow, sdNone, sdDownRight, 0, 2},
}};

constexpr std::array<TOvcSchemeColors, 6> DefaultSchemeColors{{
    {0xFFFFFF, 0x000000, 0x808080},  // csCustom: starts as csWindows
    {0xFFFFFF, 0x808080, 0x000000},  // csText
    {0xFFFFFF, 0x000000, 0x808080},  // csWindows
    {0xFFFFFF, 0x000000, 0xC0C0C0},  // csEmbossed
    {0x00FFFF, 0x000000, 0x008080},  // csGold
    {0xFFFF00, 0x800000, 0x808000},  // csSteel
}};

// The text's anti-aliased edge pixels are blends of the key colour and the
// background. Blend the band colour in the same proportion instead, so no key
// colour shows around the letters.
void SmoothKeyEdges(TBitmap& mask, const TBitmap& background, const TRect& band, TColor bandColor) {
  const TRect area = IntersectRect(band, mask.Surface().BoundsRect());
  const TColor key = GraduateKeyColor;
  const TColor fill = ColorToRGB(bandColor);
  for (int y = area.Top; y < area.Bottom; ++y) {
    TPixel* row = mask.Surface().Row(y);
    for (int x = area.Left; x < area.Right; ++x) {
      const TColor m = PixelToColor(row[x]);
      const TColor bg = PixelToColor(background.Surface().At(x, y));
      if (m == bg || m == key) continue;
      // Coverage from the component where key and background differ most.
      double coverage = 0;
      int spread = 0;
      for (int shift : {0, 8, 16}) {
        const int k = int((key >> shift) & 0xFF) - int((bg >> shift) & 0xFF);
        if (std::abs(k) <= spread) continue;
        spread = std::abs(k);
        coverage = (int((m >> shift) & 0xFF) - int((bg >> shift) & 0xFF)) / double(k);
      }
      coverage = std::clamp(coverage, 0.0, 1.0);
      TColor out = 0;
      for (int shift : {0, 8, 16}) {
        const int b = int((bg >> shift) & 0xFF);
        const int f = int((fill >> shift) & 0xFF);
        out |= TColor(std::clamp(b + RoundHalfEven(coverage * (f - b)), 0, 255)) << shift;
      }
      row[x] = ColorToPixel(out);
    }
  }
}

}  // namespace

// --- TOvcCustomSettings ---

void TOvcCustomSettings::ColorChanged() {
  if (!Updating_ && OnColorChange) OnColorChange();
}

void TOvcCustomSettings::ShapeChanged() {
  if (!Updating_ && OnShapeChange) OnShapeChange();
}

void TOvcCustomSettings::SetGraduateFromColor(TColor v) {
  if (SetIfChanged(GraduateFromColor_, v)) ColorChanged();
}
void TOvcCustomSettings::SetGraduateStyle(TOvcGraduateStyle v) {
  if (SetIfChanged(GraduateStyle_, v)) ShapeChanged();
}
void TOvcCustomSettings::SetHighlightColor(TColor v) {
  if (SetIfChanged(HighlightColor_, v)) ColorChanged();
}
void TOvcCustomSettings::SetHighlightDepth(TOvcDepth v) {
  if (SetIfChanged(HighlightDepth_, v)) ShapeChanged();
}
void TOvcCustomSettings::SetHighlightDirection(TOvcShadeDirection v) {
  if (SetIfChanged(HighlightDirection_, v)) ShapeChanged();
}
void TOvcCustomSettings::SetHighlightStyle(TOvcShadeStyle v) {
  if (SetIfChanged(HighlightStyle_, v)) ShapeChanged();
}
void TOvcCustomSettings::SetShadowColor(TColor v) {
  if (SetIfChanged(ShadowColor_, v)) ColorChanged();
}
void TOvcCustomSettings::SetShadowDepth(TOvcDepth v) {
  if (SetIfChanged(ShadowDepth_, v)) ShapeChanged();
}
void TOvcCustomSettings::SetShadowDirection(TOvcShadeDirection v) {
  if (SetIfChanged(ShadowDirection_, v)) ShapeChanged();
}
void TOvcCustomSettings::SetShadowStyle(TOvcShadeStyle v) {
  if (SetIfChanged(ShadowStyle_, v)) ShapeChanged();
}

void TOvcCustomSettings::BeginUpdate() { Updating_ = true; }

void TOvcCustomSettings::EndUpdate() {
  Updating_ = false;
  ColorChanged();
  ShapeChanged();
}

void TOvcCustomSettings::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TOvcCustomSettings*>(&source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  GraduateFromColor_ = other->GraduateFromColor_;
  GraduateStyle_ = other->GraduateStyle_;
  HighlightColor_ = other->HighlightColor_;
  HighlightDepth_ = other->HighlightDepth_;
  HighlightDirection_ = other->HighlightDirection_;
  HighlightStyle_ = other->HighlightStyle_;
  ShadowColor_ = other->ShadowColor_;
  ShadowDepth_ = other->ShadowDepth_;
  ShadowDirection_ = other->ShadowDirection_;
  ShadowStyle_ = other->ShadowStyle_;
}

// --- TOvcCustomLabel ---

TOvcCustomLabel::TOvcCustomLabel(TComponent* owner)
    : TCustomLabel(owner),
      CustomSettings_(std::make_unique<TOvcCustomSettings>()),
      SchemeColors_(DefaultSchemeColors) {
  SetAutoSize(false);
  SetBounds(Left(), Top(), 150, 35);
  SetTransparent(true);
  Font().SetName("Times New Roman");
  Font().SetSize(20);
  Font().SetColor(SchemeColors(ColorScheme_).Text);
  TCustomLabel::SetWordWrap(true);
  CustomSettings_->OnColorChange = [this] { SettingsColorChanged(); };
  CustomSettings_->OnShapeChange = [this] { SettingsShapeChanged(); };
}

TOvcCustomLabel::~TOvcCustomLabel() = default;

void TOvcCustomLabel::SetAppearance(TOvcAppearance v) {
  if (!SetIfChanged(Appearance_, v)) return;
  ApplyAppearance(v);
  Perform(CM_TEXTCHANGED);
}

void TOvcCustomLabel::ApplyAppearance(TOvcAppearance v) {
  TFlagGuard setting(SettingAppearance_);
  TOvcCustomSettings& s = *CustomSettings_;
  s.BeginUpdate();
  s.SetHighlightColor(SchemeColors(ColorScheme_).Highlight);
  const auto row = std::find_if(AppearanceTable.begin(), AppearanceTable.end(),
                                [v](const TAppearanceRow& r) { return r.Appearance == v; });
  if (row != AppearanceTable.end()) {
    s.SetHighlightDirection(row->HighlightDirection);
    s.SetShadowDirection(row->ShadowDirection);
    s.SetHighlightDepth(row->HighlightDepth);
    s.SetShadowDepth(row->ShadowDepth);
  }
  // A flying caption's highlight is a near shadow.
  if (v == apFlying) s.SetHighlightColor(SchemeColors(ColorScheme_).Shadow);
  s.EndUpdate();
}

void TOvcCustomLabel::SetColorScheme(TOvcColorScheme v) {
  if (!SetIfChanged(ColorScheme_, v)) return;
  ApplyColorScheme(v);
  Perform(CM_TEXTCHANGED);
}

void TOvcCustomLabel::ApplyColorScheme(TOvcColorScheme v) {
  TFlagGuard setting(SettingScheme_);
  const TOvcSchemeColors row = SchemeColors(v);
  TOvcCustomSettings& s = *CustomSettings_;
  s.BeginUpdate();
  s.SetHighlightColor(row.Highlight);
  Font().SetColor(row.Text);
  s.SetShadowColor(row.Shadow);
  if (v != csCustom) SchemeColors_[std::size_t(csCustom)] = row;
  s.EndUpdate();
}

void TOvcCustomLabel::SettingsColorChanged() {
  if (IsLoading()) return;
  Invalidate();
  if (SettingScheme_) return;
  ColorScheme_ = csCustom;
  Perform(CM_COLORCHANGED);
}

void TOvcCustomLabel::SettingsShapeChanged() {
  if (IsLoading()) return;
  Invalidate();
  if (SettingAppearance_) return;
  Appearance_ = apCustom;
  Perform(CM_TEXTCHANGED);
}

void TOvcCustomLabel::SetWordWrap(bool v) {
  if (v == WordWrap()) return;
  TCustomLabel::SetWordWrap(v);
  Invalidate();
}

void TOvcCustomLabel::Paint() {
  unsigned flags = DT_EXPANDTABS;
  if (WordWrap()) flags |= DT_WORDBREAK;
  if (Alignment() == taRightJustify) flags |= DT_RIGHT;
  if (Alignment() == taCenter) flags |= DT_CENTER;
  if (!ShowAccelChar()) flags |= DT_NOPREFIX;
  DrawEffectText(ClientRect(), flags);
}

// Where the copies go: lo and hi bound every copy's offset (both axes), adj
// keeps centred and right-justified text in place.
struct TOvcCustomLabel::TExtents {
  int Lo = 0;
  int Hi = 0;
  int Adj = 0;
};

// One effect (shadow or highlight) and how its copies are stacked.
struct TOvcCustomLabel::TEffectPass {
  TColor Color;
  TOvcDepth Depth;
  TOvcShadeDirection Direction;
  TOvcShadeStyle Style;
};

TOvcCustomLabel::TExtents TOvcCustomLabel::MeasureExtents() const {
  const TOvcCustomSettings& s = *CustomSettings_;
  const TShadeOffset ho = OffsetOf(s.HighlightDirection());
  const TShadeOffset so = OffsetOf(s.ShadowDirection());
  const int hd = s.HighlightDepth();
  const int sd = s.ShadowDepth();
  TExtents e;
  e.Lo = std::min({0, ho.dx * hd, so.dx * sd, ho.dy * hd, so.dy * sd});
  e.Hi = std::max({0, ho.dx * hd, so.dx * sd, ho.dy * hd, so.dy * sd});
  if (Alignment() == taCenter) e.Adj = (e.Hi - e.Lo) / 2;
  if (Alignment() == taRightJustify) e.Adj = e.Hi - e.Lo;
  return e;
}

// Every copy is the face text's cell moved by its offset.
void TOvcCustomLabel::DrawCopy(TCanvas& c, const TRect& face, TPoint offset, TColor color,
                               unsigned flags) const {
  c.Font().SetColor(color);
  TRect r = OffsetRect(face, offset.X, offset.Y);
  c.DrawText(Caption(), r, flags);
}

// Graduated copies blend from the effect colour (farthest) to the face colour (nearest).
void TOvcCustomLabel::PaintEffect(TCanvas& c, const TRect& face, const TEffectPass& pass, unsigned flags) {
  const TShadeOffset o = OffsetOf(pass.Direction);
  const int depth = pass.Depth;
  const bool stacked = pass.Style != ssPlain && depth > 1;
  const int nearest = stacked ? 1 : depth;
  const bool graduated = stacked && pass.Style == ssGraduated;
  for (int m = depth; m >= nearest; --m)
    DrawCopy(c, face, {m * o.dx, m * o.dy},
             graduated ? BlendColor(pass.Color, Font().Color(), depth - 1, depth - m) : pass.Color, flags);
}

// The face text drawn in the key colour on a mask, then replaced band by
// band with the graduation's colours.
void TOvcCustomLabel::PaintGraduatedFace(TBitmap& work, const TRect& face, const TExtents& e,
                                         unsigned flags) {
  const TOvcCustomSettings& s = *CustomSettings_;
  const int w = work.Width();
  const int h = work.Height();
  const TRect local{0, 0, w, h};
  TCanvas& wc = work.Canvas();
  TBitmap mask(w, h);
  mask.Canvas().CopyRect(local, wc, local);
  mask.Canvas().SetFont(Font());
  mask.Canvas().Brush().SetStyle(bsClear);
  DrawCopy(mask.Canvas(), face, {0, 0}, GraduateKeyColor, flags);

  const int tw = wc.TextWidth(Caption());
  int x0 = -e.Lo;
  if (Alignment() == taCenter) x0 = (w - tw) / 2 - e.Lo - e.Adj;
  if (Alignment() == taRightJustify) x0 = w - e.Hi - tw;
  const bool horizontal = s.GraduateStyle() == gsHorizontal;
  const double extent = horizontal ? tw - 1 : h - 1;
  const double step = extent / 15;
  wc.Brush().SetStyle(bsSolid);
  for (int i = 0; i <= 15; ++i) {
    const TColor color = BlendColor(s.GraduateFromColor(), Font().Color(), 15, i);
    const int a = RoundHalfEven(i * step);
    const int b = RoundHalfEven((i + 1) * step);
    const TRect band = horizontal ? TRect{x0 + a, 0, x0 + b, h} : TRect{0, a - e.Lo, w, b - e.Lo};
    SmoothKeyEdges(mask, work, band, color);
    wc.Brush().SetColor(color);
    wc.BrushCopy(band, mask, band, GraduateKeyColor);
  }
}

void TOvcCustomLabel::DrawEffectText(const TRect& rect, unsigned flags) {
  const TOvcCustomSettings& s = *CustomSettings_;
  const int w = rect.Width();
  const int h = rect.Height();
  if (w <= 0 || h <= 0) return;
  const TExtents e = MeasureExtents();

  const TRect local{0, 0, w, h};
  TBitmap work(w, h);
  TCanvas& wc = work.Canvas();
  wc.CopyRect(local, Canvas(), rect);
  if (!Transparent()) {
    wc.Brush().SetStyle(bsSolid);
    wc.Brush().SetColor(Color());
    wc.FillRect(local);
  }
  wc.SetFont(Font());
  wc.Brush().SetStyle(bsClear);

  const TRect face = OffsetRect(local, -e.Lo - e.Adj, -e.Lo);
  PaintEffect(wc, face, {s.ShadowColor(), s.ShadowDepth(), s.ShadowDirection(), s.ShadowStyle()}, flags);
  PaintEffect(wc, face, {s.HighlightColor(), s.HighlightDepth(), s.HighlightDirection(), s.HighlightStyle()},
              flags);
  if (s.GraduateStyle() == gsNone)
    DrawCopy(wc, face, {0, 0}, Font().Color(), flags);
  else
    PaintGraduatedFace(work, face, e, flags);

  Canvas().CopyRect(rect, wc, local);
}
