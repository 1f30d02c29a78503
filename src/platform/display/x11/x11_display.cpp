// The X11 window backend: real top-level windows presenting the framework's
// pixel surfaces with XPutImage.
#include "../display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "process_info.h"
#include "scaling.h"
#include "utf8.h"

namespace display {
namespace {

constexpr int DoubleClickDistance = 4;
constexpr auto PasteWait = std::chrono::milliseconds(500);

// Virtual-key codes the framework understands.
constexpr std::uint16_t VkBack = 0x08, VkTab = 0x09, VkReturn = 0x0D, VkShift = 0x10, VkControl = 0x11,
                        VkMenu = 0x12, VkEscape = 0x1B, VkSpace = 0x20, VkPrior = 0x21, VkNext = 0x22,
                        VkEnd = 0x23, VkHome = 0x24, VkLeft = 0x25, VkUp = 0x26, VkRight = 0x27,
                        VkDown = 0x28, VkInsert = 0x2D, VkDelete = 0x2E, VkF1 = 0x70;

std::uint16_t VirtualKeyOf(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return std::uint16_t('A' + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return std::uint16_t('A' + (sym - XK_A));
  if (sym >= XK_0 && sym <= XK_9) return std::uint16_t('0' + (sym - XK_0));
  if (sym >= XK_F1 && sym <= XK_F12) return std::uint16_t(VkF1 + (sym - XK_F1));
  switch (sym) {
    case XK_BackSpace: return VkBack;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VkTab;
    case XK_Return:
    case XK_KP_Enter: return VkReturn;
    case XK_Escape: return VkEscape;
    case XK_space: return VkSpace;
    case XK_Prior: return VkPrior;
    case XK_Next: return VkNext;
    case XK_End:
    case XK_KP_End: return VkEnd;
    case XK_Home:
    case XK_KP_Home: return VkHome;
    case XK_Left:
    case XK_KP_Left: return VkLeft;
    case XK_Up:
    case XK_KP_Up: return VkUp;
    case XK_Right:
    case XK_KP_Right: return VkRight;
    case XK_Down:
    case XK_KP_Down: return VkDown;
    case XK_Insert:
    case XK_KP_Insert: return VkInsert;
    case XK_Delete:
    case XK_KP_Delete: return VkDelete;
    case XK_Shift_L:
    case XK_Shift_R: return VkShift;
    case XK_Control_L:
    case XK_Control_R: return VkControl;
    case XK_Alt_L:
    case XK_Alt_R: return VkMenu;
    default: return 0;
  }
}

// Code point of a keysym, for the path without an input method.
char32_t CharOfKeysym(KeySym sym) {
  if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF)) return char32_t(sym);
  if ((sym & 0xFF000000) == 0x01000000) return char32_t(sym & 0x00FFFFFF);
  if (sym >= 0x6C0 && sym <= 0x6FF) {
    // Cyrillic keysyms in the legacy block, ordered as KOI8.
    static const char32_t table[64] = {
        0x44E, 0x430, 0x431, 0x446, 0x434, 0x435, 0x444, 0x433, 0x445, 0x438, 0x439, 0x43A, 0x43B,
        0x43C, 0x43D, 0x43E, 0x43F, 0x44F, 0x440, 0x441, 0x442, 0x443, 0x436, 0x432, 0x44C, 0x44B,
        0x437, 0x448, 0x44D, 0x449, 0x447, 0x44A, 0x42E, 0x410, 0x411, 0x426, 0x414, 0x415, 0x424,
        0x413, 0x425, 0x418, 0x419, 0x41A, 0x41B, 0x41C, 0x41D, 0x41E, 0x41F, 0x42F, 0x420, 0x421,
        0x422, 0x423, 0x416, 0x412, 0x42C, 0x42B, 0x417, 0x428, 0x42D, 0x429, 0x427, 0x42A};
    return table[sym - 0x6C0];
  }
  switch (sym) {
    case XK_BackSpace: return 8;
    case XK_Tab:
    case XK_ISO_Left_Tab: return 9;
    case XK_Return:
    case XK_KP_Enter: return 13;
    case XK_Escape: return 27;
    default: return 0;
  }
}

unsigned ModsOf(unsigned state) {
  unsigned m = 0;
  if (state & ShiftMask) m |= ModShift;
  if (state & ControlMask) m |= ModCtrl;
  if (state & Mod1Mask) m |= ModAlt;
  if (state & Button1Mask) m |= ModLeft;
  if (state & Button2Mask) m |= ModMiddle;
  if (state & Button3Mask) m |= ModRight;
  return m;
}

std::string ProgramName() {
  const std::string name = platform::ProgramName();
  return name.empty() ? "pinlark" : name;
}

// Whole factor from the screen's resolution as the desktop publishes it
// (Xft.dpi, 96 per 1x), overridden by PINLARK_SCALE.
int ScaleOf(::Display* dpy, const std::string& program) {
  if (const int chosen = ScaleFromEnvironment(program)) return chosen;
  int scale = 1;
  if (const char* resources = XResourceManagerString(dpy)) {
    XrmInitialize();
    if (XrmDatabase db = XrmGetStringDatabase(resources)) {
      char* type = nullptr;
      XrmValue value{};
      if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        char* end = nullptr;
        const double dpi = std::strtod(value.addr, &end);
        if (end != value.addr) scale = ScaleForDpi(dpi);
      }
      XrmDestroyDatabase(db);
    }
  }
  return scale;
}

