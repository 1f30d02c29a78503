// TCanvas: every primitive translates by the origin, narrows to the clip and
// the surface (TRaster::Begin), returns when nothing is visible, then walks rows.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics.h"
#include "raster.h"
#include "sysutils.h"
#include "text.h"

namespace {

// Coordinates are clamped to this range so that no width, height or
// translation can overflow, whatever a caller passes.
constexpr int CoordLimit = 1 << 29;

int Clamp(int v) { return std::clamp(v, -CoordLimit, CoordLimit); }
TPoint Clamp(TPoint p) { return {Clamp(p.X), Clamp(p.Y)}; }
TRect Clamp(const TRect& r) { return {Clamp(r.Left), Clamp(r.Top), Clamp(r.Right), Clamp(r.Bottom)}; }
std::vector<TPoint> Clamp(std::span<const TPoint> points) {
  std::vector<TPoint> out(points.begin(), points.end());
  for (TPoint& p : out) p = Clamp(p);
  return out;
}

TRect Normalized(int x1, int y1, int x2, int y2) {
  x1 = Clamp(x1), y1 = Clamp(y1), x2 = Clamp(x2), y2 = Clamp(y2);
  return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// The shape in `box` with the pen's outline: a 1-pixel pen outlines the
// shape's own edge pixels; a wider pen is centred on the edge (inside it for
// psInsideFrame); a clear pen leaves the whole shape to the brush.
TOutlinedShape BuildShape(TShapeKind kind, const TRect& box, int cw, int ch, const TPen& pen) {
  if (pen.Style() == psClear) return PlainShape(kind, box, cw, ch);
  const int pw = std::clamp(pen.Width(), 1, 1000);
  if (pw == 1) return ThinShape(kind, box, cw, ch);
  const int a = pen.Style() == psInsideFrame ? 0 : (pw - 1) / 2;
  return BandShape(kind, InflateRect(box, a, a), cw + 2 * a, ch + 2 * a, pw);
}

double AngleOf(long long dx2, long long dy2) {
  // Counter-clockwise as seen on the y-down screen.
  double t = std::atan2(-double(dy2), double(dx2));
  if (t < 0) t += 2 * std::numbers::pi;
  return t;
}

// Pixels of `src` (surface coordinates) copied into canvas-local `dest`,
// nearest neighbour when the sizes differ; pixels equal to `key` are skipped
// or, with `replace`, painted with it.
struct TBlitKey {
  bool Active = false;
  TPixel Key = 0;
  const TPixel* Replace = nullptr;
};

void Blit(TRaster& r, const TRect& destIn, const TSurface& src, const TRect& srcIn, const TBlitKey& key) {
  const TRect dest = Clamp(destIn);
  const TRect srcRect = Clamp(srcIn);
  const int dw = dest.Width();
  const int dh = dest.Height();
  const int sw = srcRect.Width();
  const int sh = srcRect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (!r.Begin(dest)) return;
  const TRect vis = IntersectRect(r.LocalClip(), dest);
  const std::size_t w = std::size_t(vis.Width());
  std::vector<int> columns(w);
  bool allColumns = true;
  for (std::size_t i = 0; i < w; ++i) {
    const int sx = srcRect.Left + int(static_cast<long long>(vis.Left + int(i) - dest.Left) * sw / dw);
    columns[i] = sx >= 0 && sx < src.Width() ? sx : -1;
    allColumns = allColumns && columns[i] >= 0;
  }
  // Gather every source row first: source and target may share a surface.
  std::vector<TPixel> block(w * std::size_t(vis.Height()));
  std::vector<bool> rowValid(std::size_t(vis.Height()));
  for (int y = vis.Top; y < vis.Bottom; ++y) {
    const int sy = srcRect.Top + int(static_cast<long long>(y - dest.Top) * sh / dh);
    if (sy < 0 || sy >= src.Height()) continue;
    rowValid[std::size_t(y - vis.Top)] = true;
    const TPixel* in = src.Row(sy);
    TPixel* out = block.data() + std::size_t(y - vis.Top) * w;
    for (std::size_t i = 0; i < w; ++i)
      if (columns[i] >= 0) out[i] = in[columns[i]];
  }
  for (int y = vis.Top; y < vis.Bottom; ++y) {
    if (!rowValid[std::size_t(y - vis.Top)]) continue;
    const TPixel* line = block.data() + std::size_t(y - vis.Top) * w;
    if (!key.Active && allColumns) {
      r.Row(y, vis.Left, {line, w});
      continue;
    }
    for (std::size_t i = 0; i < w; ++i) {
      if (columns[i] < 0) continue;
      const int x = vis.Left + int(i);
      if (!key.Active || line[i] != key.Key)
        r.Plot(x, y, line[i]);
      else if (key.Replace != nullptr)
        r.Plot(x, y, *key.Replace);
    }
  }
}

// Prefix processing: "&x" shows x underlined, "&&" shows "&".
std::u32string StripPrefixes(const std::u32string& text, std::vector<std::size_t>& underlined) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U'&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != U'&') underlined.push_back(out.size());
    }
    out += text[i];
  }
  return out;
}

