// Span-level drawing shared by the canvas primitives. Internal to the
// graphics library: coordinates given to TRaster are canvas-local and are
// translated by the canvas origin and clipped to its clip and surface.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "graphics.h"

// One row of a shape: pixels X0..X1-1 (empty when X1 <= X0).
struct TSpan {
  int X0 = 0;
  int X1 = 0;
  bool Empty() const { return X1 <= X0; }
};

// Rows 0..h-1 of the ellipse fitting the half-open box w x h: pixel (x, y) is
// inside when its centre lies in the ellipse through the box's edges.
std::vector<TSpan> EllipseSpans(int w, int h);
// Rows of a w x h rectangle whose corners are the quarters of a cw x ch ellipse.
std::vector<TSpan> RoundRectSpans(int w, int h, int cw, int ch);

class TRaster {
 public:
  explicit TRaster(TCanvas& canvas);
  ~TRaster();  // adds what was touched to the surface's damage
  TRaster(const TRaster&) = delete;
  TRaster& operator=(const TRaster&) = delete;

  // Narrows drawing to `localBounds`; false when nothing of it is visible.
  bool Begin(const TRect& localBounds);
  // Visible area in canvas-local coordinates.
  TRect LocalClip() const;

  void Span(int y, int x0, int x1, TPixel pixel);
  void Plot(int x, int y, TPixel pixel);
  void Blend(int x, int y, TPixel pixel, unsigned alpha);  // alpha 0..255
  // Copies one pixel row (already in surface format) starting at (x, y).
  void Row(int y, int x, std::span<const TPixel> pixels);

 private:
  void Touch(int x0, int y0, int x1, int y1);
  TSurface* Surface_;
  TPoint Origin_;
  TRect Clip_;  // surface coordinates
  TRect Touched_{};
};

// Draws the segment a..b with the pen (b left out unless includeEnd).
// `phase` carries a dash pattern position across connected segments.
void RasterLine(TRaster& r, TPoint a, TPoint b, const TPen& pen, bool includeEnd, int& phase);
// Bounding box (canvas-local) of everything RasterLine may touch for a..b.
TRect LineBounds(TPoint a, TPoint b, int penWidth);

// A filled shape with its outline: row y of the shape (canvas-local y =
// Top + y) covers Shape[y] shifted by Left; Interior[y] lies inside it and is
// what the brush fills; the rest of Shape[y] is the outline.
struct TShapeRows {
  int Left = 0;
  int Top = 0;
  std::vector<TSpan> Shape;
  std::vector<TSpan> Interior;
  TRect Bounds() const;
};
// 1-pixel outline: every shape pixel with a 4-neighbour outside the shape.
TShapeRows ThinOutline(int left, int top, std::vector<TSpan> shape);
// Wide outline: the band between `outer` and `inner`, where inner's row 0 is
// outer's row `insetY` and inner's x offset is `insetX`.
TShapeRows BandOutline(int left, int top, std::vector<TSpan> outer, const std::vector<TSpan>& inner, int insetX,
                       int insetY);
// Fills the interior (when `fill`) and the outline (when `outline`).
void PaintShape(TRaster& r, const TShapeRows& s, const TPixel* outline, const TPixel* fill);
// Visits every outline pixel (canvas-local coordinates).
template <class F>
void ForEachOutlinePixel(const TShapeRows& s, F&& f) {
  for (int y = 0; y < int(s.Shape.size()); ++y) {
    const TSpan sp = s.Shape[std::size_t(y)];
    const TSpan in = s.Interior[std::size_t(y)];
    for (int x = sp.X0; x < sp.X1; ++x)
      if (in.Empty() || x < in.X0 || x >= in.X1) f(s.Left + x, s.Top + y);
  }
}
