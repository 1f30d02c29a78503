// Span-level drawing shared by the canvas primitives. Internal to the
// graphics library: coordinates given to TRaster are canvas-local and are
// translated by the canvas origin and clipped to its clip and surface.
#pragma once

#include <algorithm>
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

// Row y (0..h-1) of the ellipse fitting the half-open box w x h: pixel
// (x, y) is inside when its centre lies in the ellipse through the box's
// edges. Exact integer arithmetic, so the shape is symmetric.
TSpan EllipseRow(int w, int h, int y);

enum class TShapeKind { Rect, RoundRect, Ellipse };

// A convex shape filling a w x h box: a rectangle, an ellipse, or a
// rectangle whose corners are the quarters of a cw x ch ellipse.
struct TShapeGeom {
  TShapeKind Kind = TShapeKind::Rect;
  int W = 0;
  int H = 0;
  int CW = 0;
  int CH = 0;
  TSpan Row(int y) const;  // empty outside 0..H-1
};

class TRaster {
 public:
  explicit TRaster(TCanvas& canvas);
  // A primitive left early (an exception) still marks what it touched; the
  // canvas's listeners are told only by Finish.
  ~TRaster();
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

  // The primitive's last step: adds what was touched to the surface's damage
  // and fires the canvas's OnChange, whose handler may throw like any event.
  void Finish();

 private:
  void AddDamage();
  void Touch(int x0, int y0, int x1, int y1);
  TCanvas& Canvas_;
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

// A shape with its outline, computed row by row so that only the visible
// rows cost anything. Row y is canvas-local row Box.Top + y; spans are
// relative to Box.Left. The interior is what the brush fills; the rest of the
// shape row is the outline.
struct TOutlinedShape {
  enum class TMode { Thin, Band, NoOutline };
  TRect Box;  // where the outer shape lies (canvas-local)
  TShapeGeom Outer;
  TShapeGeom Inner;  // Band only: its row 0 is Outer's row Inset, x shifted by Inset
  int Inset = 0;
  TMode Mode = TMode::Thin;

  TSpan ShapeRow(int y) const { return Outer.Row(y); }
  TSpan InteriorRow(int y) const;
};
// 1-pixel outline (every shape pixel with a 4-neighbour outside the shape)
// of the shape filling `box`.
TOutlinedShape ThinShape(TShapeKind kind, const TRect& box, int cw, int ch);
// An outline band `width` pixels wide whose outer edge is the shape filling `outerBox`.
TOutlinedShape BandShape(TShapeKind kind, const TRect& outerBox, int cw, int ch, int width);
// No outline: the brush fills the whole shape.
TOutlinedShape PlainShape(TShapeKind kind, const TRect& box, int cw, int ch);

// Fills the interior (when `fill`) and the outline (when `outline`), visible rows only.
void PaintShape(TRaster& r, const TOutlinedShape& s, const TPixel* outline, const TPixel* fill);
// Visits every visible outline pixel (canvas-local coordinates).
template <class F>
void ForEachOutlinePixel(TRaster& r, const TOutlinedShape& s, F&& f) {
  const TRect clip = IntersectRect(r.LocalClip(), s.Box);
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const TSpan sp = s.ShapeRow(y - s.Box.Top);
    const TSpan in = s.InteriorRow(y - s.Box.Top);
    const int x0 = std::max(sp.X0 + s.Box.Left, clip.Left);
    const int x1 = std::min(sp.X1 + s.Box.Left, clip.Right);
    for (int x = x0; x < x1; ++x) {
      const int rx = x - s.Box.Left;
      if (in.Empty() || rx < in.X0 || rx >= in.X1) f(x, y);
    }
  }
}