struct TDrawLine {
  std::u32string Text;
  std::vector<std::size_t> Underlined;  // indices into Text
};

// Splits into lines at line breaks and, with word wrap, where the next word
// would pass `maxWidth`; a word wider than that keeps a line of its own.
std::vector<TDrawLine> BreakLines(const std::u32string& text, const std::vector<std::size_t>& underlined,
                                  unsigned flags, int maxWidth, const TFont& font, int tabWidth) {
  std::vector<TDrawLine> lines;
  TDrawLine cur;
  std::size_t u = 0;
  const bool single = (flags & DT_SINGLELINE) != 0;
  const bool wrap = (flags & DT_WORDBREAK) != 0 && !single;
  auto width = [&](const std::u32string& s) { return TFontCache::Global().Layout(font, s, tabWidth).Width; };
  auto push = [&] {
    lines.push_back(std::move(cur));
    cur = {};
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const char32_t c = text[i];
    if (c == U'\r' || c == U'\n') {
      if (single) {
        ++i;
        continue;
      }
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      ++i;
      push();
      continue;
    }
    // One word (with the spaces before it) at a time.
    std::size_t j = i;
    while (j < text.size() && text[j] == U' ') ++j;
    while (j < text.size() && text[j] != U' ' && text[j] != U'\r' && text[j] != U'\n') ++j;
    std::u32string piece = text.substr(i, j - i);
    if (wrap && !cur.Text.empty() && width(cur.Text + piece) > maxWidth) {
      push();
      const std::size_t lead = piece.find_first_not_of(U' ');
      const std::size_t skip = lead == std::u32string::npos ? piece.size() : lead;
      i += skip;
      piece.erase(0, skip);
    }
    for (std::size_t k = 0; k < piece.size(); ++k) {
      while (u < underlined.size() && underlined[u] < i + k) ++u;
      if (u < underlined.size() && underlined[u] == i + k) cur.Underlined.push_back(cur.Text.size());
      cur.Text += piece[k];
    }
    i = j;
  }
  push();
  return lines;
}

TRect InkBounds(const TTextLine& line, int x, int y) {
  TRect b{x, y, x + line.Width, y + line.Metrics.Ascent + line.Metrics.Descent};
  const int base = y + line.Metrics.Ascent;
  for (const auto& it : line.Items)
    if (it.Glyph && it.Glyph->Width > 0)
      b = UnionRect(
          b, Bounds(x + it.X + it.Glyph->Left, base - it.Glyph->Top, it.Glyph->Width, it.Glyph->Height));
  return b;
}

