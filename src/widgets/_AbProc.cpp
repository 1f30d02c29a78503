#include "_AbProc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "helpers.h"

namespace {

int Trunc(double v) { return int(v); }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  for (;;) {
    auto bar = text.find('|', start);
    lines.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return lines;
    start = bar + 1;
  }
}

// Colour of step i of a gradient from `from` with per-step increments held
// as 32-bit floats.
class TColorRamp {
 public:
  TColorRamp(TColor from, TColor to, int steps) {
    From_ = {GetRValue(from), GetGValue(from), GetBValue(from)};
    const std::array<int, 3> target = {GetRValue(to), GetGValue(to), GetBValue(to)};
    for (int c = 0; c < 3; ++c) Step_[c] = float(target[c] - From_[c]) / float(steps);
  }
  // Components From + RoundHalfEven(i * step), kept to 8 bits.
  TColor At(double i) const {
    return Make([&](int c) { return From_[c] + RoundHalfEven(i * double(Step_[c])); });
  }
  // Components Trunc(From + i * step), kept to 8 bits.
  TColor AtTrunc(int i) const {
    return Make([&](int c) { return Trunc(From_[c] + double(i) * double(Step_[c])); });
  }

 private:
  template <class F>
  static TColor Make(F component) {
    return RGB(std::uint8_t(component(0) & 0xFF), std::uint8_t(component(1) & 0xFF),
               std::uint8_t(component(2) & 0xFF));
  }
  std::array<int, 3> From_{};
  std::array<float, 3> Step_{};
};

int LargestDifference(TColor from, TColor to) {
  const int k = std::max({std::abs(int(GetRValue(to)) - int(GetRValue(from))),
                          std::abs(int(GetGValue(to)) - int(GetGValue(from))),
                          std::abs(int(GetBValue(to)) - int(GetBValue(from)))});
  return std::max(k, 1);
}

void SetPenAndBrush(TCanvas& c, TColor color) {
  c.Pen().SetColor(color);
  c.Brush().SetColor(color);
}

