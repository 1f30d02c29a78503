// Surfaces, drawing tools, bitmaps and the canvas state guard.
#include "graphics.h"
#include "change.h"

#include <algorithm>

TPixel ColorToPixel(TColor color) {
  const TColor c = ColorToRGB(color);
  return (TPixel(GetRValue(c)) << 16) | (TPixel(GetGValue(c)) << 8) | TPixel(GetBValue(c));
}

TColor PixelToColor(TPixel pixel) {
  return RGB(std::uint8_t(pixel >> 16), std::uint8_t(pixel >> 8), std::uint8_t(pixel));
}

// ---- TSurface ----

TSurface::TSurface(int width, int height, TPixel fill) { SetSize(width, height, fill); }

void TSurface::SetSize(int width, int height, TPixel fill) {
  Width_ = std::max(width, 0);
  Height_ = std::max(height, 0);
  if (Width_ == 0 || Height_ == 0) Width_ = Height_ = 0;
  Pixels_.assign(std::size_t(Width_) * std::size_t(Height_), fill);
  Damage_.Clear();
  AddDamage(BoundsRect());
}

void TSurface::AddDamage(const TRect& r) { Damage_.Include(IntersectRect(r, BoundsRect())); }

std::vector<TRect> TSurface::TakeDamage() { return Damage_.Take(); }

// ---- drawing tools ----

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TFont::TFont() = default;

void TFont::SetName(const std::string& v) {
  if (SetIfChanged(Name_, v)) Changed();
}

void TFont::SetHeight(int v) {
  if (SetIfChanged(Height_, v)) Changed();
}

int TFont::Size() const { return -MulDivRound(Height_, 72, PixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDivRound(points, PixelsPerInch, 72)); }

void TFont::SetStyle(TFontStyles v) {
  if (SetIfChanged(Style_, v)) Changed();
}

void TFont::SetCharset(TFontCharset v) {
  if (SetIfChanged(Charset_, v)) Changed();
}

void TFont::SetColor(TColor v) {
  if (SetIfChanged(Color_, v)) Changed();
}

bool TFont::SameAs(const TFont& o) const {
  return Name_ == o.Name_ && Height_ == o.Height_ && Style_ == o.Style_ && Charset_ == o.Charset_ &&
         Color_ == o.Color_;
}

void TFont::Assign(const TPersistent& source) {
  const auto* f = dynamic_cast<const TFont*>(&source);
  if (f == nullptr) return TGraphicsObject::Assign(source);
  if (SameAs(*f)) return;
  Name_ = f->Name_;
  Height_ = f->Height_;
  Style_ = f->Style_;
  Charset_ = f->Charset_;
  Color_ = f->Color_;
  Changed();
}

void TPen::SetColor(TColor v) {
  if (SetIfChanged(Color_, v)) Changed();
}

void TPen::SetWidth(int v) {
  v = std::max(v, 0);
  if (SetIfChanged(Width_, v)) Changed();
}

void TPen::SetStyle(TPenStyle v) {
  if (SetIfChanged(Style_, v)) Changed();
}

void TPen::Assign(const TPersistent& source) {
  const auto* p = dynamic_cast<const TPen*>(&source);
  if (p == nullptr) return TGraphicsObject::Assign(source);
  if (p->Color_ == Color_ && p->Width_ == Width_ && p->Style_ == Style_) return;
  Color_ = p->Color_;
  Width_ = p->Width_;
  Style_ = p->Style_;
  Changed();
}

void TBrush::SetColor(TColor v) {
  if (SetIfChanged(Color_, v)) Changed();
}

void TBrush::SetStyle(TBrushStyle v) {
  if (SetIfChanged(Style_, v)) Changed();
}

void TBrush::Assign(const TPersistent& source) {
  const auto* b = dynamic_cast<const TBrush*>(&source);
  if (b == nullptr) return TGraphicsObject::Assign(source);
  if (b->Color_ == Color_ && b->Style_ == Style_) return;
  Color_ = b->Color_;
  Style_ = b->Style_;
  Changed();
}

// ---- TCanvasState ----

TCanvasState::TCanvasState(TCanvas& canvas)
    : Canvas_(canvas), Origin_(canvas.Origin_), Clip_(canvas.Clip_), PenPos_(canvas.PenPos_) {
  Pen_.Assign(canvas.Pen());
  Brush_.Assign(canvas.Brush());
  Font_.Assign(canvas.Font());
}

TCanvasState::~TCanvasState() {
  Canvas_.Pen().Assign(Pen_);
  Canvas_.Brush().Assign(Brush_);
  Canvas_.Font().Assign(Font_);
  Canvas_.Origin_ = Origin_;
  Canvas_.Clip_ = Clip_;
  Canvas_.PenPos_ = PenPos_;
}

// ---- TBitmap ----

TBitmap::TBitmap() : Canvas_(std::make_unique<TCanvas>(&Surface_)) {
  Canvas_->OnChange = [this](TObject*) { Changed(); };
}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == 0 || height == 0) width = height = 0;
  if (width == Width() && height == Height()) return;
  TSurface resized(width, height, ColorToPixel(clWhite));
  const int w = std::min(width, Width());
  const int h = std::min(height, Height());
  for (int y = 0; y < h; ++y) std::copy(Surface_.Row(y), Surface_.Row(y) + w, resized.Row(y));
  Surface_ = std::move(resized);
  Changed();
}

void TBitmap::SetTransparent(bool v) {
  if (SetIfChanged(Transparent_, v)) Changed();
}

TColor TBitmap::TransparentColor() const {
  if (TransparentMode_ == tmFixed) return TransparentColor_;
  if (Empty()) return clNone;
  return PixelToColor(Surface_.At(0, Height() - 1));
}

void TBitmap::SetTransparentColor(TColor c) {
  if (TransparentMode_ == tmFixed && c == TransparentColor_) return;
  TransparentColor_ = c;
  TransparentMode_ = tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode m) {
  if (m == TransparentMode_) return;
  TransparentMode_ = m;
  if (m == tmAuto) TransparentColor_ = clNone;
  Changed();
}

void TBitmap::Assign(const TPersistent& source) {
  const auto* b = dynamic_cast<const TBitmap*>(&source);
  if (b == nullptr) return TGraphicsObject::Assign(source);
  if (b == this) return;
  Surface_ = b->Surface_;
  Surface_.TakeDamage();
  Surface_.AddDamage(Surface_.BoundsRect());
  Transparent_ = b->Transparent_;
  TransparentColor_ = b->TransparentColor_;
  TransparentMode_ = b->TransparentMode_;
  Changed();
}
