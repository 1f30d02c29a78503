// A region built up from rectangles: what a window must repaint, what a
// surface must present.
#pragma once

#include <cstddef>
#include <vector>

#include "types.h"

class TRegion {
 public:
  // Past this many separate rectangles the region collapses into their union:
  // the cost of walking it stays bounded and a busy frame handles one block.
  static constexpr std::size_t MaxRects = 32;

  // Adds r. Rectangles that overlap or share an edge merge into their union
  // (ones touching only at a corner stay apart); a rectangle already covered
  // adds nothing; an empty one is ignored.
  void Include(const TRect& r);
  bool IsEmpty() const { return Rects_.empty(); }
  const std::vector<TRect>& Rects() const { return Rects_; }
  TRect Bounds() const;
  // Hands the rectangles over and leaves the region empty.
  std::vector<TRect> Take();
  void Clear() { Rects_.clear(); }

 private:
  std::vector<TRect> Rects_;
};
