// A private X server for the tests that drive real programs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "xclient.h"

namespace pinlark::testsupport {

// An Xvfb of our own. It picks its display number itself (-displayfd), so
// tests running side by side never share or kill each other's server.
class TXvfb {
 public:
  explicit TXvfb(const std::string& screen);
  ~TXvfb();
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;

  // ":N", or empty when the server did not come up.
  const std::string& DisplayName() const { return Name_; }

 private:
  std::unique_ptr<TChild> Server_;
  std::string Name_;
};

// A private Xvfb with a client of ours on it, or what kept them from coming up.
class TXSession {
 public:
  // `tools` must be on PATH for the session's tests.
  explicit TXSession(const std::string& screen, const std::vector<std::string>& tools = {"Xvfb", "xdotool"});
  ~TXSession();
  TXSession(const TXSession&) = delete;
  TXSession& operator=(const TXSession&) = delete;

  // Empty when the session is ready, else what is wrong.
  const std::string& Problem() const { return Problem_; }
  // ":N", or empty when no server came up.
  const std::string& DisplayName() const;
  // Only when Problem() is empty.
  TXClient& X() { return *X_; }

 private:
  std::string Problem_;
  std::unique_ptr<TXvfb> Server_;
  std::unique_ptr<TXClient> X_;
};

}  // namespace pinlark::testsupport