// X errors come from requests that race with other clients (a window gone, a
// focus change refused); they are reported, never fatal.
int ReportXError(::Display* dpy, XErrorEvent* e) {
  // Focus requests lose races with the window manager as a matter of course.
  if (e->request_code == X_SetInputFocus) return 0;
  char text[256] = {};
  XGetErrorText(dpy, e->error_code, text, sizeof text);
  static const std::string program = ProgramName();
  std::fprintf(stderr, "%s: X error: %s (request %d)\n", program.c_str(), text, int(e->request_code));
  return 0;
}

class X11Display;

class X11Window : public Window {
 public:
  X11Window(X11Display& display, const WindowParams& params, WindowEvents* events);
  ~X11Window() override;

  void Show() override;
  void Hide() override;
  bool Visible() const override { return Visible_; }
  void SetTitle(const std::string& title) override;
  void SetIcon(PixelView icon) override;
  void Present(PixelView frame, std::span<const Rect> damage) override;
  std::uint64_t UploadedPixels() const override { return Uploaded_; }

  ::Window Handle() const { return Handle_; }
  void Handle(XEvent& e);

 private:
  void ApplyHints(const WindowParams& params);
  void Button(XButtonEvent& e, bool pressed);
  void KeyEvent(XKeyEvent& e, bool pressed);
  void TakeFocus();
  void GiveFocusBack();

  X11Display& Display_;
  WindowEvents* Events_;
  ::Window Handle_ = 0;
  XIC Ic_ = nullptr;
  bool Visible_ = false;
  // Drawing before the first Expose is lost; that Expose presents the frame.
  bool Exposed_ = false;
  bool Dialog_ = false;
  int Scale_ = 1;
  int Width_;   // screen pixels
  int Height_;  // screen pixels
  Time LastPressTime_ = 0;
  unsigned LastPressButton_ = 0;
  int LastPressX_ = 0;
  int LastPressY_ = 0;
  // Without a window manager a modal box takes the keyboard itself and gives
  // it back to where it was when it goes.
  bool OwnsFocus_ = false;
  ::Window FocusBefore_ = PointerRoot;
  int RevertBefore_ = RevertToPointerRoot;
  std::vector<std::uint32_t> Upload_;
  std::uint64_t Uploaded_ = 0;
};

