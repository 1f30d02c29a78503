#include "raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// The exact 128-bit product of two 64-bit numbers, by 32-bit halves: not
// every target compiler has a 128-bit integer (32-bit MinGW has none).
struct TProduct {
  std::uint64_t Hi, Lo;
  friend bool operator<=(TProduct a, TProduct b) { return a.Hi != b.Hi ? a.Hi < b.Hi : a.Lo <= b.Lo; }
};

TProduct Multiply(std::uint64_t a, std::uint64_t b) {
  constexpr std::uint64_t Low = 0xFFFFFFFF;
  const std::uint64_t ll = (a & Low) * (b & Low), lh = (a & Low) * (b >> 32);
  const std::uint64_t hl = (a >> 32) * (b & Low), hh = (a >> 32) * (b >> 32);
  const std::uint64_t mid = (ll >> 32) + (lh & Low) + (hl & Low);
  return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & Low)};
}

TSpan Intersect(TSpan a, TSpan b) { return {std::max(a.X0, b.X0), std::min(a.X1, b.X1)}; }

// Dash patterns (on, off, on, ...) of the styled 1-pixel pens.
std::span<const int> PenPattern(TPenStyle style) {
  static constexpr std::array<int, 2> DashPattern{18, 6};
  static constexpr std::array<int, 2> DotPattern{3, 3};
  static constexpr std::array<int, 4> DashDotPattern{9, 6, 3, 6};
  static constexpr std::array<int, 6> DashDotDotPattern{9, 3, 3, 3, 3, 3};
  switch (style) {
    case psDash: return DashPattern;
    case psDot: return DotPattern;
    case psDashDot: return DashDotPattern;
    case psDashDotDot: return DashDotDotPattern;
    default: return {};
  }
}

bool PatternOn(std::span<const int> pattern, int index) {
  if (pattern.empty()) return true;
  int period = 0;
  for (int v : pattern) period += v;
  int pos = ((index % period) + period) % period;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    if (pos < pattern[k]) return k % 2 == 0;
    pos -= pattern[k];
  }
  return true;
}

constexpr int MaxPenWidth = 1000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

TSpan EllipseRow(int w, int h, int y) {
  if (w <= 0 || h <= 0 || y < 0 || y >= h) return {};
  const auto width = std::uint64_t(w), height = std::uint64_t(h);
  const std::int64_t dy = 2 * std::int64_t(y) + 1 - h;
  // The widest chord d of the row: the largest d with (d h)^2 <= w^2 (h^2 - dy^2),
  // from a floating estimate put right exactly.
  const std::uint64_t across = height * height - std::uint64_t(dy * dy);
  const TProduct limit = Multiply(width * width, across);
  const auto fits = [&](std::int64_t d) { return Multiply(d * height, d * height) <= limit; };
  auto dm = std::int64_t(std::sqrt(static_cast<long double>(across)) * width / height);
  while (dm > 0 && !fits(dm)) --dm;
  while (fits(dm + 1)) ++dm;
  if ((dm & 1) != ((w - 1) & 1)) --dm;
  if (dm < 0) return {};
  return {int((w - 1 - dm) / 2), int((w - 1 + dm) / 2 + 1)};
}

TSpan TShapeGeom::Row(int y) const {
  if (W <= 0 || H <= 0 || y < 0 || y >= H) return {};
  switch (Kind) {
    case TShapeKind::Ellipse: return EllipseRow(W, H, y);
    case TShapeKind::RoundRect: {
      const int cw = std::min(CW, W);
      const int ch = std::min(CH, H);
      if (cw <= 0 || ch <= 0) break;
      const int half = ch / 2;
      TSpan e;
      if (y < half)
        e = EllipseRow(cw, ch, y);
      else if (y >= H - half)
        e = EllipseRow(cw, ch, y - (H - ch));
      else
        break;
      return e.Empty() ? TSpan{} : TSpan{e.X0, W - cw + e.X1};
    }
    case TShapeKind::Rect: break;
  }
  return {0, W};
}

TSpan TOutlinedShape::InteriorRow(int y) const {
  const TSpan sp = Outer.Row(y);
  if (sp.Empty()) return {};
  switch (Mode) {
    case TMode::NoOutline: return sp;
    case TMode::Thin: return Intersect(Intersect({sp.X0 + 1, sp.X1 - 1}, Outer.Row(y - 1)), Outer.Row(y + 1));
    case TMode::Band: {
      const TSpan in = Inner.Row(y - Inset);
      if (in.Empty()) return {};
      return Intersect({in.X0 + Inset, in.X1 + Inset}, sp);
    }
  }
  return {};
}

