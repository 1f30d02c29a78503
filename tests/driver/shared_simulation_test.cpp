// The user's one simulated bank in its shared file.
#include "shared_simulation.h"
#include "backend.h"
#include "request.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace lptwdmio;
namespace fs = std::filesystem;

namespace {

class SharedSimulationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("lpt-sim-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::unique_ptr<TSharedSimulatedBank> OpenBank() {
    std::string refusal;
    auto file = TSimulationFile::Open(Dir.string(), Messages, refusal);
    EXPECT_TRUE(file) << refusal;
    return file ? std::make_unique<TSharedSimulatedBank>(std::move(file)) : nullptr;
  }
  static BYTE Read(TPortBank& bank, BYTE address) {
    BYTE pair[2] = {address, 0};
    DWORD returned = 0;
    EXPECT_EQ(HandleRequest(bank, IoctlBatchRead, pair, 2, pair, 2, &returned), ERROR_SUCCESS);
    return pair[1];
  }
  static DWORD Write(TPortBank& bank, BYTE address, BYTE value) {
    BYTE pair[2] = {address, value};
    DWORD returned = 0;
    return HandleRequest(bank, IoctlBatchWrite, pair, 2, pair, 2, &returned);
  }
  fs::path File() const { return Dir / SimulationFileName; }

  fs::path Dir;
  std::ostringstream Messages;
};

TEST_F(SharedSimulationTest, EveryViewSeesTheOneSetOfLatches) {
  auto first = OpenBank();
  auto second = OpenBank();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(Read(*second, 0x10), 0x00);  // a new file: a freshly powered port
  EXPECT_EQ(Read(*second, 0x12), 0xCC);
  ASSERT_EQ(Write(*first, 0x10, 0x13), ERROR_SUCCESS);
  ASSERT_EQ(Write(*first, 0x22, 0x05), ERROR_SUCCESS);
  EXPECT_EQ(Read(*second, 0x10), 0x13);
  EXPECT_EQ(Read(*second, 0x11), 0x1F);  // the loopback plug sees the other view's lines
  EXPECT_EQ(Read(*second, 0x22), 0xC5);
  first.reset();
  EXPECT_EQ(Read(*OpenBank(), 0x10), 0x13);  // the state outlives every open
  EXPECT_EQ(fs::status(Dir).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(File()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::file_size(File()), 32u);
  EXPECT_EQ(Messages.str(), "");
}

TEST_F(SharedSimulationTest, DamagedFileIsRebuiltNotTrusted) {
  struct TCase {
    const char* Name;
    std::function<void(const fs::path&)> Damage;
  };
  const TCase cases[] = {
      {"cut short", [](const fs::path& file) { fs::resize_file(file, 20); }},
      {"garbage",
       [](const fs::path& file) { std::ofstream(file, std::ios::binary) << std::string(32, '\xA5'); }},
      {"one latch changed behind the check",
       [](const fs::path& file) {
         std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
         out.seekp(16);
         out.put('\x77');
       }},
      {"empty", [](const fs::path& file) { fs::resize_file(file, 0); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(Dir);
    Messages.str("");
    auto bank = OpenBank();
    ASSERT_TRUE(bank);
    ASSERT_EQ(Write(*bank, 0x10, 0x5A), ERROR_SUCCESS);
    c.Damage(File());
    EXPECT_EQ(Read(*bank, 0x10), 0x00);
    EXPECT_EQ(Read(*bank, 0x12), 0xCC);
    // An empty file is simply a new one; anything else is said.
    const bool said = Messages.str().find("was damaged") != std::string::npos;
    EXPECT_EQ(said, c.Name != std::string("empty")) << Messages.str();
    EXPECT_EQ(fs::file_size(File()), 32u);
    ASSERT_EQ(Write(*bank, 0x10, 0x21), ERROR_SUCCESS);
    EXPECT_EQ(Read(*OpenBank(), 0x10), 0x21);
  }
}

TEST_F(SharedSimulationTest, RefusesWhatIsNotTheUsersAlone) {
  std::string refusal;
  fs::create_directories(Dir);
  fs::permissions(Dir, fs::perms::all);
  EXPECT_FALSE(TSimulationFile::Open(Dir.string(), Messages, refusal));
  EXPECT_NE(refusal.find("not a folder of this user's alone"), std::string::npos) << refusal;

  fs::permissions(Dir, fs::perms::owner_all);
  const fs::path elsewhere = Dir / "elsewhere";
  std::ofstream(elsewhere) << "";
  fs::create_symlink(elsewhere, File());
  refusal.clear();
  EXPECT_FALSE(TSimulationFile::Open(Dir.string(), Messages, refusal));
  EXPECT_NE(refusal.find(File().string()), std::string::npos) << refusal;
  EXPECT_EQ(fs::file_size(elsewhere), 0u);
}

TEST_F(SharedSimulationTest, AHolderThatNeverLetsGoMakesTheBatchBusy) {
  auto bank = OpenBank();
  ASSERT_TRUE(bank);
  const int holder = ::open(File().c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_EQ(Write(*bank, 0x10, 0x01), ERROR_BUSY);
  EXPECT_NE(Messages.str().find("held"), std::string::npos) << Messages.str();
  ::close(holder);
  EXPECT_EQ(Read(*bank, 0x10), 0x00);  // the refused write went nowhere
}

TEST_F(SharedSimulationTest, SessionsShareTheFileOrFallBackToTheirOwnLatches) {
  std::ostringstream out;
  TMessages messages(out);
  TDriverState driver;
  TBackendConfig config{TBackendChoice::Simulated, "/dev", "/proc", Dir.string()};
  TSession shared(driver);
  ASSERT_EQ(OpenSession(config, shared, messages), ERROR_SUCCESS);
  ASSERT_EQ(Write(*shared.Bank, 0x20, 0x44), ERROR_SUCCESS);
  EXPECT_EQ(Read(*OpenBank(), 0x20), 0x44);

  fs::permissions(Dir, fs::perms::all);
  for (int i = 0; i < 2; ++i) {
    TSession own(driver);
    ASSERT_EQ(OpenSession(config, own, messages), ERROR_SUCCESS);
    EXPECT_EQ(Read(*own.Bank, 0x20), 0x00);
    EXPECT_EQ(own.Bank->Describe(0).Flags, PortPresent | PortSimulated | PortLoopback);
  }
  const std::string said = out.str();
  EXPECT_EQ(said.find("stay private"), said.rfind("stay private")) << "said once: " << said;
  EXPECT_NE(said.find("stay private"), std::string::npos) << said;
  fs::permissions(Dir, fs::perms::owner_all);
}

}  // namespace
