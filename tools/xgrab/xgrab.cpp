// xgrab: saves the X screen, or one window, as a PNG.
//   xgrab OUT.png [WINDOW-ID]
// Used by scripts/run.sh for the headless screenshot.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "graphics.h"

namespace {

struct TDisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
struct TImageDestroyer {
  void operator()(XImage* i) const { XDestroyImage(i); }
};

int Channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long max = mask >> shift;
  return int(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: xgrab OUT.png [WINDOW-ID]\n");
    return 2;
  }
  std::unique_ptr<Display, TDisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "xgrab: cannot open display '%s'\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  Window window = DefaultRootWindow(display.get());
  if (argc == 3) window = Window(std::strtoul(argv[2], nullptr, 0));
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display.get(), window, &attributes)) {
    std::fprintf(stderr, "xgrab: no window %s\n", argv[2]);
    return 1;
  }
  std::unique_ptr<XImage, TImageDestroyer> image(XGetImage(display.get(), window, 0, 0,
                                                           unsigned(attributes.width),
                                                           unsigned(attributes.height), AllPlanes, ZPixmap));
  if (!image) {
    std::fprintf(stderr, "xgrab: the window's pixels cannot be read\n");
    return 1;
  }
  TSurface surface(attributes.width, attributes.height);
  for (int y = 0; y < attributes.height; ++y)
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long p = XGetPixel(image.get(), x, y);
      surface.Row(y)[x] = TPixel(Channel(p, image->red_mask) << 16 | Channel(p, image->green_mask) << 8 |
                                 Channel(p, image->blue_mask));
    }
  std::string error;
  if (!SaveSurfaceToPng(surface, argv[1], &error)) {
    std::fprintf(stderr, "xgrab: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
