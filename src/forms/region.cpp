#include "region.h"

#include <algorithm>

namespace {

bool Mergeable(const TRect& a, const TRect& b) {
  const bool xOverlap = a.Left < b.Right && b.Left < a.Right;
  const bool yOverlap = a.Top < b.Bottom && b.Top < a.Bottom;
  const bool xAdjacent = a.Right == b.Left || b.Right == a.Left;
  const bool yAdjacent = a.Bottom == b.Top || b.Bottom == a.Top;
  return (xOverlap && yOverlap) || (xAdjacent && yOverlap) || (yAdjacent && xOverlap);
}

}  // namespace

void TRegion::Include(const TRect& r) {
  if (r.IsEmpty()) return;
  if (std::any_of(Rects_.begin(), Rects_.end(), [&](const TRect& d) { return IntersectRect(d, r) == r; }))
    return;
  // A union may reach rectangles the new one did not: merge until none is left.
  TRect merged = r;
  for (auto it = Rects_.begin(); it != Rects_.end();) {
    if (Mergeable(*it, merged)) {
      merged = UnionRect(merged, *it);
      Rects_.erase(it);
      it = Rects_.begin();
    } else {
      ++it;
    }
  }
  Rects_.push_back(merged);
  if (Rects_.size() > MaxRects) Rects_.assign(1, Bounds());
}

TRect TRegion::Bounds() const {
  TRect all{};
  for (const TRect& d : Rects_) all = UnionRect(all, d);
  return all;
}

std::vector<TRect> TRegion::Take() {
  std::vector<TRect> out;
  out.swap(Rects_);
  return out;
}
