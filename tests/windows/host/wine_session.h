// A private Xvfb with the cross-build's Wine prefix on it, for the Windows
// end-to-end tests: runs Windows programs there, drives them with xdotool,
// and reads back the screen and the service manager's view of the driver.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window_user.h"
#include "xserver.h"

namespace pinlark::wine {

using namespace pinlark::testsupport;

// A bound on waiting for a busy machine, not a speed check.
inline constexpr std::chrono::seconds WaitLimit{30};

class TWineSession {
 public:
  explicit TWineSession(const std::string& screen = "800x600x24");
  // Ends what the programs of the prefix left running.
  ~TWineSession();
  TWineSession(const TWineSession&) = delete;
  TWineSession& operator=(const TWineSession&) = delete;

  // Empty when the session is ready, else what is wrong.
  const std::string& Problem() const { return Problem_; }
  const std::string& DisplayName() const { return Display_->DisplayName(); }
  TXClient& X() { return Display_->X(); }
  // A user at window w of this display.
  TWindowUser UserAt(TWindowId w) { return TWindowUser(X(), w, WaitLimit); }
  // The cross-build's programs, and a private folder.
  const std::string& Bin() const { return Bin_; }
  const std::string& Temp() const { return Temp_.Path(); }

  // A Windows program under Wine on this display, output to the given files.
  std::unique_ptr<TChild> Start(const std::vector<std::string>& argv, const std::string& stdoutPath,
                                const std::string& stderrPath);
  // Runs one to its end: its exit code, or nothing when it took too long.
  std::optional<int> Run(const std::vector<std::string>& argv, const std::string& stdoutPath);
  // One of Wine's own tools (wineboot, wineserver) on this prefix and display.
  std::optional<int> Tool(const std::vector<std::string>& argv);
  // Waits until the prefix's wineserver has ended: every program and driver
  // of the prefix gone (Wine deletes a driver's service only then).
  bool WaitForQuiet();
  // OpenServiceA on the driver service: "0" when it exists, "1060" when not.
  std::string DriverService();

 private:
  std::vector<std::string> Environment() const;

  std::string Prefix_;
  std::string Bin_;
  std::string RunScript_;
  std::string Problem_;
  TTempDir Temp_;
  std::unique_ptr<TXSession> Display_;
};

// Text a Windows console program wrote, without its carriage returns.
std::string WindowsText(const std::string& path);

// A PNG's pixels as 0x00RRGGBB, or nothing when it cannot be read.
struct TImage {
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;
};
std::optional<TImage> ReadPng(const std::string& path);

// The screen pixels of a window, as 0x00RRGGBB.
TImage GrabWindow(TXClient& x, TWindowId w, int width, int height);

// How many pixels differ, and where the first one is.
struct TDifference {
  int Count = 0;
  int FirstX = -1, FirstY = -1;
};
TDifference Compare(const TImage& a, const TImage& b);

}  // namespace pinlark::wine
