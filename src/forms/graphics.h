// Pixel surfaces, drawing tools, the canvas and bitmaps. The canvas follows
// the classic drawing conventions: half-open rectangles, lines without their
// end point, pen width 0 drawing one pixel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classes.h"
#include "region.h"
#include "types.h"

// 32-bit pixels, 0x00RRGGBB (the layout X11 and PNG writers take directly).
using TPixel = std::uint32_t;
TPixel ColorToPixel(TColor color);  // resolves system colours
TColor PixelToColor(TPixel pixel);

// A block of pixels with a damage list: everything drawn since the last
// TakeDamage(), so presentation copies only what changed.
class TSurface {
 public:
  TSurface() = default;
  TSurface(int width, int height, TPixel fill = 0);

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  TRect BoundsRect() const { return {0, 0, Width_, Height_}; }
  void SetSize(int width, int height, TPixel fill = 0);  // contents are reset

  TPixel* Row(int y) { return Pixels_.data() + std::size_t(y) * std::size_t(Width_); }
  const TPixel* Row(int y) const { return Pixels_.data() + std::size_t(y) * std::size_t(Width_); }
  TPixel At(int x, int y) const { return Row(y)[x]; }
  std::span<const TPixel> Pixels() const { return Pixels_; }

  void AddDamage(const TRect& r);  // clipped to the surface
  bool HasDamage() const { return !Damage_.IsEmpty(); }
  const std::vector<TRect>& Damage() const { return Damage_.Rects(); }
  std::vector<TRect> TakeDamage();

 private:
  int Width_ = 0;
  int Height_ = 0;
  std::vector<TPixel> Pixels_;
  TRegion Damage_;
};

// Writes the surface as an 8-bit RGB PNG; false (and errno-style message in
// `error`) on failure.
bool SaveSurfaceToPng(const TSurface& surface, const std::string& path, std::string* error = nullptr);

enum class TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using enum TFontStyle;
struct TFontStyles {
  unsigned Bits = 0;
  constexpr TFontStyles() = default;
  constexpr TFontStyles(TFontStyle s) : Bits(unsigned(s)) {}
  constexpr bool Contains(TFontStyle s) const { return (Bits & unsigned(s)) != 0; }
  constexpr TFontStyles operator|(TFontStyle s) const { return TFontStyles(Bits | unsigned(s)); }
  friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

 private:
  constexpr explicit TFontStyles(unsigned bits) : Bits(bits) {}
};

using TFontCharset = std::uint8_t;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;
inline constexpr TFontCharset RUSSIAN_CHARSET = 204;

// Settings objects fire OnChange after every effective change.
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;
  std::string ClassName() const override { return "TGraphicsObject"; }

 protected:
  void Changed();
};

// Height < 0: character (em) height in pixels; > 0: cell height in pixels.
class TFont : public TGraphicsObject {
 public:
  TFont();
  std::string ClassName() const override { return "TFont"; }
  const std::string& Name() const { return Name_; }
  void SetName(const std::string& v);
  int Height() const { return Height_; }
  void SetHeight(int v);
  int Size() const;  // points at PixelsPerInch
  void SetSize(int points);
  TFontStyles Style() const { return Style_; }
  void SetStyle(TFontStyles v);
  TFontCharset Charset() const { return Charset_; }
  void SetCharset(TFontCharset v);
  TColor Color() const { return Color_; }
  void SetColor(TColor v);
  void Assign(const TPersistent& source) override;
  // Same face, height, style, charset and colour.
  bool SameAs(const TFont& other) const;

 private:
  std::string Name_ = "MS Sans Serif";
  int Height_ = -11;
  TFontStyles Style_;
  TFontCharset Charset_ = DEFAULT_CHARSET;
  TColor Color_ = clWindowText;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
using enum TPenStyle;

class TPen : public TGraphicsObject {
 public:
  std::string ClassName() const override { return "TPen"; }
  TColor Color() const { return Color_; }
  void SetColor(TColor v);
  int Width() const { return Width_; }
  void SetWidth(int v);
  TPenStyle Style() const { return Style_; }
  void SetStyle(TPenStyle v);
  void Assign(const TPersistent& source) override;

 private:
  TColor Color_ = clBlack;
  int Width_ = 1;
  TPenStyle Style_ = psSolid;
};

enum class TBrushStyle { bsSolid, bsClear };
using enum TBrushStyle;

class TBrush : public TGraphicsObject {
 public:
  std::string ClassName() const override { return "TBrush"; }
  TColor Color() const { return Color_; }
  void SetColor(TColor v);
  TBrushStyle Style() const { return Style_; }
  void SetStyle(TBrushStyle v);
  void Assign(const TPersistent& source) override;

 private:
  TColor Color_ = clWhite;
  TBrushStyle Style_ = bsSolid;
};

// Text layout flags of TCanvas::DrawText (the classic values).
inline constexpr unsigned DT_TOP = 0x0000;
inline constexpr unsigned DT_LEFT = 0x0000;
inline constexpr unsigned DT_CENTER = 0x0001;
inline constexpr unsigned DT_RIGHT = 0x0002;
inline constexpr unsigned DT_VCENTER = 0x0004;
inline constexpr unsigned DT_BOTTOM = 0x0008;
inline constexpr unsigned DT_WORDBREAK = 0x0010;
inline constexpr unsigned DT_SINGLELINE = 0x0020;
inline constexpr unsigned DT_EXPANDTABS = 0x0040;
inline constexpr unsigned DT_NOCLIP = 0x0100;
inline constexpr unsigned DT_CALCRECT = 0x0400;
inline constexpr unsigned DT_NOPREFIX = 0x0800;

class TBitmap;

// Draws on a surface through an origin offset and a clip rectangle (both in
// surface coordinates). Every primitive translates, clips, returns early when
// empty, then walks rows; what it touches is added to the surface's damage.
// A canvas without a surface accepts every call and draws nothing.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  explicit TCanvas(TSurface* surface);
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  std::string ClassName() const override { return "TCanvas"; }

