// Reading a graphic control's picture back from its parent's surface, and
// finding where copies of a reference text landed.
#pragma once

#include <vector>

#include "controls.h"

struct TSnapshot {
  int Width = 0;
  int Height = 0;
  std::vector<TColor> Pixels;
  TColor At(int x, int y) const { return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
  int Count(TColor c) const;
};

// The control's area of its parent's surface, as colours.
TSnapshot Snap(const TControl& control);
TColor PixelOf(const TControl& control, int x, int y);

// Where a reference text drew: Touched = differs from the background,
// Solid = exactly the text colour (fully covered).
struct TInk {
  std::vector<bool> Touched;
  std::vector<bool> Solid;
  int Width = 0;
  int Height = 0;
  bool IsTouched(int x, int y) const;
  bool IsSolid(int x, int y) const;
  int SolidCount() const;
};
TInk InkOf(const TSnapshot& reference, TColor background, TColor textColor, const TRect& area);

// Checks every pixel q of `shot` inside `area` whose q - offset is solid ink
// and that no copy drawn later (offsets in `over`) touches: it must be
// `color`. Returns how many pixels were checked.
int ExpectCopyAt(const TSnapshot& shot, const TInk& ink, TPoint offset, TColor color,
                 const std::vector<TPoint>& over, const TRect& area);

// Bounding box of the pixels inside `area` that differ from `background`.
TRect InkBounds(const TSnapshot& shot, TColor background, const TRect& area);