class X11Display : public Display {
 public:
  X11Display() : ProgramName_(ProgramName()) {
    const char* name = std::getenv("DISPLAY");
    Dpy_ = XOpenDisplay(nullptr);
    if (!Dpy_) {
      throw DisplayError(std::string("cannot open X display '") + (name ? name : "") +
                         "': set DISPLAY or run under Xvfb");
    }
    XSetErrorHandler(ReportXError);
    Screen_ = DefaultScreen(Dpy_);
    ChooseVisual();
    if (pipe2(WakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
      XCloseDisplay(Dpy_);
      throw DisplayError(std::string("cannot create the wake pipe: ") + std::strerror(errno));
    }
    Scale_ = ScaleOf(Dpy_, ProgramName_);
    Im_ = XOpenIM(Dpy_, nullptr, nullptr, nullptr);
    for (const char* n : {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING",
                          "_MOTIF_WM_HINTS", "_NET_WM_ICON", "CLIPBOARD", "TARGETS", "_NET_WM_WINDOW_TYPE",
                          "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_STATE", "_NET_WM_STATE_MODAL",
                          "_NET_SUPPORTING_WM_CHECK", "PINLARK_PASTE", "_NET_WM_PID"}) {
      Atoms_[n] = XInternAtom(Dpy_, n, False);
    }
    // A window that never shows, owning the clipboard selection.
    SelectionWindow_ = XCreateSimpleWindow(Dpy_, RootWindow(Dpy_, Screen_), 0, 0, 1, 1, 0, 0, 0);
  }

  ~X11Display() override {
    if (Im_) XCloseIM(Im_);
    XDestroyWindow(Dpy_, SelectionWindow_);
    XCloseDisplay(Dpy_);
    close(WakePipe_[0]);
    close(WakePipe_[1]);
  }

  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowEvents* events) override {
    return std::make_unique<X11Window>(*this, params, events);
  }

  void WaitEvents(std::optional<std::chrono::nanoseconds> timeout) override {
    if (DispatchPending()) return;
    pollfd fds[2] = {{ConnectionNumber(Dpy_), POLLIN, 0}, {WakePipe_[0], POLLIN, 0}};
    int ms = -1;
    if (timeout) ms = int(std::chrono::ceil<std::chrono::milliseconds>(std::max(*timeout, {})).count());
    poll(fds, 2, ms);
    if (fds[1].revents & POLLIN) {
      char buf[64];
      while (read(WakePipe_[0], buf, sizeof buf) > 0) {
      }
    }
    DispatchPending();
  }