  // Fired after a drawing call changed pixels (a bitmap passes it on as its
  // own OnChange, so a picture shown by a control repaints).
  TNotifyEvent OnChange;

  // Target and placement (set by the owner of the canvas: a bitmap, a windowed
  // control, or a graphic control's parent).
  void SetSurface(TSurface* surface);
  TSurface* Surface() const { return Surface_; }
  void SetOrigin(TPoint origin) { Origin_ = origin; }
  TPoint Origin() const { return Origin_; }
  void SetClipRect(const TRect& clipInSurface) { Clip_ = clipInSurface; }
  // Clip in canvas (local) coordinates, as the classic ClipRect.
  TRect ClipRect() const;

  TPen& Pen() { return *Pen_; }
  TBrush& Brush() { return *Brush_; }
  TFont& Font() { return *Font_; }
  void SetFont(const TFont& f) { Font_->Assign(f); }

  TPoint PenPos() const { return PenPos_; }
  void SetPenPos(TPoint p) { PenPos_ = p; }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(std::span<const TPoint> points);
  void Polygon(std::span<const TPoint> points);
  // Outline on the border pixels, brush inside; with a clear pen the brush
  // covers the whole rectangle. Wider pens are centred on the border
  // (inside it for psInsideFrame); styled pens draw shapes solid.
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  // Frame3D: one 1-pixel ring per unit of width; top/left in topColor,
  // bottom/right (and the top-right, bottom-right, bottom-left corners) in
  // bottomColor; rect shrinks by one per ring and comes back shrunk.
  void Frame3D(TRect& rect, TColor topColor, TColor bottomColor, int width);

  TColor Pixel(int x, int y) const;  // clNone outside the surface
  void SetPixel(int x, int y, TColor color);

  // Text: the top-left of the text cell (ascent + descent high) at (x, y).
  // An opaque brush fills the cell first; a clear brush leaves the background.
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& r, int x, int y, const std::string& text);  // clipped to r
  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  // Classic DrawText: returns the height of the text drawn; with DT_CALCRECT
  // only measures and adjusts r.
  int DrawText(const std::string& text, TRect& r, unsigned flags);

  // Copies src's rectangle onto dest (nearest neighbour when the sizes
  // differ; rectangles with negative extents copy nothing).
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
  // Honours the bitmap's Transparent / TransparentColor.
  void Draw(int x, int y, const TBitmap& bitmap);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);
  // Copies source's rectangle onto dest, painting the pixels equal to
  // `keyColor` with the current brush instead (a clear brush leaves them out).
  void BrushCopy(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TColor keyColor);

 private:
  friend class TCanvasState;
  friend class TRaster;
  TSurface* Surface_ = nullptr;
  TPoint Origin_{};
  TRect Clip_{0, 0, 0x3FFFFFFF, 0x3FFFFFFF};
  TPoint PenPos_{};
  std::unique_ptr<TPen> Pen_;
  std::unique_ptr<TBrush> Brush_;
  std::unique_ptr<TFont> Font_;
};

// Saves pen, brush, font, origin and clip of a canvas and restores them when
// it goes out of scope.
class TCanvasState {
 public:
  explicit TCanvasState(TCanvas& canvas);
  ~TCanvasState();
  TCanvasState(const TCanvasState&) = delete;
  TCanvasState& operator=(const TCanvasState&) = delete;

 private:
  TCanvas& Canvas_;
  TPen Pen_;
  TBrush Brush_;
  TFont Font_;
  TPoint Origin_;
  TRect Clip_;
  TPoint PenPos_;
};

enum class TTransparentMode { tmAuto, tmFixed };
using enum TTransparentMode;

// An off-screen picture with its own canvas.
class TBitmap : public TGraphicsObject {
 public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  std::string ClassName() const override { return "TBitmap"; }

  int Width() const { return Surface_.Width(); }
  int Height() const { return Surface_.Height(); }
  void SetWidth(int w) { SetSize(w, Height()); }
  void SetHeight(int h) { SetSize(Width(), h); }
  // Keeps the overlapping part of the old contents; new pixels are white.
  void SetSize(int width, int height);
  bool Empty() const { return Width() == 0 || Height() == 0; }

  TCanvas& Canvas() { return *Canvas_; }
  const TCanvas& Canvas() const { return *Canvas_; }
  TSurface& Surface() { return Surface_; }
  const TSurface& Surface() const { return Surface_; }

  bool Transparent() const { return Transparent_; }
  void SetTransparent(bool v);
  // tmAuto: the bottom-left pixel; tmFixed: the colour set.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);  // switches to tmFixed
  TTransparentMode TransparentMode() const { return TransparentMode_; }
  void SetTransparentMode(TTransparentMode m);

  void Assign(const TPersistent& source) override;  // copies pixels and transparency

 private:
  TSurface Surface_;
  std::unique_ptr<TCanvas> Canvas_;
  bool Transparent_ = false;
  TColor TransparentColor_ = clNone;
  TTransparentMode TransparentMode_ = tmAuto;
};

// Font metrics as the classic interface reports them (for tests and layout).
struct TTextMetric {
  int Ascent = 0;
  int Descent = 0;
  int Height() const { return Ascent + Descent; }
};
TTextMetric GetTextMetrics(const TFont& font);
// Which font file a face name resolves to (substitutes applied).
std::string ResolveFontFile(const TFont& font);
