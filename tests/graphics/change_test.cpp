// Every drawing call that changes pixels marks them as damage and tells the
// canvas's listeners once; a listener that throws never takes the program
// down.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "graphics.h"
#include "raster.h"

namespace {

struct TPrimitive {
  const char* Name;
  std::function<void(TCanvas&)> Draw;
};

// A red 8 x 8 picture to copy from.
TBitmap& Source() {
  static TBitmap b(8, 8);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({0, 0, 8, 8});
  return b;
}

const TPrimitive Primitives[] = {
    {"LineTo",
     [](TCanvas& c) {
       c.MoveTo(2, 2);
       c.LineTo(20, 9);
     }},
    {"Polyline",
     [](TCanvas& c) {
       const TPoint p[] = {{2, 2}, {20, 2}, {20, 20}};
       c.Polyline(p);
     }},
    {"Polygon",
     [](TCanvas& c) {
       const TPoint p[] = {{2, 2}, {20, 2}, {10, 20}};
       c.Polygon(p);
     }},
    {"Rectangle", [](TCanvas& c) { c.Rectangle(2, 2, 20, 20); }},
    {"RoundRect", [](TCanvas& c) { c.RoundRect(2, 2, 20, 20, 6, 6); }},
    {"Ellipse", [](TCanvas& c) { c.Ellipse(2, 2, 20, 20); }},
    {"FillRect",
     [](TCanvas& c) {
       c.FillRect({2, 2, 20, 20});
     }},
    {"FrameRect",
     [](TCanvas& c) {
       c.FrameRect({2, 2, 20, 20});
     }},
    {"Arc", [](TCanvas& c) { c.Arc(2, 2, 20, 20, 20, 2, 2, 20); }},
    {"Frame3D",
     [](TCanvas& c) {
       TRect r{2, 2, 20, 20};
       c.Frame3D(r, clWhite, clBlack, 2);
     }},
    {"SetPixel", [](TCanvas& c) { c.SetPixel(5, 5, clBlue); }},
    {"TextOut", [](TCanvas& c) { c.TextOut(2, 2, "Hg"); }},
    {"TextRect",
     [](TCanvas& c) {
       c.TextRect({2, 2, 30, 20}, 2, 2, "Hg");
     }},
    {"DrawText",
     [](TCanvas& c) {
       TRect r{2, 2, 30, 20};
       c.DrawText("Hg", r, DT_SINGLELINE);
     }},
    {"CopyRect",
     [](TCanvas& c) {
       c.CopyRect({2, 2, 10, 10}, Source().Canvas(), {0, 0, 8, 8});
     }},
    {"Draw", [](TCanvas& c) { c.Draw(2, 2, Source()); }},
    {"StretchDraw",
     [](TCanvas& c) {
       c.StretchDraw({2, 2, 18, 18}, Source());
     }},
    {"BrushCopy",
     [](TCanvas& c) {
       c.BrushCopy({2, 2, 10, 10}, Source(), {0, 0, 8, 8}, clBlack);
     }},
};

class CanvasChange : public ::testing::Test {
 protected:
  CanvasChange() : Surface(32, 32, ColorToPixel(clWhite)), Canvas(&Surface) {
    Canvas.Pen().SetColor(clBlack);
    Canvas.Brush().SetColor(clGreen);
    Canvas.Font().SetColor(clBlack);
    Surface.TakeDamage();
  }
  void Fresh() {
    Surface = TSurface(32, 32, ColorToPixel(clWhite));
    Surface.TakeDamage();
    Canvas.SetClipRect({0, 0, 32, 32});
    Calls = 0;
  }
  TSurface Surface;
  TCanvas Canvas;
  int Calls = 0;
};

TEST_F(CanvasChange, EveryPrimitiveNotifiesOnceWhenItDrawsAndNeverWhenClippedAway) {
  Canvas.OnChange = [this](TObject*) { ++Calls; };
  for (const TPrimitive& p : Primitives) {
    SCOPED_TRACE(p.Name);
    Fresh();
    p.Draw(Canvas);
    EXPECT_EQ(Calls, 1);
    EXPECT_TRUE(Surface.HasDamage());
    Fresh();
    Canvas.SetClipRect({28, 28, 32, 32});  // nothing of the shapes lies there
    p.Draw(Canvas);
    EXPECT_EQ(Calls, 0);
    EXPECT_FALSE(Surface.HasDamage());
  }
}

TEST_F(CanvasChange, AThrowingListenerFailsTheCallButTheDrawingAndItsDamageStay) {
  Canvas.OnChange = [this](TObject*) {
    ++Calls;
    throw std::runtime_error("listener");
  };
  for (const TPrimitive& p : Primitives) {
    SCOPED_TRACE(p.Name);
    Fresh();
    EXPECT_THROW(p.Draw(Canvas), std::runtime_error);
    EXPECT_EQ(Calls, 1);
    EXPECT_TRUE(Surface.HasDamage());
    // The next drawing tells the listener again.
    Surface.TakeDamage();
    EXPECT_THROW(Canvas.SetPixel(30, 30, clBlue), std::runtime_error);
    EXPECT_EQ(Calls, 2);
  }
}

TEST_F(CanvasChange, ARasterLeftByAnExceptionKeepsItsDamageAndCallsNoListener) {
  Canvas.OnChange = [this](TObject*) {
    ++Calls;
    throw std::runtime_error("listener");
  };
  EXPECT_THROW(
      {
        TRaster r(Canvas);
        ASSERT_TRUE(r.Begin({0, 0, 32, 32}));
        r.Plot(4, 5, ColorToPixel(clRed));
        throw std::logic_error("drawing failed");
      },
      std::logic_error);
  EXPECT_EQ(Calls, 0);
  ASSERT_EQ(Surface.Damage().size(), 1u);
  EXPECT_EQ(Surface.Damage()[0], (TRect{4, 5, 5, 6}));
  EXPECT_EQ(PixelToColor(Surface.At(4, 5)), clRed);
}

}  // namespace
