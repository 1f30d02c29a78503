// The user's one simulated bank in its shared file: one holder per port, the
// latches kept between holders, the far side open to anyone.
#include "shared_simulation.h"
#include "request.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace lptwdmio;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Reads of the bank file fail while this is set: the test binary's own
// pread stands in front of the C library's.
static int FailReadsWith = 0;
extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  if (FailReadsWith) {
    errno = FailReadsWith;
    return -1;
  }
  return syscall(SYS_pread64, fd, buffer, count, offset);
}

namespace {

class SharedSimulationTest : public ::testing::Test {
 protected:
  void TearDown() override { fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::replace); }

  DWORD OpenFile(std::unique_ptr<TSimulationFile>& file) {
    std::string refusal;
    const DWORD status = TSimulationFile::Open(Dir.string(), 20ms, Messages, file, refusal);
    Refusal = refusal;
    return status;
  }
  // Waits 20 ms for a held port and looks at the path before every batch.
  std::unique_ptr<TSharedSimulatedBank> OpenBank() {
    std::unique_ptr<TSimulationFile> file;
    EXPECT_EQ(OpenFile(file), ERROR_SUCCESS) << Refusal;
    return file ? std::make_unique<TSharedSimulatedBank>(std::move(file),
                                                         TSharedSimulatedBank::TOptions{20ms, 0ms}, Messages)
                : nullptr;
  }
  static DWORD Transfer(TPortBank& bank, DWORD code, BYTE address, BYTE& value) {
    BYTE pair[2] = {address, value};
    DWORD returned = 0;
    const DWORD status = HandleRequest(bank, code, pair, 2, pair, 2, &returned);
    value = pair[1];
    return status;
  }
  static BYTE Read(TPortBank& bank, BYTE address) {
    BYTE value = 0;
    EXPECT_EQ(Transfer(bank, IoctlBatchRead, address, value), ERROR_SUCCESS);
    return value;
  }
  static DWORD Write(TPortBank& bank, BYTE address, BYTE value) {
    return Transfer(bank, IoctlBatchWrite, address, value);
  }
  static DWORD FarSide(TPortBank& bank, TSimulatedInputs& inputs) {
    DWORD returned = 0;
    return HandleRequest(bank, IoctlSimulatedInputs, &inputs, 4, &inputs, 4, &returned);
  }
  fs::path File() const { return Dir / SimulationFileName; }

  pinlark::testsupport::TTempDir Temp;
  const fs::path Dir = Temp / "bank";
  std::ostringstream Messages;
  std::string Refusal;
};

