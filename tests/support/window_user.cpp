#include "window_user.h"

#include <gtest/gtest.h>

namespace pinlark::testsupport {

TWindowId WaitForWindowOf(TChild& program, TXClient& x, const std::string& title,
                          std::chrono::milliseconds limit) {
  TWindowId w = 0;
  WaitUntil([&] { return (w = x.FindWindow(title)) != 0 || program.Exited(); }, limit);
  EXPECT_NE(w, 0u) << "no window titled '" << title << "'" << (program.Exited() ? ": the program ended" : "");
  return w;
}

bool TWindowUser::Xdo(const std::vector<std::string>& args) const {
  if (Xdotool(X_->DisplayName(), args)) return true;
  std::string command = "xdotool";
  for (const std::string& a : args) command += " " + a;
  ADD_FAILURE() << command << " failed";
  return false;
}

bool TWindowUser::PointAt(TPoint p, const std::vector<std::string>& then) const {
  std::vector<std::string> args{"mousemove", "--window", std::to_string(Window_), std::to_string(p.X),
                                std::to_string(p.Y)};
  args.insert(args.end(), then.begin(), then.end());
  return Xdo(args);
}

int TWindowUser::Count(TArea a, bool (*pred)(TRgb)) const {
  int n = 0;
  for (TRgb c : Grab(a)) n += pred(c);
  return n;
}

bool TWindowUser::WaitFor(TPoint p, bool (*pred)(TRgb)) const {
  return WaitFor([&] { return pred(Pixel(p)); });
}

}  // namespace pinlark::testsupport