  void Wake() override {
    const char c = 1;
    // A full pipe already wakes the loop; nothing more to do then.
    [[maybe_unused]] ssize_t n = write(WakePipe_[1], &c, 1);
  }

  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }

  void SetClipboardText(const std::string& text) override {
    Clipboard_ = text;
    XSetSelectionOwner(Dpy_, AtomOf("CLIPBOARD"), SelectionWindow_, CurrentTime);
    OwnClipboard_ = XGetSelectionOwner(Dpy_, AtomOf("CLIPBOARD")) == SelectionWindow_;
    XFlush(Dpy_);
  }

  std::string ClipboardText() override {
    if (OwnClipboard_) return Clipboard_;
    const ::Atom prop = AtomOf("PINLARK_PASTE");
    XDeleteProperty(Dpy_, SelectionWindow_, prop);
    XConvertSelection(Dpy_, AtomOf("CLIPBOARD"), AtomOf("UTF8_STRING"), prop, SelectionWindow_, CurrentTime);
    XFlush(Dpy_);
    const auto end = std::chrono::steady_clock::now() + PasteWait;
    XEvent e;
    while (!XCheckTypedWindowEvent(Dpy_, SelectionWindow_, SelectionNotify, &e)) {
      const auto left = end - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) return "";
      pollfd fd{ConnectionNumber(Dpy_), POLLIN, 0};
      poll(&fd, 1, int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    }
    if (e.xselection.property == None) return "";
    ::Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(Dpy_, SelectionWindow_, prop, 0, 1 << 20, True, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
      if (format == 8) text.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    return text;
  }

  // The framework lays out at 1x: the screen it sees is the real one divided by the scale.
  int ScreenWidth() const override { return DisplayWidth(Dpy_, Screen_) / Scale_; }
  int ScreenHeight() const override { return DisplayHeight(Dpy_, Screen_) / Scale_; }

  ::Display* Dpy() const { return Dpy_; }
  int Screen() const { return Screen_; }
  Visual* TheVisual() const { return Visual_; }
  int Depth() const { return Depth_; }
  Colormap TheColormap() const { return Colormap_; }
  XIM Im() const { return Im_; }
  ::Atom AtomOf(const char* name) const { return Atoms_.at(name); }
  const PixelFormat& Format() const { return Format_; }
  int Scale() const { return Scale_; }
  const std::string& Program() const { return ProgramName_; }

  bool WindowManagerRunning() const {
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(Dpy_, RootWindow(Dpy_, Screen_), AtomOf("_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data && count == 1;
    if (data) XFree(data);
    return found;
  }

  void Register(X11Window* w) { Windows_[w->Handle()] = w; }
  void Unregister(X11Window* w) { Windows_.erase(w->Handle()); }

 private:
  void ChooseVisual() {
    XVisualInfo info;
    if (XMatchVisualInfo(Dpy_, Screen_, 24, TrueColor, &info) ||
        XMatchVisualInfo(Dpy_, Screen_, 32, TrueColor, &info)) {
      Visual_ = info.visual;
      Depth_ = info.depth;
    } else {
      XCloseDisplay(Dpy_);
      throw DisplayError("the X display offers no 24- or 32-bit TrueColor visual");
    }
    Colormap_ = XCreateColormap(Dpy_, RootWindow(Dpy_, Screen_), Visual_, AllocNone);
    const unsigned long masks[3] = {Visual_->red_mask, Visual_->green_mask, Visual_->blue_mask};
    int shifts[3] = {};
    for (int i = 0; i < 3; ++i) {
      unsigned long m = masks[i];
      while (m && !(m & 1)) {
        m >>= 1;
        ++shifts[i];
      }
    }
    Format_ = {shifts[0], shifts[1], shifts[2]};
  }

  bool DispatchPending() {
    bool any = false;
    while (XPending(Dpy_)) {
      XEvent e;
      XNextEvent(Dpy_, &e);
      any = true;
      if (XFilterEvent(&e, None)) continue;
      if (e.type == SelectionRequest) {
        AnswerSelection(e.xselectionrequest);
      } else if (e.type == SelectionClear) {
        OwnClipboard_ = false;
      } else if (auto it = Windows_.find(e.xany.window); it != Windows_.end()) {
        it->second->Handle(e);
      }
    }
    return any;
  }

  void AnswerSelection(const XSelectionRequestEvent& req) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = req.display;
    reply.requestor = req.requestor;
    reply.selection = req.selection;
    reply.target = req.target;
    reply.time = req.time;
    reply.property = req.property == None ? req.target : req.property;
    if (req.target == AtomOf("TARGETS")) {
      const ::Atom targets[3] = {AtomOf("TARGETS"), AtomOf("UTF8_STRING"), XA_STRING};
      XChangeProperty(Dpy_, req.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(targets), 3);
    } else if (req.target == AtomOf("UTF8_STRING") || req.target == XA_STRING) {
      XChangeProperty(Dpy_, req.requestor, reply.property, req.target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(Clipboard_.data()), int(Clipboard_.size()));
    } else {
      reply.property = None;
    }
    XSendEvent(Dpy_, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
    XFlush(Dpy_);
  }

  std::string ProgramName_;
  ::Display* Dpy_ = nullptr;
  int Screen_ = 0;
  Visual* Visual_ = nullptr;
  int Depth_ = 24;
  Colormap Colormap_ = 0;
  XIM Im_ = nullptr;
  int WakePipe_[2] = {-1, -1};
  std::map<std::string, ::Atom> Atoms_;
  ::Window SelectionWindow_ = 0;
  std::string Clipboard_;
  bool OwnClipboard_ = false;
  PixelFormat Format_;
  int Scale_ = 1;
  std::map<::Window, X11Window*> Windows_;
};

X11Window::X11Window(X11Display& display, const WindowParams& params, WindowEvents* events)
    : Display_(display),
      Events_(events),
      Dialog_(params.Dialog),
      Scale_(display.Scale()),
      Width_(std::max(params.ClientWidth, 1) * Scale_),
      Height_(std::max(params.ClientHeight, 1) * Scale_) {
  ::Display* dpy = Display_.Dpy();
  XSetWindowAttributes attrs{};
  attrs.colormap = Display_.TheColormap();
  attrs.border_pixel = 0;
  attrs.background_pixmap = None;
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask;
  int x = params.Left * Scale_, y = params.Top * Scale_;
  if (params.Centered) {
    x = std::max(0, (DisplayWidth(dpy, Display_.Screen()) - Width_) / 2);
    y = std::max(0, (DisplayHeight(dpy, Display_.Screen()) - Height_) / 2);
  }
  Handle_ = XCreateWindow(dpy, RootWindow(dpy, Display_.Screen()), x, y, unsigned(Width_), unsigned(Height_),
                          0, Display_.Depth(), InputOutput, Display_.TheVisual(),
                          CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attrs);
  if (Display_.Im()) {
    Ic_ = XCreateIC(Display_.Im(), XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                    Handle_, XNFocusWindow, Handle_, nullptr);
  }
  ApplyHints(params);
  if (params.Dialog && params.Owner) {
    if (auto* owner = dynamic_cast<X11Window*>(params.Owner))
      XSetTransientForHint(dpy, Handle_, owner->Handle());
  }
  SetTitle(params.Title);
  Display_.Register(this);
}

X11Window::~X11Window() {
  Hide();
  Display_.Unregister(this);
  if (Ic_) XDestroyIC(Ic_);
  XDestroyWindow(Display_.Dpy(), Handle_);
  XFlush(Display_.Dpy());
}

void X11Window::ApplyHints(const WindowParams& params) {
  ::Display* dpy = Display_.Dpy();
  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | USPosition;
  size->x = params.Left * Scale_;
  size->y = params.Top * Scale_;
  if (!params.Resizable) {
    size->flags |= PMinSize | PMaxSize;
    size->min_width = size->max_width = Width_;
    size->min_height = size->max_height = Height_;
  }
  XSetWMNormalHints(dpy, Handle_, size);
  XFree(size);

  XWMHints* wm = XAllocWMHints();
  wm->flags = InputHint | StateHint;
  wm->input = True;
  wm->initial_state = NormalState;
  XSetWMHints(dpy, Handle_, wm);
  XFree(wm);

  // res_name is the program's own name, so each program of ours has its own class.
  std::string resName = Display_.Program();
  std::string resClass = resName;
  resClass[0] = char(std::toupper(static_cast<unsigned char>(resClass[0])));
  XClassHint classHint{resName.data(), resClass.data()};
  XSetClassHint(dpy, Handle_, &classHint);

  ::Atom del = Display_.AtomOf("WM_DELETE_WINDOW");
  XSetWMProtocols(dpy, Handle_, &del, 1);

  // Motif hints: which functions and decorations the window manager offers.
  enum : long { FuncResize = 2, FuncMove = 4, FuncMinimize = 8, FuncMaximize = 16, FuncClose = 32 };
  enum : long {
    DecorBorder = 2,
    DecorResize = 4,
    DecorTitle = 8,
    DecorMenu = 16,
    DecorMinimize = 32,
    DecorMaximize = 64
  };
  long hints[5] = {1 | 2, FuncMove | FuncClose, DecorBorder | DecorTitle | DecorMenu, 0, 0};
  if (params.Resizable) hints[1] |= FuncResize, hints[2] |= DecorResize;
  if (params.Minimizable) hints[1] |= FuncMinimize, hints[2] |= DecorMinimize;
  if (params.Maximizable) hints[1] |= FuncMaximize, hints[2] |= DecorMaximize;
  const ::Atom motif = Display_.AtomOf("_MOTIF_WM_HINTS");
  XChangeProperty(dpy, Handle_, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints),
                  5);

  if (params.Dialog) {
    ::Atom type = Display_.AtomOf("_NET_WM_WINDOW_TYPE_DIALOG");
    XChangeProperty(dpy, Handle_, Display_.AtomOf("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    // A box blocks the rest of its application; the window manager should show it so.
    ::Atom modal = Display_.AtomOf("_NET_WM_STATE_MODAL");
    XChangeProperty(dpy, Handle_, Display_.AtomOf("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&modal), 1);
  }
  long pid = long(getpid());
  XChangeProperty(dpy, Handle_, Display_.AtomOf("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
}

void X11Window::Show() {
  if (Visible_) return;
  Visible_ = true;
  Exposed_ = false;
  if (Dialog_ && !Display_.WindowManagerRunning()) {
    OwnsFocus_ = true;
    XGetInputFocus(Display_.Dpy(), &FocusBefore_, &RevertBefore_);
  }
  XMapRaised(Display_.Dpy(), Handle_);
  XFlush(Display_.Dpy());
}

void X11Window::Hide() {
  if (!Visible_) return;
  Visible_ = false;
  Exposed_ = false;
  GiveFocusBack();
  XUnmapWindow(Display_.Dpy(), Handle_);
  XFlush(Display_.Dpy());
}

void X11Window::TakeFocus() {
  if (OwnsFocus_) XSetInputFocus(Display_.Dpy(), Handle_, RevertToParent, CurrentTime);
}

void X11Window::GiveFocusBack() {
  if (!OwnsFocus_) return;
  OwnsFocus_ = false;
  ::Window focus = None;
  int revert = 0;
  XGetInputFocus(Display_.Dpy(), &focus, &revert);
  // Someone else moved the focus meanwhile: leave it where they put it.
  if (focus == Handle_) XSetInputFocus(Display_.Dpy(), FocusBefore_, RevertBefore_, CurrentTime);
}

void X11Window::SetTitle(const std::string& title) {
  ::Display* dpy = Display_.Dpy();
  const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
  const ::Atom utf8 = Display_.AtomOf("UTF8_STRING");
  XChangeProperty(dpy, Handle_, Display_.AtomOf("_NET_WM_NAME"), utf8, 8, PropModeReplace, bytes,
                  int(title.size()));
  XChangeProperty(dpy, Handle_, XA_WM_NAME, utf8, 8, PropModeReplace, bytes, int(title.size()));
  XFlush(dpy);
}

void X11Window::SetIcon(PixelView icon) {
  if (!icon.Pixels || icon.Width <= 0 || icon.Height <= 0) return;
  std::vector<unsigned long> data;
  data.reserve(2 + std::size_t(icon.Width) * std::size_t(icon.Height));
  data.push_back(unsigned(icon.Width));
  data.push_back(unsigned(icon.Height));
  for (int y = 0; y < icon.Height; ++y) {
    for (int x = 0; x < icon.Width; ++x) data.push_back(0xFF000000ul | icon.Pixels[y * icon.Stride + x]);
  }
  XChangeProperty(Display_.Dpy(), Handle_, Display_.AtomOf("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(data.data()), int(data.size()));
}

void X11Window::Present(PixelView frame, std::span<const Rect> damage) {
  if (!Visible_ || !Exposed_ || !frame.Pixels || frame.Width <= 0 || frame.Height <= 0) return;
  ::Display* dpy = Display_.Dpy();
  const PixelFormat& format = Display_.Format();
  // The frame goes up as it is when the screen takes its pixels 1:1; otherwise
  // the damaged parts are converted and scaled into the upload buffer first.
  const bool direct = Scale_ == 1 && format.IsNative();
  const int width = frame.Width * Scale_, height = frame.Height * Scale_;
  const std::uint32_t* pixels = frame.Pixels;
  int stride = frame.Stride;
  if (!direct) {
    Upload_.resize(std::size_t(width) * std::size_t(height));
    pixels = Upload_.data();
    stride = width;
  }
  XImage* image = XCreateImage(dpy, Display_.TheVisual(), unsigned(Display_.Depth()), ZPixmap, 0,
                               reinterpret_cast<char*>(const_cast<std::uint32_t*>(pixels)), unsigned(width),
                               unsigned(height), 32, stride * 4);
  if (!image) return;
  // Our pixels are in this machine's byte order; Xlib swaps for a server that differs.
  image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  GC gc = DefaultGC(dpy, Display_.Screen());
  for (const Rect& r : damage) {
    const Rect part{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, frame.Width),
                    std::min(r.Bottom, frame.Height)};
    if (part.Left >= part.Right || part.Top >= part.Bottom) continue;
    if (!direct) ScaleRect(frame, part, Scale_, format, Upload_.data(), stride);
    const Rect out = ToScreen(part, Scale_);
    const unsigned w = unsigned(out.Right - out.Left), h = unsigned(out.Bottom - out.Top);
    XPutImage(dpy, Handle_, gc, image, out.Left, out.Top, out.Left, out.Top, w, h);
    Uploaded_ += std::uint64_t(w) * h;
  }
  image->data = nullptr;  // the pixels belong to the caller or to Upload_
  XDestroyImage(image);
  XFlush(dpy);
}

void X11Window::Handle(XEvent& e) {
  switch (e.type) {
    case Expose: {
      if (!Visible_) break;
      Exposed_ = true;
      const Rect r{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height};
      Events_->Exposed(ToFrame(r, Scale_));
      break;
    }
    case MapNotify: TakeFocus(); break;
    // Unmapped (say, minimised) the window keeps nothing; the Expose after mapping brings it back.
    case UnmapNotify: Exposed_ = false; break;
    case ButtonPress: Button(e.xbutton, true); break;
    case ButtonRelease: Button(e.xbutton, false); break;
    case MotionNotify: {
      // Only the latest position matters.
      while (XCheckTypedWindowEvent(Display_.Dpy(), Handle_, MotionNotify, &e)) {
      }
      Events_->MouseMove(ModsOf(e.xmotion.state), ToFrame(e.xmotion.x, Scale_), ToFrame(e.xmotion.y, Scale_));
      break;
    }
    case LeaveNotify:
      if (e.xcrossing.mode == NotifyNormal) Events_->MouseLeave();
      break;
    case KeyPress: KeyEvent(e.xkey, true); break;
    case KeyRelease: KeyEvent(e.xkey, false); break;
    case FocusIn:
      if (Ic_) XSetICFocus(Ic_);
      Events_->FocusChanged(true);
      break;
    case FocusOut:
      if (Ic_) XUnsetICFocus(Ic_);
      Events_->FocusChanged(false);
      break;
    case ClientMessage:
      if (e.xclient.message_type == Display_.AtomOf("WM_PROTOCOLS") &&
          ::Atom(e.xclient.data.l[0]) == Display_.AtomOf("WM_DELETE_WINDOW")) {
        Events_->CloseRequest();
      }
      break;
    default: break;
  }
}

void X11Window::Button(XButtonEvent& e, bool pressed) {
  display::Button b;
  unsigned bit;
  switch (e.button) {
    case Button1: b = display::Button::Left, bit = ModLeft; break;
    case Button2: b = display::Button::Middle, bit = ModMiddle; break;
    case Button3: b = display::Button::Right, bit = ModRight; break;
    default: return;  // wheel
  }
  unsigned mods = ModsOf(e.state);
  mods = pressed ? (mods | bit) : (mods & ~bit);
  bool doubleClick = false;
  if (pressed) {
    const auto limit = std::chrono::milliseconds(Display_.DoubleClickTime()).count();
    const int distance = DoubleClickDistance * Scale_;
    doubleClick = LastPressButton_ == e.button && e.time - LastPressTime_ <= Time(limit) &&
                  std::abs(e.x - LastPressX_) <= distance && std::abs(e.y - LastPressY_) <= distance;
    // A third press starts over rather than making another double click.
    LastPressButton_ = doubleClick ? 0 : e.button;
    LastPressTime_ = e.time;
    LastPressX_ = e.x;
    LastPressY_ = e.y;
  }
  Events_->MouseButton(b, pressed, doubleClick, mods, ToFrame(e.x, Scale_), ToFrame(e.y, Scale_));
}

void X11Window::KeyEvent(XKeyEvent& e, bool pressed) {
  const unsigned mods = ModsOf(e.state) & (ModShift | ModCtrl | ModAlt);
  char buf[64];
  KeySym sym = NoSymbol;
  std::u32string chars;
  if (pressed && Ic_) {
    Status status;
    const int n = Xutf8LookupString(Ic_, &e, buf, sizeof buf, &sym, &status);
    if (status == XLookupChars || status == XLookupBoth)
      chars = platform::Utf8Decode(std::string_view(buf, std::size_t(std::max(n, 0))));
    // An input method that only names the key (e.g. in the C locale) still gets its character.
    if (chars.empty() && status == XLookupKeySym) {
      if (char32_t c = CharOfKeysym(sym)) chars.push_back(c);
    }
  } else {
    XLookupString(&e, buf, sizeof buf, &sym, nullptr);
    if (pressed) {
      if (char32_t c = CharOfKeysym(sym)) chars.push_back(c);
    }
  }
  if (sym == NoSymbol) sym = XLookupKeysym(&e, 0);
  if (const std::uint16_t vk = VirtualKeyOf(sym)) Events_->Key(vk, pressed, mods);
  if (!pressed || (mods & (ModCtrl | ModAlt))) return;
  for (char32_t c : chars) {
    if (c != 0x7F) Events_->Char(c);
  }
}

}  // namespace

std::unique_ptr<Display> CreateDefaultDisplay() { return std::make_unique<X11Display>(); }

}  // namespace display