TEST_F(SharedSimulationTest, OneHolderAtATimeAndTheLatchesOutliveIt) {
  auto first = OpenBank();
  auto second = OpenBank();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(Read(*first, 0x10), 0x00);  // a new file: freshly powered ports
  EXPECT_EQ(Read(*first, 0x12), 0xCC);
  ASSERT_EQ(Write(*first, 0x10, 0x13), ERROR_SUCCESS);
  ASSERT_EQ(Write(*first, 0x22, 0x05), ERROR_SUCCESS);
  BYTE value = 0;
  EXPECT_EQ(Transfer(*second, IoctlBatchRead, 0x10, value), ERROR_BUSY);
  EXPECT_EQ(second->Describe(0).Flags, PortPresent | PortSimulated | PortLoopback | PortHeld);
  EXPECT_EQ(second->Describe(0).Holder, uint32_t(::getpid()));
  EXPECT_EQ(first->Describe(0).Flags & PortHeld, 0);  // its own holding is no one else's
  first.reset();
  EXPECT_EQ(second->Describe(0).Flags & PortHeld, 0);
  EXPECT_EQ(Read(*second, 0x10), 0x13);
  EXPECT_EQ(Read(*second, 0x11), 0x1F);  // the plug sees the lines the first holder left
  EXPECT_EQ(Read(*second, 0x22), 0xC5);
  EXPECT_EQ(fs::status(Dir).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(File()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::file_size(File()), 64u);
  EXPECT_NE(Messages.str().find("the simulated LPT1 is in use by another program (pid " +
                                std::to_string(::getpid()) + ")"),
            std::string::npos)
      << Messages.str();
}

// After one wait that ran out, a port is tried once and never waited for,
// so a session (the window's start-up, a command) keeps its bound as a whole.
TEST_F(SharedSimulationTest, AfterOneWaitRanOutTheSessionOnlyTries) {
  auto holder = OpenBank();
  auto waiter = OpenBank();
  ASSERT_TRUE(holder && waiter);
  ASSERT_EQ(Write(*holder, 0x10, 0x01), ERROR_SUCCESS);
  EXPECT_EQ(Write(*waiter, 0x10, 0x02), ERROR_BUSY);
  EXPECT_EQ(Write(*waiter, 0x20, 0x03), ERROR_SUCCESS);  // free: taken at the first try
  EXPECT_EQ(Write(*waiter, 0x10, 0x02), ERROR_BUSY);
  // A batch that cannot have all its ports touches none.
  BYTE both[] = {0x20, 0x44, 0x10, 0x04};
  DWORD returned = 0;
  EXPECT_EQ(HandleRequest(*waiter, IoctlBatchWrite, both, 4, both, 4, &returned), ERROR_BUSY);
  EXPECT_EQ(Read(*waiter, 0x20), 0x03);
  EXPECT_EQ(Read(*holder, 0x10), 0x01);
  const std::string said = Messages.str();
  EXPECT_EQ(said.find("in use"), said.rfind("in use")) << "said once: " << said;
}

TEST_F(SharedSimulationTest, ADeadHoldersPortIsFreeAndKeepsItsLatches) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pinlark::testsupport::TChild child([&] {
    auto bank = OpenBank();
    const bool wrote = bank && Write(*bank, 0x20, 0x3C) == ERROR_SUCCESS;
    (void)!::write(ready[1], wrote ? "y" : "n", 1);
    ::pause();
    return 0;
  });
  ASSERT_TRUE(child.Started());
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  auto bank = OpenBank();
  ASSERT_TRUE(bank);
  EXPECT_EQ(byte, 'y');
  EXPECT_EQ(bank->Describe(1).Holder, uint32_t(child.Pid()));
  EXPECT_EQ(Write(*bank, 0x20, 0x00), ERROR_BUSY);
  ASSERT_TRUE(child.Stop(SIGKILL, std::chrono::seconds(10)));
  ::close(ready[0]);
  ::close(ready[1]);
  auto next = OpenBank();  // the first one gave up waiting: a new session
  ASSERT_TRUE(next);
  EXPECT_EQ(next->Describe(1).Flags & PortHeld, 0);
  EXPECT_EQ(Read(*next, 0x20), 0x3C);
}

