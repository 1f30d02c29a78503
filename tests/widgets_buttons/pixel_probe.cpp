#include "pixel_probe.h"

#include <algorithm>

#include <gtest/gtest.h>

int TSnapshot::Count(TColor c) const { return int(std::count(Pixels.begin(), Pixels.end(), c)); }

TColor PixelOf(const TControl& control, int x, int y) {
  return PixelToColor(control.Parent()->Surface().At(control.Left() + x, control.Top() + y));
}

TSnapshot Snap(const TControl& control) {
  TSnapshot s{control.Width(), control.Height(), {}};
  for (int y = 0; y < s.Height; ++y)
    for (int x = 0; x < s.Width; ++x) s.Pixels.push_back(PixelOf(control, x, y));
  return s;
}

bool TInk::IsTouched(int x, int y) const {
  return x >= 0 && y >= 0 && x < Width && y < Height && Touched[std::size_t(y * Width + x)];
}
bool TInk::IsSolid(int x, int y) const {
  return x >= 0 && y >= 0 && x < Width && y < Height && Solid[std::size_t(y * Width + x)];
}
int TInk::SolidCount() const { return int(std::count(Solid.begin(), Solid.end(), true)); }

TInk InkOf(const TSnapshot& reference, TColor background, TColor textColor, const TRect& area) {
  TInk ink{std::vector<bool>(reference.Pixels.size()), std::vector<bool>(reference.Pixels.size()),
           reference.Width, reference.Height};
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      const TColor c = reference.At(x, y);
      ink.Touched[std::size_t(y * ink.Width + x)] = c != background;
      ink.Solid[std::size_t(y * ink.Width + x)] = c == textColor;
    }
  return ink;
}

int ExpectCopyAt(const TSnapshot& shot, const TInk& ink, TPoint offset, TColor color,
                 const std::vector<TPoint>& over, const TRect& area) {
  int checked = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      if (!ink.IsSolid(x - offset.X, y - offset.Y)) continue;
      const bool hidden =
          std::any_of(over.begin(), over.end(), [&](TPoint o) { return ink.IsTouched(x - o.X, y - o.Y); });
      if (hidden) continue;
      ++checked;
      EXPECT_EQ(shot.At(x, y), color)
          << "at (" << x << ", " << y << ") for the copy at (" << offset.X << ", " << offset.Y << ")";
    }
  return checked;
}

TRect InkBounds(const TSnapshot& shot, TColor background, const TRect& area) {
  TRect b{area.Right, area.Bottom, area.Left, area.Top};
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x)
      if (shot.At(x, y) != background)
        b = {std::min(b.Left, x), std::min(b.Top, y), std::max(b.Right, x + 1), std::max(b.Bottom, y + 1)};
  return b;
}
