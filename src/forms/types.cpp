#include "types.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Windows 10 default system colours, indexed by system colour number
// (0x00BBGGRR like every TColor).
constexpr std::array<TColor, 31> SystemColorTable = {
    0xC8C8C8,  // 0 scroll bar
    0x000000,  // 1 desktop
    0xD1B499,  // 2 active caption
    0xDBCDBF,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xFCF7F4,  // 11 inactive border
    0xABABAB,  // 12 application workspace
    0xD77800,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 gray text
    0x000000,  // 18 button text
    0x000000,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3-D dark shadow
    0xE3E3E3,  // 22 3-D light
    0x000000,  // 23 info text
    0xE1FFFF,  // 24 info background
    0x000000,  // 25 (unused)
    0xCC6600,  // 26 hot light
    0xEAD1B9,  // 27 gradient active caption
    0xF2E4D7,  // 28 gradient inactive caption
    0xD77800,  // 29 menu highlight
    0xF0F0F0,  // 30 menu bar
};

}  // namespace

TColor ColorToRGB(TColor color) {
  if ((color & clSystemColor) != 0) {
    const unsigned index = color & 0xFF;
    return index < SystemColorTable.size() ? SystemColorTable[index] : clBlack;
  }
  return color & 0x00FFFFFF;
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

TRect OffsetRect(const TRect& r, int dx, int dy) {
  return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

TRect InflateRect(const TRect& r, int dx, int dy) {
  return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}

// Rounds half away from zero; -1 for a zero denominator, as the classic helper.
int MulDivRound(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t p = std::int64_t(number) * numerator;
  std::int64_t d = denominator;
  std::int64_t q = p / d;
  const std::int64_t r = p % d;
  std::int64_t ar = r < 0 ? -r : r;
  std::int64_t ad = d < 0 ? -d : d;
  if (2 * ar >= ad) q += ((p < 0) != (d < 0)) ? -1 : 1;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return int(q);
}
