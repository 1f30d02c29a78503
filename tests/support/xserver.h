// A private X server for the tests that drive real programs.
#pragma once

#include <memory>
#include <string>

#include "test_support.h"

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

}  // namespace pinlark::testsupport