TEST_F(SharedSimulationTest, DamageIsRebuiltNotTrusted) {
  struct TCase {
    const char* Name;
    std::function<void(const fs::path&)> Damage;
    bool Said;
  };
  const TCase cases[] = {
      {"cut short", [](const fs::path& file) { fs::resize_file(file, 20); }, true},
      {"garbage",
       [](const fs::path& file) { std::ofstream(file, std::ios::binary) << std::string(64, '\xA5'); }, true},
      {"one latch changed behind its check",
       [](const fs::path& file) {
         std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
         out.seekp(16);
         out.put('\x77');
       },
       true},
      {"longer", [](const fs::path& file) { std::ofstream(file, std::ios::app) << "more"; }, true},
      {"empty", [](const fs::path& file) { fs::resize_file(file, 0); }, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(Dir);
    Messages.str("");
    {
      auto bank = OpenBank();
      ASSERT_TRUE(bank);
      ASSERT_EQ(Write(*bank, 0x10, 0x5A), ERROR_SUCCESS);
    }
    c.Damage(File());
    auto bank = OpenBank();
    ASSERT_TRUE(bank);
    EXPECT_EQ(Read(*bank, 0x10), 0x00);
    EXPECT_EQ(Read(*bank, 0x12), 0xCC);
    EXPECT_EQ(Messages.str().find("was damaged") != std::string::npos, c.Said) << Messages.str();
    EXPECT_EQ(fs::file_size(File()), 64u);
    ASSERT_EQ(Write(*bank, 0x10, 0x21), ERROR_SUCCESS);
    bank.reset();
    EXPECT_EQ(Read(*OpenBank(), 0x10), 0x21);
  }
}

// A file that cannot be read is an error to report, not damage to repair.
TEST_F(SharedSimulationTest, AFailedReadIsAnErrorAndTheFileStays) {
  {
    auto bank = OpenBank();
    ASSERT_TRUE(bank);
    ASSERT_EQ(Write(*bank, 0x20, 0x66), ERROR_SUCCESS);
  }
  FailReadsWith = EIO;
  std::unique_ptr<TSimulationFile> file;
  const DWORD status = OpenFile(file);
  FailReadsWith = 0;
  EXPECT_EQ(status, ERROR_IO_DEVICE);
  EXPECT_FALSE(file);
  EXPECT_NE(Refusal.find("cannot read " + File().string() + " (Input/output error)"), std::string::npos)
      << Refusal;
  EXPECT_EQ(Messages.str().find("damaged"), std::string::npos) << Messages.str();
  EXPECT_EQ(Read(*OpenBank(), 0x20), 0x66);
}

TEST_F(SharedSimulationTest, RefusesWhatIsNotTheUsersAlone) {
  struct TCase {
    const char* Name;
    std::function<void(const fs::path& dir, const fs::path& file)> Arrange;
    const char* Says;
  };
  const TCase cases[] = {
      {"a folder others may write",
       [](const fs::path& dir, const fs::path&) { fs::permissions(dir, fs::perms::all); },
       "is not a folder of this user's alone"},
      {"a link to another file",
       [](const fs::path& dir, const fs::path& file) {
         std::ofstream(dir / "elsewhere") << "";
         fs::create_symlink(dir / "elsewhere", file);
       },
       "cannot open"},
      {"a hard link to another file",
       [](const fs::path& dir, const fs::path& file) {
         std::ofstream(dir / "elsewhere") << "";
         fs::create_hard_link(dir / "elsewhere", file);
       },
       "has other names"},
      {"a file others may write",
       [](const fs::path&, const fs::path& file) {
         std::ofstream(file) << "";
         fs::permissions(file, fs::perms::all);
       },
       "is not this user's own file"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::replace);
    c.Arrange(Dir, File());
    std::unique_ptr<TSimulationFile> file;
    EXPECT_EQ(OpenFile(file), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(file);
    EXPECT_NE(Refusal.find(c.Says), std::string::npos) << Refusal;
    EXPECT_NE(Refusal.find("no simulated port is served"), std::string::npos) << Refusal;
    if (fs::exists(Dir / "elsewhere")) {
      EXPECT_EQ(fs::file_size(Dir / "elsewhere"), 0u);
    }
  }
}

// Removed or replaced under a running holder: the holder notices, moves to
// the file now at the path and takes its ports' latches along.
TEST_F(SharedSimulationTest, ARemovedOrReplacedFileIsFollowed) {
  struct TCase {
    const char* Name;
    std::function<void(const fs::path&)> Change;
  };
  const TCase cases[] = {
      {"removed", [](const fs::path& file) { fs::remove(file); }},
      {"replaced",
       [](const fs::path& file) {
         std::ofstream(file.string() + ".new") << "";
         fs::rename(file.string() + ".new", file);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(Dir);
    Messages.str("");
    auto holder = OpenBank();
    ASSERT_TRUE(holder);
    ASSERT_EQ(Write(*holder, 0x10, 0x5A), ERROR_SUCCESS);
    c.Change(File());
    EXPECT_EQ(Read(*holder, 0x10), 0x5A);
    EXPECT_NE(Messages.str().find("was removed or replaced"), std::string::npos) << Messages.str();
    auto other = OpenBank();
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->Describe(0).Flags & PortHeld);  // in the new file too
    holder.reset();
    EXPECT_EQ(Read(*other, 0x10), 0x5A);
  }
}

}  // namespace