namespace {

TShapeGeom Geom(TShapeKind kind, const TRect& box, int cw, int ch) {
  return {kind, box.Width(), box.Height(), std::max(cw, 0), std::max(ch, 0)};
}

}  // namespace

TOutlinedShape ThinShape(TShapeKind kind, const TRect& box, int cw, int ch) {
  return {box, Geom(kind, box, cw, ch), {}, 0, TOutlinedShape::TMode::Thin};
}

TOutlinedShape BandShape(TShapeKind kind, const TRect& outerBox, int cw, int ch, int width) {
  const TRect inner = InflateRect(outerBox, -width, -width);
  TShapeGeom innerGeom;
  if (!inner.IsEmpty()) innerGeom = Geom(kind, inner, cw - 2 * width, ch - 2 * width);
  return {outerBox, Geom(kind, outerBox, cw, ch), innerGeom, width, TOutlinedShape::TMode::Band};
}

TOutlinedShape PlainShape(TShapeKind kind, const TRect& box, int cw, int ch) {
  return {box, Geom(kind, box, cw, ch), {}, 0, TOutlinedShape::TMode::NoOutline};
}

void PaintShape(TRaster& r, const TOutlinedShape& s, const TPixel* outline, const TPixel* fill) {
  const TRect clip = IntersectRect(r.LocalClip(), s.Box);
  const int left = s.Box.Left;
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const TSpan sp = s.ShapeRow(y - s.Box.Top);
    if (sp.Empty()) continue;
    const TSpan in = s.InteriorRow(y - s.Box.Top);
    if (fill != nullptr && !in.Empty()) r.Span(y, left + in.X0, left + in.X1, *fill);
    if (outline == nullptr) continue;
    if (in.Empty()) {
      r.Span(y, left + sp.X0, left + sp.X1, *outline);
    } else {
      r.Span(y, left + sp.X0, left + in.X0, *outline);
      r.Span(y, left + in.X1, left + sp.X1, *outline);
    }
  }
}

TRaster::TRaster(TCanvas& canvas) : Canvas_(canvas), Surface_(canvas.Surface_), Origin_(canvas.Origin_) {
  if (Surface_ != nullptr) Clip_ = IntersectRect(canvas.Clip_, Surface_->BoundsRect());
}

TRaster::~TRaster() { AddDamage(); }

void TRaster::AddDamage() {
  if (Surface_ == nullptr || Touched_.IsEmpty()) return;
  Surface_->AddDamage(Touched_);
  Touched_ = {};
}

void TRaster::Finish() {
  const bool changed = Surface_ != nullptr && !Touched_.IsEmpty();
  AddDamage();
  if (changed && Canvas_.OnChange) Canvas_.OnChange(&Canvas_);
}

bool TRaster::Begin(const TRect& localBounds) {
  Clip_ = IntersectRect(Clip_, OffsetRect(localBounds, Origin_.X, Origin_.Y));
  return !Clip_.IsEmpty();
}

TRect TRaster::LocalClip() const { return OffsetRect(Clip_, -Origin_.X, -Origin_.Y); }

void TRaster::Touch(int x0, int y0, int x1, int y1) { Touched_ = UnionRect(Touched_, {x0, y0, x1, y1}); }

void TRaster::Span(int y, int x0, int x1, TPixel pixel) {
  y += Origin_.Y;
  if (y < Clip_.Top || y >= Clip_.Bottom) return;
  x0 = std::max(x0 + Origin_.X, Clip_.Left);
  x1 = std::min(x1 + Origin_.X, Clip_.Right);
  if (x1 <= x0) return;
  std::fill(Surface_->Row(y) + x0, Surface_->Row(y) + x1, pixel);
  Touch(x0, y, x1, y + 1);
}

void TRaster::Plot(int x, int y, TPixel pixel) {
  x += Origin_.X;
  y += Origin_.Y;
  if (!Clip_.Contains({x, y})) return;
  Surface_->Row(y)[x] = pixel;
  Touch(x, y, x + 1, y + 1);
}

