// Linked into every test program: each test gets a simulated bank of its own
// (LPTWDMIO_SIM_DIR names a folder not made yet, inside a fresh one, while it
// runs), so tests that run side by side, and the programs they start, never
// share the user's bank.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "test_support.h"

namespace {

using pinlark::testsupport::TTempDir;

class TPrivateSimulation : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    Dir_ = std::make_unique<TTempDir>();
    ::setenv("LPTWDMIO_SIM_DIR", (*Dir_ / "bank").c_str(), 1);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { Dir_.reset(); }

  std::unique_ptr<TTempDir> Dir_;
};

const bool Installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TPrivateSimulation);
  return true;
}();

}  // namespace
