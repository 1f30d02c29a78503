#include "xclient.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "test_support.h"

namespace pinlark::testsupport {

namespace {

using namespace std::chrono_literals;

// Windows of the program under test may go at any moment; a request about a
// window that is gone must fail quietly, not end the test process.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

std::string TitleOf(Display* dpy, Window w) {
  const Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
  for (Atom property : {netName, Atom(XA_WM_NAME)}) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, w, property, 0, 1024, False, AnyPropertyType, &type, &format, &items, &after,
                           &data) == Success &&
        data) {
      std::string title(reinterpret_cast<char*>(data), items);
      XFree(data);
      return title;
    }
  }
  return {};
}

}  // namespace

std::string ToString(const TRgb& c) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.R & 0xFF, c.G & 0xFF, c.B & 0xFF);
  return text;
}

bool Xdotool(const std::string& display, const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  TChild tool(argv, TChildOptions().WithDisplay(display).WithStdout("/dev/null"));
  return tool.Wait(10s) == 0;
}

TXClient::TXClient(const std::string& displayName) : Name_(displayName) {
  XSetErrorHandler(IgnoreXErrors);
  Dpy_ = XOpenDisplay(displayName.c_str());
}

TXClient::~TXClient() {
  if (Dpy_) XCloseDisplay(Dpy_);
}

std::vector<TWindowId> TXClient::Windows(const std::string& title) {
  std::vector<TWindowId> found;
  Window root = DefaultRootWindow(Dpy_), parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(Dpy_, root, &root, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count; ++i) {
    if (TitleOf(Dpy_, children[i]) == title) found.push_back(children[i]);
  }
  if (children) XFree(children);
  return found;
}

TWindowId TXClient::FindWindow(const std::string& title) {
  for (TWindowId w : Windows(title)) {
    XWindowAttributes a;
    if (XGetWindowAttributes(Dpy_, w, &a) && a.map_state == IsViewable) return w;
  }
  return 0;
}

TWindowId TXClient::WaitForWindow(const std::string& title, std::chrono::milliseconds limit) {
  TWindowId w = 0;
  WaitUntil([&] { return (w = FindWindow(title)) != 0; }, limit);
  return w;
}

bool TXClient::Exists(TWindowId w) {
  XWindowAttributes a;
  return XGetWindowAttributes(Dpy_, w, &a) != 0;
}

std::optional<TGeometry> TXClient::Geometry(TWindowId w) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(Dpy_, w, &a)) return std::nullopt;
  TGeometry g{0, 0, a.width, a.height};
  Window child;
  XTranslateCoordinates(Dpy_, w, DefaultRootWindow(Dpy_), 0, 0, &g.X, &g.Y, &child);
  return g;
}

std::optional<TSizeLimits> TXClient::SizeLimits(TWindowId w) {
  XSizeHints hints{};
  long supplied = 0;
  if (!XGetWMNormalHints(Dpy_, w, &hints, &supplied)) return std::nullopt;
  return TSizeLimits{(hints.flags & PMinSize) && (hints.flags & PMaxSize), hints.min_width, hints.min_height,
                     hints.max_width, hints.max_height};
}

std::optional<std::pair<std::string, std::string>> TXClient::ClassHint(TWindowId w) {
  XClassHint hint{};
  if (!XGetClassHint(Dpy_, w, &hint)) return std::nullopt;
  std::pair<std::string, std::string> out{hint.res_name ? hint.res_name : "",
                                          hint.res_class ? hint.res_class : ""};
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return out;
}

TWindowId TXClient::TransientFor(TWindowId w) {
  Window owner = 0;
  return XGetTransientForHint(Dpy_, w, &owner) ? owner : 0;
}

bool TXClient::ListsAtom(TWindowId w, const std::string& property, const std::string& atom) {
  const Atom wanted = XInternAtom(Dpy_, atom.c_str(), False);
  Atom type;
  int format;
  unsigned long items, after;
  unsigned char* data = nullptr;
  bool listed = false;
  if (XGetWindowProperty(Dpy_, w, XInternAtom(Dpy_, property.c_str(), False), 0, 64, False, XA_ATOM, &type,
                         &format, &items, &after, &data) == Success &&
      data) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < items; ++i) listed = listed || atoms[i] == wanted;
    XFree(data);
  }
  return listed;
}

std::vector<TRgb> TXClient::Grab(TWindowId w, TArea a) {
  std::vector<TRgb> pixels;
  XImage* image = XGetImage(Dpy_, w, a.Left, a.Top, unsigned(a.Right - a.Left), unsigned(a.Bottom - a.Top),
                            AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < a.Bottom - a.Top; ++y) {
    for (int x = 0; x < a.Right - a.Left; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      pixels.push_back({int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)});
    }
  }
  XDestroyImage(image);
  return pixels;
}

TRgb TXClient::Pixel(TWindowId w, int x, int y) {
  const std::vector<TRgb> pixels = Grab(w, {x, y, x + 1, y + 1});
  return pixels.empty() ? TRgb{-1, -1, -1} : pixels[0];
}

TRgb TXClient::ScreenPixel(int x, int y) { return Pixel(DefaultRootWindow(Dpy_), x, y); }

void TXClient::SendDeleteWindow(TWindowId w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(Dpy_, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(Dpy_, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(Dpy_, w, False, NoEventMask, &e);
  XFlush(Dpy_);
}

void TXClient::RequestExpose(TWindowId w, TArea a) {
  XClearArea(Dpy_, w, a.Left, a.Top, unsigned(a.Right - a.Left), unsigned(a.Bottom - a.Top), True);
  XFlush(Dpy_);
}

void TXClient::SetResources(const std::string& text) {
  XChangeProperty(Dpy_, DefaultRootWindow(Dpy_), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
  XSync(Dpy_, False);
}

bool TXClient::MapCharacters(std::u32string_view chars) {
  int low = 0, high = 0, perCode = 0;
  XDisplayKeycodes(Dpy_, &low, &high);
  KeySym* map = XGetKeyboardMapping(Dpy_, KeyCode(low), high - low + 1, &perCode);
  if (!map) return false;
  std::vector<KeySym> keys(map, map + (high - low + 1) * perCode);
  XFree(map);
  const auto mapped = [&](KeySym sym) { return std::find(keys.begin(), keys.end(), sym) != keys.end(); };
  int code = low;
  for (char32_t c : chars) {
    // Latin-1 keysyms are the code points; the others are Unicode keysyms.
    const KeySym sym = c < 0x100 ? KeySym(c) : KeySym(0x01000000 | c);
    if (mapped(sym)) continue;
    const auto unused = [&](int k) {
      const auto row = keys.begin() + (k - low) * perCode;
      return std::all_of(row, row + perCode, [](KeySym s) { return s == NoSymbol; });
    };
    while (code <= high && !unused(code)) ++code;
    if (code > high) return false;
    std::fill_n(keys.begin() + (code - low) * perCode, std::min(perCode, 2), sym);  // with and without Shift
    XChangeKeyboardMapping(Dpy_, code, perCode, &keys[(code - low) * perCode], 1);
  }
  XSync(Dpy_, False);
  return true;
}

}  // namespace pinlark::testsupport
