// The X11 backend against a private Xvfb: what it uploads, and how a scaled
// window presents pixels and reports input.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <vector>

#include "display.h"
#include "display_recorder.h"
#include "window_user.h"
#include "xserver.h"

namespace {

using namespace std::chrono_literals;
using namespace pinlark::testsupport;

class X11DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Session_.Problem(), "");
    X_ = &Session_.X();
  }
  void TearDown() override {
    Window_.reset();
    Display_.reset();
    unsetenv("PINLARK_SCALE");
  }

  // A shown window of w x h frame pixels, filled with `fill`; waits until the
  // window system exposed all of it (which presents it).
  void Open(int w, int h, std::uint32_t fill, const char* scale = nullptr) {
    setenv("DISPLAY", Session_.DisplayName().c_str(), 1);
    if (scale) setenv("PINLARK_SCALE", scale, 1);
    Display_ = display::CreateDefaultDisplay();
    Pixels_.assign(std::size_t(w) * std::size_t(h), fill);
    Events_.Frame = {Pixels_.data(), w, h, w};
    display::WindowParams params;
    params.Title = "x11 test";
    params.ClientWidth = w;
    params.ClientHeight = h;
    Window_ = Display_->CreateWindow(params, &Events_);
    Events_.Window = Window_.get();
    Window_->Show();
    // The framework presents the whole frame as soon as the window is shown.
    const display::Rect all{0, 0, w, h};
    Window_->Present(Events_.Frame, std::span<const display::Rect>(&all, 1));
    ASSERT_TRUE(Pump([&] { return Events_.ExposedArea >= std::int64_t(w) * h; })) << "never exposed";
    Id_ = X_->FindWindow(params.Title);
    ASSERT_NE(Id_, 0u);
  }

  // Runs the backend's loop until `done`; false when it did not come.
  bool Pump(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Display_->WaitEvents(std::chrono::milliseconds(20));
    }
    return true;
  }

  TXSession Session_{"640x480x24"};
  TXClient* X_ = nullptr;
  std::unique_ptr<display::Display> Display_;
  std::unique_ptr<display::Window> Window_;
  std::vector<std::uint32_t> Pixels_;
  TRecorder Events_;
  TWindowId Id_ = 0;
};

TEST_F(X11DisplayTest, TheFirstFrameGoesUpOnceAndALaterExposeBringsBackItsArea) {
  ASSERT_NO_FATAL_FAILURE(Open(463, 170, 0x404040));
  EXPECT_EQ(Window_->UploadedPixels(), 463u * 170u);
  EXPECT_TRUE(WaitUntil([&] { return X_->Pixel(Id_, 462, 169) == TRgb{0x40, 0x40, 0x40}; }));

  X_->RequestExpose(Id_, {10, 20, 30, 25});
  ASSERT_TRUE(Pump([&] { return Window_->UploadedPixels() > 463u * 170u; }));
  EXPECT_EQ(Window_->UploadedPixels(), 463u * 170u + 20u * 5u);
}

TEST_F(X11DisplayTest, AScaledWindowShowsEachPixelAsABlockAndUploadsOnlyTheDamagedBlocks) {
  ASSERT_NO_FATAL_FAILURE(Open(10, 8, 0x0000FF, "3"));
  const std::optional<TGeometry> g = X_->Geometry(Id_);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->Width, 30);
  EXPECT_EQ(g->Height, 24);
  EXPECT_EQ(Window_->UploadedPixels(), 9u * 80u);

  Pixels_[5 * 10 + 4] = 0xFF0000;
  const display::Rect one{4, 5, 5, 6};
  Window_->Present(Events_.Frame, std::span<const display::Rect>(&one, 1));
  EXPECT_EQ(Window_->UploadedPixels(), 9u * 81u);
  // The block turns red and the ring around it stays as it was.
  const auto blockShown = [&] {
    const std::vector<TRgb> seen = X_->Grab(Id_, {11, 14, 16, 19});
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 5; ++x) {
        const bool inside = x >= 1 && x <= 3 && y >= 1 && y <= 3;
        if (seen.at(std::size_t(y * 5 + x)) != (inside ? TRgb{0xFF, 0, 0} : TRgb{0, 0, 0xFF})) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(WaitUntil(blockShown));

  // Input comes back in frame pixels: any screen pixel of a block is that pixel.
  ASSERT_TRUE(TWindowUser(*X_, Id_, 20s).ClickAt({14, 17}));
  ASSERT_TRUE(Pump([&] { return !Events_.Presses.empty(); }));
  EXPECT_EQ(Events_.Presses.front(), std::make_pair(4, 5));
}

}  // namespace