void Line(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

struct TGradientJob {
  TCanvas& C;
  int W;
  int H;
  TColor From;
  TColor To;
  int K;
};

// Bands of Trunc colours: rows (vertical == false) or columns.
void DrawBands(const TGradientJob& g, bool columns) {
  const int extent = columns ? g.W : g.H;
  int n = std::min(g.K, extent);
  const int band = extent / n;
  n = extent / band;
  if (n == 0) n = 1;
  TColorRamp ramp(g.From, g.To, n);
  for (int i = 0; i <= n; ++i) {
    g.C.Brush().SetColor(ramp.AtTrunc(i));
    g.C.FillRect(columns ? Rect(i * band, 0, (i + 1) * band, g.H) : Rect(0, i * band, g.W, (i + 1) * band));
  }
}

// Full-length lines at `centre` + t and `centre` - t for t = 1..n; lines
// before the first row or column are skipped.
void DrawMirroredLines(const TGradientJob& g, bool columns, int centre, int n) {
  TColorRamp ramp(g.From, g.To, n);
  auto line = [&](int at) {
    if (columns)
      Line(g.C, at, 0, at, g.H);
    else
      Line(g.C, 0, at, g.W, at);
  };
  g.C.Pen().SetColor(g.From);
  line(centre);
  for (int t = 1; t <= n; ++t) {
    g.C.Pen().SetColor(ramp.At(t));
    line(centre + t);
    if (centre - t >= 0) line(centre - t);
  }
}

void DrawCentred2(const TGradientJob& g, bool columns) {
  int n = (columns ? g.W : g.H) / 2;
  if (n == 0) n = 1;
  DrawMirroredLines(g, columns, n, n);
}

void DrawCentred3(const TGradientJob& g, bool columns) {
  const int extent = columns ? g.W : g.H;
  int n = RoundHalfEven(extent * 0.67);
  if (n == 0) n = 1;
  DrawMirroredLines(g, columns, extent / 3, n);
}

void FillAll(const TGradientJob& g, TColor color) {
  SetPenAndBrush(g.C, color);
  g.C.FillRect(Rect(0, 0, g.W, g.H));
}

void DrawElliptic(const TGradientJob& g, double factor, TPoint centre) {
  const float px = float(double(g.W) / g.K * factor);
  const float py = float(double(g.H) / g.K * factor);
  TColorRamp ramp(g.From, g.To, g.K);
  FillAll(g, g.To);
  for (int h = g.K; h >= 1; --h) {
    SetPenAndBrush(g.C, ramp.At(h));
    const int rx = RoundHalfEven(h * double(px));
    const int ry = RoundHalfEven(h * double(py));
    g.C.Ellipse(centre.X - rx, centre.Y - ry, centre.X + rx, centre.Y + ry);
  }
}

void DrawRectangles(const TGradientJob& g) {
  const float px = float(double(g.W) / g.K / 2);
  const float py = float(double(g.H) / g.K / 2);
  const int cx = g.W / 2;
  const int cy = g.H / 2;
  TColorRamp ramp(g.From, g.To, g.K);
  for (int n = g.K; n >= 0; --n) {
    SetPenAndBrush(g.C, ramp.At(n));
    const int rx = RoundHalfEven(n * double(px));
    const int ry = RoundHalfEven(n * double(py));
    g.C.Rectangle(cx - rx, cy - ry, cx + rx + 1, cy + ry + 1);
  }
}

void DrawDiamonds(const TGradientJob& g, int n, double scale) {
  const float px = float(double(g.W) / n * scale);
  const float py = float(double(g.H) / n * scale);
  const int cx = g.W / 2;
  const int cy = g.H / 2;
  TColorRamp ramp(g.From, g.To, n);
  FillAll(g, g.To);
  for (int a = n; a >= 1; --a) {
    SetPenAndBrush(g.C, ramp.At(a));
    const int rx = RoundHalfEven(a * double(px));
    const int ry = RoundHalfEven(a * double(py));
    const std::array<TPoint, 5> pts = {Point(cx, cy - ry), Point(cx + rx, cy), Point(cx, cy + ry),
                                       Point(cx - rx, cy), Point(cx, cy - ry)};
    g.C.Polyline(pts);
  }
  g.C.SetPixel(cx, cy, g.From);
}

// Diagonal lines from one corner (From) and the opposite one (To) meeting
// on the other diagonal; `mirrored` starts from the top-right corner.
void DrawCorners(const TGradientJob& g, bool mirrored) {
  const int n = std::max(g.W, g.H);
  const float px = float(double(g.W) / n);
  const float py = float(double(g.H) / n);
  TColorRamp ramp(g.From, g.To, n);
  // Mirrors x about the bitmap when starting from the right.
  auto mx = [&](int x) { return mirrored ? g.W - x : x; };
  for (int i = 0; i <= n; ++i) {
    const int x = RoundHalfEven(i * double(px));
    const int y = RoundHalfEven(i * double(py));
    g.C.Pen().SetColor(ramp.At(i / 2.0));
    Line(g.C, mx(0), y, mx(x), -1);
    g.C.Pen().SetColor(ramp.At(n - i / 2.0));
    Line(g.C, mx(g.W), g.H - y, mx(g.W - x), g.H);
  }
}

void DrawGradientSteps(const TGradientJob& g, TGradientStyle style) {
  switch (style) {
    case gsHorizontal1: return DrawBands(g, false);
    case gsHorizontal2: return DrawCentred2(g, false);
    case gsHorizontal3: return DrawCentred3(g, false);
    case gsVertical1: return DrawBands(g, true);
    case gsVertical2: return DrawCentred2(g, true);
    case gsVertical3: return DrawCentred3(g, true);
    case gsElliptic1: return DrawElliptic(g, 0.5, Point(g.W / 2, g.H / 2));
    case gsElliptic2: return DrawElliptic(g, 0.695, Point(g.W / 2, g.H / 2));
    case gsElliptic3: return DrawElliptic(g, 0.82, Point(g.W / 2 + 1 - g.W / 4, g.H / 2 + 1 - g.H / 4));
    case gsRectangle: return DrawRectangles(g);
    case gsDiamond1: return DrawDiamonds(g, std::max(std::max(g.W, g.H) / 2, g.K), 0.5);
    case gsDiamond2: return DrawDiamonds(g, std::max(std::max(g.W, g.H), g.K), 1.0);
    case gsTopLeft: return DrawCorners(g, false);
    case gsTopRight: return DrawCorners(g, true);
  }
}

// Y of the first line so that the block sits at the anchor.
int FirstLineY(int y, TextAnchor anchor, int blockHeight) {
  if (anchor >= 3 && anchor <= 5) return y - blockHeight / 2;
  if (anchor >= 6 && anchor <= 8) return y - blockHeight;
  return y;
}

// Draws each line of `text` at the anchor; `drawLine` does the drawing.
template <class F>
void ForEachLine(TCanvas& canvas, int y, TextAnchor anchor, const std::string& text, int lineSpacing,
                 F drawLine) {
  if (text.empty()) return;
  const int pitch = canvas.TextHeight("X") + lineSpacing;
  int lineY = FirstLineY(y, anchor, CountChar(text, '|') * pitch);
  for (const auto& line : SplitLines(text)) {
    drawLine(line, lineY);
    lineY += pitch;
  }
}

}  // namespace

TColor BlendColor(TColor from, TColor to, int steps, int index) {
  const TColor a = ColorToRGB(from);
  const TColor b = ColorToRGB(to);
  if (a == b) return from;
  if (steps == 0) steps = 1;
  auto component = [&](std::uint8_t f, std::uint8_t t) {
    return std::uint8_t((f + RoundHalfEven(double(int(t) - int(f)) / steps * index)) & 0xFF);
  };
  return RGB(component(GetRValue(a), GetRValue(b)), component(GetGValue(a), GetGValue(b)),
             component(GetBValue(a), GetBValue(b)));
}