void DrawGlyphs(TRaster& r, const TTextLine& line, int x, int y, TPixel color) {
  const int base = y + line.Metrics.Ascent;
  const TRect clip = r.LocalClip();
  for (const auto& it : line.Items) {
    const TGlyphImage* g = it.Glyph.get();
    if (g == nullptr || g->Width == 0) continue;
    const int gx = x + it.X + g->Left;
    const int gy = base - g->Top;
    const int y0 = std::max(gy, clip.Top), y1 = std::min(gy + g->Height, clip.Bottom);
    const int x0 = std::max(gx, clip.Left), x1 = std::min(gx + g->Width, clip.Right);
    for (int py = y0; py < y1; ++py) {
      const std::uint8_t* cov = g->Coverage.data() + std::size_t(py - gy) * std::size_t(g->Width);
      for (int px = x0; px < x1; ++px) r.Blend(px, py, color, cov[px - gx]);
    }
  }
}

void FillCell(TRaster& r, const TRect& cell, TPixel pixel) {
  const TRect vis = IntersectRect(cell, r.LocalClip());
  for (int y = vis.Top; y < vis.Bottom; ++y) r.Span(y, vis.Left, vis.Right, pixel);
}

int ItemAdvance(const TTextLine& line, std::size_t i) {
  const int next = i + 1 < line.Items.size() ? line.Items[i + 1].X : line.Width;
  return next - line.Items[i].X;
}

void DrawDecorations(TRaster& r, const TTextLine& line, int x, int y, const TFont& font, TPixel color,
                     const std::vector<std::size_t>& underlined) {
  const TFontMetrics& m = line.Metrics;
  const int base = y + m.Ascent;
  auto bar = [&](int top, int thickness, int x0, int x1) {
    for (int k = 0; k < thickness; ++k) r.Span(top + k, x0, x1, color);
  };
  if (font.Style().Contains(fsUnderline))
    bar(base + m.UnderlinePosition, m.UnderlineThickness, x, x + line.Width);
  if (font.Style().Contains(fsStrikeOut))
    bar(base - m.StrikeoutPosition, m.StrikeoutThickness, x, x + line.Width);
  for (std::size_t i : underlined)
    if (i < line.Items.size())
      bar(base + m.UnderlinePosition, m.UnderlineThickness, x + line.Items[i].X,
          x + line.Items[i].X + ItemAdvance(line, i));
}

}  // namespace

TCanvas::TCanvas()
    : Pen_(std::make_unique<TPen>()), Brush_(std::make_unique<TBrush>()), Font_(std::make_unique<TFont>()) {}

TCanvas::TCanvas(TSurface* surface) : TCanvas() { Surface_ = surface; }

TCanvas::~TCanvas() = default;

void TCanvas::SetSurface(TSurface* surface) { Surface_ = surface; }

TRect TCanvas::ClipRect() const {
  TRect c = Clip_;
  if (Surface_ != nullptr) c = IntersectRect(c, Surface_->BoundsRect());
  return OffsetRect(c, -Origin_.X, -Origin_.Y);
}

void TCanvas::MoveTo(int x, int y) { PenPos_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
  const TPoint from = Clamp(PenPos_);
  const TPoint to = Clamp(TPoint{x, y});
  TRaster r(*this);
  int phase = 0;
  if (r.Begin(LineBounds(from, to, Pen_->Width()))) RasterLine(r, from, to, *Pen_, false, phase);
  PenPos_ = {x, y};
  r.Finish();
}

void TCanvas::Polyline(std::span<const TPoint> input) {
  if (input.size() < 2) return;
  const std::vector<TPoint> points = Clamp(input);
  TRect bounds{};
  for (std::size_t i = 1; i < points.size(); ++i)
    bounds = UnionRect(bounds, LineBounds(points[i - 1], points[i], Pen_->Width()));
  TRaster r(*this);
  if (!r.Begin(bounds)) return;
  int phase = 0;
  for (std::size_t i = 1; i < points.size(); ++i)
    RasterLine(r, points[i - 1], points[i], *Pen_, false, phase);
  r.Finish();
}