void TRaster::Blend(int x, int y, TPixel pixel, unsigned alpha) {
  if (alpha == 0) return;
  x += Origin_.X;
  y += Origin_.Y;
  if (!Clip_.Contains({x, y})) return;
  TPixel& d = Surface_->Row(y)[x];
  if (alpha >= 255) {
    d = pixel;
  } else {
    const unsigned inv = 255 - alpha;
    auto mix = [&](int shift) {
      const unsigned s = (pixel >> shift) & 0xFF;
      const unsigned t = (d >> shift) & 0xFF;
      return ((s * alpha + t * inv + 127) / 255) << shift;
    };
    d = mix(16) | mix(8) | mix(0);
  }
  Touch(x, y, x + 1, y + 1);
}

void TRaster::Row(int y, int x, std::span<const TPixel> pixels) {
  y += Origin_.Y;
  x += Origin_.X;
  if (y < Clip_.Top || y >= Clip_.Bottom) return;
  const int x0 = std::max(x, Clip_.Left);
  const int x1 = std::min(x + int(pixels.size()), Clip_.Right);
  if (x1 <= x0) return;
  std::copy(pixels.begin() + (x0 - x), pixels.begin() + (x1 - x), Surface_->Row(y) + x0);
  Touch(x0, y, x1, y + 1);
}

TRect LineBounds(TPoint a, TPoint b, int penWidth) {
  const int pad = std::max(penWidth, 1);
  return {std::min(a.X, b.X) - pad, std::min(a.Y, b.Y) - pad, std::max(a.X, b.X) + pad + 1,
          std::max(a.Y, b.Y) + pad + 1};
}

void RasterLine(TRaster& r, TPoint a, TPoint b, const TPen& pen, bool includeEnd, int& phase) {
  if (pen.Style() == psClear) return;
  const std::int64_t dx = std::int64_t(b.X) - a.X;
  const std::int64_t dy = std::int64_t(b.Y) - a.Y;
  const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
  const std::int64_t last = includeEnd ? n : n - 1;
  if (last < 0) return;
  const TPixel pixel = ColorToPixel(pen.Color());
  // Wider pens are drawn as this wide; nothing on a window needs more.
  const int width = std::min(pen.Width(), MaxPenWidth);
  const bool thick = width > 1;
  const std::span<const int> pattern = thick ? std::span<const int>{} : PenPattern(pen.Style());
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const std::int64_t major = xMajor ? dx : dy;
  const std::int64_t minor = xMajor ? dy : dx;
  const int majorStart = xMajor ? a.X : a.Y;
  const int minorStart = xMajor ? a.Y : a.X;
  const int majorStep = major < 0 ? -1 : 1;
  const int minorSign = minor < 0 ? -1 : 1;
  const std::int64_t am = std::llabs(major);
  const std::int64_t an = std::llabs(minor);

  // Only the steps whose major coordinate can reach the clip.
  const TRect clip = InflateRect(r.LocalClip(), width, width);
  const int lo = xMajor ? clip.Left : clip.Top;
  const int hi = xMajor ? clip.Right : clip.Bottom;
  std::int64_t i0 = 0;
  std::int64_t i1 = last;
  if (n > 0) {
    if (majorStep > 0) {
      i0 = std::max<std::int64_t>(i0, std::int64_t(lo) - majorStart);
      i1 = std::min<std::int64_t>(i1, std::int64_t(hi) - majorStart);
    } else {
      i0 = std::max<std::int64_t>(i0, std::int64_t(majorStart) - hi);
      i1 = std::min<std::int64_t>(i1, std::int64_t(majorStart) - lo);
    }
  }
  const int o = width / 2;
  for (std::int64_t i = i0; i <= i1; ++i) {
    if (!PatternOn(pattern, int((phase + i) % 1000000))) continue;
    const std::int64_t m = am == 0 ? 0 : FloorDiv(2 * i * an + am, 2 * am);
    const int p = int(majorStart + majorStep * i);
    const int q = int(minorStart + minorSign * m);
    const int x = xMajor ? p : q;
    const int y = xMajor ? q : p;
    if (!thick) {
      r.Plot(x, y, pixel);
      continue;
    }
    const int k0 = std::max(0, clip.Top - (y - o));
    const int k1 = std::min(width, clip.Bottom - (y - o));
    for (int k = k0; k < k1; ++k) {
      const TSpan s = EllipseRow(width, width, k);
      if (!s.Empty()) r.Span(y - o + k, x - o + s.X0, x - o + s.X1, pixel);
    }
  }
  phase += int(n % 1000000);
}