void DrawGradient(TCanvas& canvas, const TRect& rect, TColor colorFrom, TColor colorTo,
                  TGradientStyle style) {
  const int w = rect.Width();
  const int h = rect.Height();
  if (w <= 0 || h <= 0) return;
  TBitmap bitmap(w, h);
  TCanvas& c = bitmap.Canvas();
  const TColor from = ColorToRGB(colorFrom);
  const TColor to = ColorToRGB(colorTo);
  if (from == to) {
    SetPenAndBrush(c, colorFrom);
    c.FillRect(Rect(0, 0, w, h));
  } else {
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsSolid);
    DrawGradientSteps(TGradientJob{c, w, h, from, to, LargestDifference(from, to)}, style);
  }
  canvas.StretchDraw(rect, bitmap);
}

void TextOutAligned(TCanvas& canvas, int x, int y, TextAnchor anchor, const std::string& line) {
  if (anchor < 0 || anchor > 8) anchor = 0;
  const TSize size = canvas.TextExtent(line);
  // Column of the table: 0 left, 1 centre, 2 right; row: 0 top, 1 middle, 2 bottom.
  const int column = anchor % 3;
  const int row = anchor / 3;
  const int left = column == 0 ? x : column == 1 ? x - size.cx / 2 : x - size.cx;
  const int top = row == 0 ? y : row == 1 ? y - size.cy / 2 : y - size.cy;
  canvas.TextOut(left, top, line);
}

void DrawText3D(TCanvas& canvas, int x, int y, bool is3D, TextAnchor anchor, const std::string& text,
                TColor highlightColor, TColor shadowColor, TColor textColor, int lineSpacing) {
  ForEachLine(canvas, y, anchor, text, lineSpacing, [&](const std::string& line, int lineY) {
    if (is3D) {
      canvas.Font().SetColor(highlightColor);
      TextOutAligned(canvas, x + 1, lineY + 1, anchor, line);
      canvas.Font().SetColor(shadowColor);
      TextOutAligned(canvas, x - 1, lineY - 1, anchor, line);
    }
    canvas.Font().SetColor(textColor);
    TextOutAligned(canvas, x, lineY, anchor, line);
  });
}

void DrawAlignedText(TCanvas& canvas, int x, int y, TextAnchor anchor, const std::string& text,
                     int lineSpacing) {
  ForEachLine(canvas, y, anchor, text, lineSpacing,
              [&](const std::string& line, int lineY) { TextOutAligned(canvas, x, lineY, anchor, line); });
}

TSize MeasureTextBlock(TCanvas& canvas, const std::string& text) {
  TSize result{0, canvas.TextHeight(text)};
  for (const auto& line : SplitLines(text)) result.cx = std::max(result.cx, canvas.TextWidth(line));
  return result;
}

int CountChar(const std::string& text, char ch) { return int(std::count(text.begin(), text.end(), ch)); }

void DrawLedShape(TCanvas& canvas, const TRect& r, TLEDShape shape, TColor fillColor, TColor outlineColor) {
  canvas.Pen().SetColor(outlineColor);
  canvas.Pen().SetWidth(1);
  canvas.Brush().SetColor(fillColor);
  const int w = r.Width();
  const int hw = w / 2;
  const int hh = r.Height() / 2;
  auto triangle = [&](TPoint a, TPoint b, TPoint c) {
    const std::array<TPoint, 3> pts = {a, b, c};
    canvas.Polygon(pts);
  };
  switch (shape) {
    case sRound: {
      canvas.Ellipse(r);
      canvas.Pen().SetColor(clBtnHighlight);
      canvas.Pen().SetWidth(w / 8);
      const TRect r2 = InflateRect(r, -(w / 5), -(w / 5));
      canvas.Arc(r2.Left, r2.Top, r2.Right, r2.Bottom, r.Left + hw, r.Top, r.Left, r.Top + hh);
      break;
    }
    case sArrowLeft:
      triangle(Point(r.Left, r.Top + hh), Point(r.Right - 1, r.Top), Point(r.Right - 1, r.Bottom - 1));
      break;
    case sArrowRight:
      triangle(Point(r.Left, r.Top), Point(r.Right - 1, r.Top + hh), Point(r.Left, r.Bottom - 1));
      break;
    case sArrowUp:
      triangle(Point(r.Left + hw, r.Top), Point(r.Right - 1, r.Bottom - 1), Point(r.Left, r.Bottom - 1));
      break;
    case sArrowDown:
      triangle(Point(r.Left, r.Top), Point(r.Right - 1, r.Top), Point(r.Left + hw, r.Bottom - 1));
      break;
    case sRectangle: canvas.RoundRect(r.Left, r.Top, r.Right, r.Bottom, 1, 1); break;
  }
}