void TCanvas::Polygon(std::span<const TPoint> input) {
  if (input.size() < 2) return;
  const std::vector<TPoint> points = Clamp(input);
  TRect bounds{};
  for (std::size_t i = 0; i < points.size(); ++i)
    bounds = UnionRect(bounds, LineBounds(points[i], points[(i + 1) % points.size()], Pen_->Width()));
  TRaster r(*this);
  if (!r.Begin(bounds)) return;
  if (Brush_->Style() != bsClear) {
    // Even-odd rule sampled at integer points: left and top edges belong to
    // the polygon, right and bottom edges do not.
    const TPixel fill = ColorToPixel(Brush_->Color());
    const TRect clip = r.LocalClip();
    std::vector<double> xs;
    for (int y = clip.Top; y < clip.Bottom; ++y) {
      xs.clear();
      for (std::size_t i = 0; i < points.size(); ++i) {
        const TPoint a = points[i];
        const TPoint b = points[(i + 1) % points.size()];
        if (a.Y == b.Y) continue;
        const TPoint lo = a.Y < b.Y ? a : b;
        const TPoint hi = a.Y < b.Y ? b : a;
        if (y < lo.Y || y >= hi.Y) continue;
        xs.push_back(lo.X + double(y - lo.Y) * (hi.X - lo.X) / double(hi.Y - lo.Y));
      }
      std::sort(xs.begin(), xs.end());
      for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
        const int x0 = int(std::ceil(xs[k]));
        const int x1 = int(std::ceil(xs[k + 1]));
        r.Span(y, x0, x1, fill);
      }
    }
  }
  int phase = 0;
  for (std::size_t i = 0; i < points.size(); ++i)
    RasterLine(r, points[i], points[(i + 1) % points.size()], *Pen_, false, phase);
  r.Finish();
}

namespace {

void DrawShape(TCanvas& canvas, TRaster& r, TShapeKind kind, const TRect& box, int cw, int ch) {
  if (box.IsEmpty()) return;
  const TOutlinedShape s = BuildShape(kind, box, cw, ch, canvas.Pen());
  if (!r.Begin(s.Box)) return;
  const TPixel pen = ColorToPixel(canvas.Pen().Color());
  const TPixel brush = ColorToPixel(canvas.Brush().Color());
  PaintShape(r, s, canvas.Pen().Style() == psClear ? nullptr : &pen,
             canvas.Brush().Style() == bsClear ? nullptr : &brush);
}

}  // namespace

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  TRaster r(*this);
  DrawShape(*this, r, TShapeKind::Rect, Normalized(x1, y1, x2, y2), 0, 0);
  r.Finish();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight) {
  TRaster r(*this);
  DrawShape(*this, r, TShapeKind::RoundRect, Normalized(x1, y1, x2, y2), std::abs(cornerWidth),
            std::abs(cornerHeight));
  r.Finish();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  TRaster r(*this);
  DrawShape(*this, r, TShapeKind::Ellipse, Normalized(x1, y1, x2, y2), 0, 0);
  r.Finish();
}

void TCanvas::FillRect(const TRect& input) {
  const TRect rect = Clamp(input);
  if (Brush_->Style() == bsClear || rect.IsEmpty()) return;
  TRaster r(*this);
  if (!r.Begin(rect)) return;
  const TPixel p = ColorToPixel(Brush_->Color());
  const TRect vis = IntersectRect(r.LocalClip(), rect);
  for (int y = vis.Top; y < vis.Bottom; ++y) r.Span(y, vis.Left, vis.Right, p);
  r.Finish();
}

