// Runs the e2e form program under Xvfb, clicks and types with xdotool, checks
// the screen's pixels, closes the window and checks the exit code and output.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "window_user.h"
#include "xserver.h"

namespace {

using namespace std::chrono_literals;
using namespace pinlark::testsupport;

const std::string WindowTitle = "Pinlark forms e2e";
constexpr TRgb Green{0, 0x80, 0}, Red{0xFF, 0, 0}, Yellow{0xFF, 0xFF, 0}, Background{0x40, 0x40, 0x40};

class forms_e2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Session_.Problem(), "");
    X_ = &Session_.X();
  }

  void ClickScreen(int x, int y, const std::vector<std::string>& click = {"click", "1"}) {
    std::vector<std::string> args{"mousemove", "--sync", std::to_string(x), std::to_string(y)};
    args.insert(args.end(), click.begin(), click.end());
    Win.Xdo(args);
  }

  TTempDir Temp_;
  TXSession Session_{"1024x768x24"};
  TXClient* X_ = nullptr;
  TWindowUser Win;
};

TEST_F(forms_e2e, ClickTypeCheckPixelsAndClose) {
  const std::string outPath = Temp_.Path() + "/out.txt";
  TChild app({E2E_APP}, TChildOptions()
                            .WithDisplay(Session_.DisplayName())
                            .WithStdout(outPath)
                            .WithStderr(Temp_.Path() + "/err.txt"));
  ASSERT_TRUE(app.Started());
  const TWindowId w = X_->WaitForWindow(WindowTitle);
  ASSERT_NE(w, 0u) << "the form's window did not appear";
  Win = TWindowUser(*X_, w, 20s);

  // Fixed size, centred on the screen, its own window class.
  const std::optional<TSizeLimits> limits = X_->SizeLimits(w);
  ASSERT_TRUE(limits.has_value());
  EXPECT_TRUE(limits->Fixed);
  EXPECT_EQ(limits->MinWidth, 300);
  EXPECT_EQ(limits->MaxWidth, 300);
  EXPECT_EQ(limits->MaxHeight, 200);
  const std::optional<TGeometry> g = X_->Geometry(w);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->X, (1024 - 300) / 2);
  EXPECT_EQ(g->Y, (768 - 200) / 2);
  EXPECT_EQ(X_->ClassHint(w), std::make_pair(std::string("forms_e2e_app"), std::string("Forms_e2e_app")));

  const int ox = g->X, oy = g->Y;
  const int lampX = ox + 40, lampY = oy + 40;
  EXPECT_TRUE(WaitUntil([&] { return X_->ScreenPixel(lampX, lampY) == Green; }))
      << ToString(X_->ScreenPixel(lampX, lampY));
  EXPECT_EQ(X_->ScreenPixel(ox + 5, oy + 150), Background);

  ClickScreen(lampX, lampY);
  EXPECT_TRUE(WaitUntil([&] { return X_->ScreenPixel(lampX, lampY) == Red; }))
      << ToString(X_->ScreenPixel(lampX, lampY));

  ClickScreen(ox + 150, oy + 30);
  Win.Xdo({"type", "--delay", "30", "ab1xyz"});
  // The label echoes the field in yellow.
  EXPECT_TRUE(WaitUntil([&] {
    for (const TRgb& c : Win.Grab({100, 60, 140, 76}))
      if (c == Yellow) return true;
    return false;
  }));

  // Copy from the first field, paste into the second.
  Win.Xdo({"key", "--delay", "30", "ctrl+a", "ctrl+c"});
  ClickScreen(ox + 150, oy + 110);
  Win.Xdo({"key", "ctrl+v"});

  // A double click on the lamp: two more presses, one of them a double click.
  ClickScreen(lampX, lampY, {"click", "--repeat", "2", "--delay", "80", "1"});
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(outPath).find("double click\n") != std::string::npos; }));

  X_->SendDeleteWindow(w);
  EXPECT_EQ(app.Wait(10s), 0);
  const std::string text = ReadFile(outPath);
  EXPECT_NE(text.find("edit=AB1XY\n"), std::string::npos) << text;
  EXPECT_NE(text.find("edit2=AB1XY\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nclicks=3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("dblclicks=1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ticking=1\n"), std::string::npos) << text;
}

// No server of our own: nothing listens on :199 here.
TEST(forms_e2e_headless, NoDisplayGivesAClearError) {
  TTempDir temp;
  const std::string outPath = temp.Path() + "/out.txt";
  TChild app({E2E_APP}, TChildOptions().WithDisplay(":199").WithStderr(outPath));
  EXPECT_EQ(app.Wait(10s), 1);
  EXPECT_NE(ReadFile(outPath).find("cannot open X display ':199': set DISPLAY or run under Xvfb"),
            std::string::npos)
      << ReadFile(outPath);
}

}  // namespace
