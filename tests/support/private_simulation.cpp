// Linked into every test program: each test gets a simulated bank of its own
// (LPTWDMIO_SIM_DIR names a fresh folder while it runs), so tests that run
// side by side, and the programs they start, never share the user's bank.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class TPrivateSimulation : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    static int count = 0;
    Dir_ = fs::temp_directory_path() /
           ("pinlark-sim-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
    fs::remove_all(Dir_);
    ::setenv("LPTWDMIO_SIM_DIR", Dir_.c_str(), 1);
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    std::error_code ignored;
    fs::remove_all(Dir_, ignored);
  }

  fs::path Dir_;
};

const bool Installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TPrivateSimulation);
  return true;
}();

}  // namespace
