// A headless application with one form to host widgets, and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "forms.h"
#include "headless_app.h"

class WidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App = std::make_unique<THeadlessApp>();
    Form = new TForm(&App->App());
    Form->SetColor(clWhite);
    Form->SetBounds(0, 0, 200, 120);
  }
  void TearDown() override { App.reset(); }

  // Runs the paint pass and returns the form's pixel.
  TColor PaintedPixel(int x, int y) {
    Form->PaintInvalid();
    return Pixel(x, y);
  }
  TColor Pixel(int x, int y) const { return PixelToColor(Form->Surface().At(x, y)); }

  std::unique_ptr<THeadlessApp> App;
  TForm* Form = nullptr;  // owned by the application
};

// Smallest rectangle holding every pixel of `surface` inside `area` that
// differs from `background`; empty when there is none.
inline TRect InkBounds(const TSurface& surface, const TRect& area, TPixel background) {
  TRect r{area.Right, area.Bottom, area.Left, area.Top};
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x)
      if (surface.At(x, y) != background) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r.IsEmpty() ? TRect{} : r;
}