void TCanvas::FrameRect(const TRect& input) {
  const TRect rect = Clamp(input);
  if (Brush_->Style() == bsClear || rect.IsEmpty()) return;
  TRaster r(*this);
  if (!r.Begin(rect)) return;
  const TPixel p = ColorToPixel(Brush_->Color());
  r.Span(rect.Top, rect.Left, rect.Right, p);
  r.Span(rect.Bottom - 1, rect.Left, rect.Right, p);
  const TRect clip = r.LocalClip();
  for (int y = std::max(rect.Top + 1, clip.Top); y < std::min(rect.Bottom - 1, clip.Bottom); ++y) {
    r.Plot(rect.Left, y, p);
    r.Plot(rect.Right - 1, y, p);
  }
  r.Finish();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const TRect box = Normalized(x1, y1, x2, y2);
  if (box.IsEmpty() || Pen_->Style() == psClear) return;
  const TOutlinedShape s = BuildShape(TShapeKind::Ellipse, box, 0, 0, *Pen_);
  TRaster r(*this);
  if (!r.Begin(s.Box)) return;
  // Doubled coordinates keep the centre of an even-sized box exact.
  const long long cx2 = static_cast<long long>(box.Left) + box.Right - 1;
  const long long cy2 = static_cast<long long>(box.Top) + box.Bottom - 1;
  const double start = AngleOf(2LL * x3 - cx2, 2LL * y3 - cy2);
  const double end = AngleOf(2LL * x4 - cx2, 2LL * y4 - cy2);
  constexpr double TwoPi = 2 * std::numbers::pi;
  constexpr double Epsilon = 1e-9;
  double sweep = std::fmod(end - start + TwoPi, TwoPi);
  const bool whole = (x3 == x4 && y3 == y4) || sweep < Epsilon;
  const TPixel pen = ColorToPixel(Pen_->Color());
  ForEachOutlinePixel(r, s, [&](int x, int y) {
    if (!whole) {
      const long long dx2 = 2LL * x - cx2;
      const long long dy2 = 2LL * y - cy2;
      if (dx2 != 0 || dy2 != 0) {
        const double t = std::fmod(AngleOf(dx2, dy2) - start + TwoPi, TwoPi);
        if (t > sweep + Epsilon && t < TwoPi - Epsilon) return;
      }
    }
    r.Plot(x, y, pen);
  });
  r.Finish();
}

namespace {

// Ring i of a frame is visible only when one of its four edges, which lie i
// pixels in from the outer rectangle, crosses the clip: at most four runs of i.
std::vector<std::pair<int, int>> VisibleRings(const TRect& outer, const TRect& clip, int width) {
  const std::pair<long long, long long> runs[] = {
      {static_cast<long long>(clip.Left) - outer.Left, static_cast<long long>(clip.Right) - outer.Left},
      {static_cast<long long>(outer.Right) - clip.Right, static_cast<long long>(outer.Right) - clip.Left},
      {static_cast<long long>(clip.Top) - outer.Top, static_cast<long long>(clip.Bottom) - outer.Top},
      {static_cast<long long>(outer.Bottom) - clip.Bottom, static_cast<long long>(outer.Bottom) - clip.Top},
  };
  std::vector<std::pair<int, int>> out;
  for (const auto& [lo, hi] : runs) {
    const int a = int(std::clamp<long long>(lo, 0, width));
    const int b = int(std::clamp<long long>(hi, 0, width));
    if (a < b) out.emplace_back(a, b);
  }
  std::sort(out.begin(), out.end());
  return out;
}

void DrawFrameRings(TRaster& r, const TRect& outer, int width, TPixel top, TPixel bottom) {
  const TRect clip = r.LocalClip();
  int next = 0;
  for (const auto& [from, to] : VisibleRings(outer, clip, width)) {
    for (int i = std::max(from, next); i < to; ++i) {
      const TRect ring = InflateRect(outer, -i, -i);
      if (ring.IsEmpty()) return;
      r.Span(ring.Top, ring.Left, ring.Right - 1, top);
      r.Plot(ring.Right - 1, ring.Top, bottom);
      for (int y = std::max(ring.Top + 1, clip.Top); y < std::min(ring.Bottom - 1, clip.Bottom); ++y) {
        r.Plot(ring.Left, y, top);
        r.Plot(ring.Right - 1, y, bottom);
      }
      r.Span(ring.Bottom - 1, ring.Left, ring.Right, bottom);
    }
    next = std::max(next, to);
  }
}

}  // namespace

