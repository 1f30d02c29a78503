#include "scaling.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace display {

void ScaleRect(const PixelView& frame, const Rect& r, int scale, const PixelFormat& format,
               std::uint32_t* out, int outStride) {
  const std::size_t stride = std::size_t(outStride);
  const std::size_t width = std::size_t(r.Right - r.Left) * std::size_t(scale);
  for (int y = r.Top; y < r.Bottom; ++y) {
    const std::uint32_t* from = frame.Pixels + std::size_t(y) * std::size_t(frame.Stride);
    std::uint32_t* first = out + std::size_t(y) * std::size_t(scale) * stride + std::size_t(r.Left * scale);
    std::uint32_t* to = first;
    for (int x = r.Left; x < r.Right; ++x) to = std::fill_n(to, scale, format.Convert(from[x]));
    // The other rows of the block repeat the first.
    for (int k = 1; k < scale; ++k) std::copy_n(first, width, first + std::size_t(k) * stride);
  }
}

int ScaleForDpi(double dpi) {
  if (!std::isfinite(dpi) || dpi <= 0) return 1;
  return int(std::clamp(std::lround(dpi / 96.0), 1L, long(MaxScale)));
}

int ScaleFromEnvironment(const std::string& program) {
  const char* env = std::getenv("PINLARK_SCALE");
  if (!env || !*env) return 0;
  const std::string_view text(env);
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '0' + MaxScale) return text[0] - '0';
  std::fprintf(stderr, "%s: PINLARK_SCALE=%s ignored: expected a whole number from 1 to %d\n",
               program.c_str(), env, MaxScale);
  return 0;
}

int ToFrame(int screen, int scale) {
  // Rounds down for negative positions too (a captured pointer left of the window).
  return screen >= 0 ? screen / scale : -((-screen + scale - 1) / scale);
}

Rect ToFrame(const Rect& screen, int scale) {
  return {ToFrame(screen.Left, scale), ToFrame(screen.Top, scale), -ToFrame(-screen.Right, scale),
          -ToFrame(-screen.Bottom, scale)};
}

Rect ToScreen(const Rect& frame, int scale) {
  return {frame.Left * scale, frame.Top * scale, frame.Right * scale, frame.Bottom * scale};
}

}  // namespace display