void TCanvas::Frame3D(TRect& rect, TColor topColor, TColor bottomColor, int width) {
  if (width <= 0) return;
  TRaster r(*this);
  const TRect outer = Clamp(rect);
  width = std::min(width, CoordLimit);
  rect = InflateRect(outer, -width, -width);
  if (!r.Begin(outer)) return;
  DrawFrameRings(r, outer, width, ColorToPixel(topColor), ColorToPixel(bottomColor));
  r.Finish();
}

TColor TCanvas::Pixel(int x, int y) const {
  if (Surface_ == nullptr) return clNone;
  const TPoint p{x + Origin_.X, y + Origin_.Y};
  if (!Surface_->BoundsRect().Contains(p)) return clNone;
  return PixelToColor(Surface_->At(p.X, p.Y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  x = Clamp(x), y = Clamp(y);
  TRaster r(*this);
  if (r.Begin({x, y, x + 1, y + 1})) r.Plot(x, y, ColorToPixel(color));
  r.Finish();
}

TSize TCanvas::TextExtent(const std::string& text) {
  const TTextLine line = TFontCache::Global().Layout(*Font_, Utf8Decode(text));
  return {line.Width, line.Metrics.Ascent + line.Metrics.Descent};
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  x = Clamp(x), y = Clamp(y);
  const TTextLine line = TFontCache::Global().Layout(*Font_, Utf8Decode(text));
  PenPos_ = {x + line.Width, y};
  if (text.empty()) return;
  const TRect cell{x, y, x + line.Width, y + line.Metrics.Ascent + line.Metrics.Descent};
  TRaster r(*this);
  if (!r.Begin(InkBounds(line, x, y))) return;
  if (Brush_->Style() != bsClear) FillCell(r, cell, ColorToPixel(Brush_->Color()));
  const TPixel color = ColorToPixel(Font_->Color());
  DrawGlyphs(r, line, x, y, color);
  DrawDecorations(r, line, x, y, *Font_, color, {});
  r.Finish();
}

void TCanvas::TextRect(const TRect& input, int x, int y, const std::string& text) {
  const TRect rect = Clamp(input);
  x = Clamp(x), y = Clamp(y);
  TRaster r(*this);
  if (!r.Begin(rect)) return;
  if (Brush_->Style() != bsClear) FillCell(r, rect, ColorToPixel(Brush_->Color()));
  const TTextLine line = TFontCache::Global().Layout(*Font_, Utf8Decode(text));
  const TPixel color = ColorToPixel(Font_->Color());
  DrawGlyphs(r, line, x, y, color);
  DrawDecorations(r, line, x, y, *Font_, color, {});
  r.Finish();
}

namespace {

// A DrawText block: its lines as broken and laid out in one font.
struct TTextBlock {
  std::vector<TDrawLine> Lines;
  std::vector<TTextLine> Laid;
  int LineHeight = 0;
  int Widest = 0;
  int Height() const { return LineHeight * int(Lines.size()); }
};

TTextBlock LayOutBlock(const std::string& text, const TFont& font, int width, unsigned flags) {
  TFontCache& cache = TFontCache::Global();
  const TFontMetrics m = cache.Metrics(font);
  const int tabWidth = (flags & DT_EXPANDTABS) != 0 ? 8 * m.AveCharWidth : 0;
  std::vector<std::size_t> underlined;
  std::u32string chars = Utf8Decode(text);
  if ((flags & DT_NOPREFIX) == 0) chars = StripPrefixes(chars, underlined);
  TTextBlock block;
  block.LineHeight = m.Ascent + m.Descent;
  block.Lines = BreakLines(chars, underlined, flags, width, font, tabWidth);
  for (const TDrawLine& l : block.Lines) {
    block.Laid.push_back(cache.Layout(font, l.Text, tabWidth));
    block.Widest = std::max(block.Widest, block.Laid.back().Width);
  }
  return block;
}

int BlockTop(const TRect& r, unsigned flags, int lineHeight) {
  if ((flags & DT_SINGLELINE) == 0) return r.Top;
  if ((flags & DT_VCENTER) != 0) return r.Top + (r.Height() - lineHeight) / 2;
  if ((flags & DT_BOTTOM) != 0) return r.Bottom - lineHeight;
  return r.Top;
}

int LineLeft(const TRect& r, unsigned flags, int width) {
  if ((flags & DT_CENTER) != 0) return r.Left + (r.Width() - width) / 2;
  if ((flags & DT_RIGHT) != 0) return r.Right - width;
  return r.Left;
}

}  // namespace

int TCanvas::DrawText(const std::string& text, TRect& rect, unsigned flags) {
  const TTextBlock block = LayOutBlock(text, *Font_, rect.Width(), flags);
  if ((flags & DT_CALCRECT) != 0) {
    rect.Right = rect.Left + block.Widest;
    rect.Bottom = rect.Top + block.Height();
    return block.Height();
  }
  const int top = BlockTop(rect, flags, block.LineHeight);
  const int result = top - rect.Top + block.Height();
  TRect bounds{};
  for (std::size_t i = 0; i < block.Laid.size(); ++i)
    bounds = UnionRect(bounds, InkBounds(block.Laid[i], LineLeft(rect, flags, block.Laid[i].Width),
                                         top + int(i) * block.LineHeight));
  if ((flags & DT_NOCLIP) == 0) bounds = IntersectRect(bounds, rect);
  TRaster r(*this);
  if (!r.Begin(bounds)) return result;
  const TPixel color = ColorToPixel(Font_->Color());
  for (std::size_t i = 0; i < block.Laid.size(); ++i) {
    const TTextLine& line = block.Laid[i];
    const int x = LineLeft(rect, flags, line.Width);
    const int y = top + int(i) * block.LineHeight;
    if (Brush_->Style() != bsClear)
      FillCell(r, Bounds(x, y, line.Width, block.LineHeight), ColorToPixel(Brush_->Color()));
    DrawGlyphs(r, line, x, y, color);
    DrawDecorations(r, line, x, y, *Font_, color, block.Lines[i].Underlined);
  }
  r.Finish();
  return result;
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
  if (source.Surface_ == nullptr) return;
  TRaster r(*this);
  Blit(r, dest, *source.Surface_, OffsetRect(sourceRect, source.Origin_.X, source.Origin_.Y), {});
  r.Finish();
}

namespace {

TBlitKey TransparencyOf(const TBitmap& bitmap) {
  if (!bitmap.Transparent() || bitmap.Empty()) return {};
  const TColor c = bitmap.TransparentColor();
  if (c == clNone) return {};
  return {true, ColorToPixel(c), nullptr};
}

}  // namespace

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  TRaster r(*this);
  Blit(r, Bounds(Clamp(x), Clamp(y), bitmap.Width(), bitmap.Height()), bitmap.Surface(),
       bitmap.Surface().BoundsRect(), TransparencyOf(bitmap));
  r.Finish();
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  TRaster r(*this);
  Blit(r, dest, bitmap.Surface(), bitmap.Surface().BoundsRect(), TransparencyOf(bitmap));
  r.Finish();
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TColor keyColor) {
  const TPixel brush = ColorToPixel(Brush_->Color());
  TRaster r(*this);
  Blit(r, dest, source.Surface(), sourceRect,
       {true, ColorToPixel(keyColor), Brush_->Style() == bsClear ? nullptr : &brush});
  r.Finish();
}
