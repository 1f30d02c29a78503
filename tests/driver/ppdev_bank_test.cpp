#include "ppdev_bank.h"
#include "backend.h"
#include "errno_map.h"
#include "request.h"

#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

using namespace lptwdmio;
namespace fs = std::filesystem;

namespace {

TParportNode Node(int number, std::optional<unsigned> base) {
  return {number, "/dev/parport" + std::to_string(number), base};
}

TEST(SlotAssignment, ClassicBasesPickTheirSlotWhateverTheKernelOrder) {
  EXPECT_EQ(AssignSlots({Node(0, 0x378)}), (std::array<int, 3>{-1, 0, -1}));
  EXPECT_EQ(AssignSlots({Node(0, 0x278), Node(1, 0x378), Node(2, 0x3BC)}), (std::array<int, 3>{2, 1, 0}));
}

TEST(SlotAssignment, OtherBasesTakeFreeSlotsInKernelOrder) {
  EXPECT_EQ(AssignSlots({Node(0, 0xD010), Node(1, 0x378), Node(2, std::nullopt)}),
            (std::array<int, 3>{0, 1, 2}));
  EXPECT_EQ(AssignSlots({Node(0, 0xE000), Node(1, 0x3BC)}), (std::array<int, 3>{1, 0, -1}));
}

TEST(SlotAssignment, ADuplicateBaseAndSurplusPortsDoNotDisplaceOthers) {
  EXPECT_EQ(AssignSlots({Node(0, 0x378), Node(1, 0x378), Node(2, 0xD000), Node(3, 0xD100)}),
            (std::array<int, 3>{1, 0, 2}));
}

class ParportTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = fs::temp_directory_path() / ("lptwdmio-tree-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Root / "dev");
    fs::create_directories(Root / "proc");
  }
  void TearDown() override { fs::remove_all(Root); }
  void AddNode(const std::string& name, const char* baseAddr) {
    std::ofstream(Root / "dev" / name) << "";
    if (baseAddr) {
      fs::create_directories(Root / "proc" / name);
      std::ofstream(Root / "proc" / name / "base-addr") << baseAddr;
    }
  }
  fs::path Root;
};

TEST_F(ParportTreeTest, FindsNodesInKernelOrderWithTheirBases) {
  AddNode("parport10", "632\t1656\n");
  AddNode("parport1", "956\t0\n");
  AddNode("parport0", "888\t1912\n");
  AddNode("parport2", nullptr);
  AddNode("parportx", "888\n");
  AddNode("lp0", nullptr);
  const auto nodes = FindParports((Root / "dev").string(), (Root / "proc").string());
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[0].Number, 0);
  EXPECT_EQ(nodes[0].BaseAddress, 0x378u);
  EXPECT_EQ(nodes[1].BaseAddress, 0x3BCu);
  EXPECT_EQ(nodes[2].Number, 2);
  EXPECT_FALSE(nodes[2].BaseAddress);
  EXPECT_EQ(nodes[3].Number, 10);
  EXPECT_EQ(nodes[3].BaseAddress, 0x278u);
  EXPECT_EQ(nodes[3].Path, (Root / "dev" / "parport10").string());
}

TEST_F(ParportTreeTest, KnowsWhichPortsSomeoneHolds) {
  AddNode("parport0", "888\t0\n");
  AddNode("parport1", "632\t0\n");
  AddNode("parport2", "956\t0\n");
  fs::create_directories(Root / "proc" / "parport0" / "devices");
  std::ofstream(Root / "proc" / "parport0" / "devices" / "active") << "none\n";
  fs::create_directories(Root / "proc" / "parport1" / "devices");
  std::ofstream(Root / "proc" / "parport1" / "devices" / "active") << "ppdev1\n";
  const auto nodes = FindParports((Root / "dev").string(), (Root / "proc").string());
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_FALSE(nodes[0].InUse);
  EXPECT_TRUE(nodes[1].InUse);
  EXPECT_FALSE(nodes[2].InUse);  // nothing to tell: try the claim
}

bool IsSimulated(const TSession& session) {
  return session.Bank && (session.Bank->Describe(0).Flags & PortSimulated);
}

const std::string NoPortNotice =
    "lptwdmio: no parallel port found; simulating LPT1 (with a loopback plug) and LPT2. For real ports "
    "load parport_pc and ppdev (sudo modprobe parport_pc ppdev)\n";
const std::string ForcedNotice =
    "lptwdmio: simulating LPT1 (with a loopback plug) and LPT2, as LPTWDMIO_BACKEND=simulated asks\n";

TEST_F(ParportTreeTest, NoNodesMeansTheSimulatedBank) {
  TDriverState driver;
  TSession session(driver);
  std::ostringstream out;
  TMessages messages(out);
  TBackendConfig config{TBackendChoice::Automatic, (Root / "dev").string(), (Root / "proc").string(), ""};
  ASSERT_EQ(OpenSession(config, session, messages), ERROR_SUCCESS);
  EXPECT_TRUE(IsSimulated(session));
  config.Choice = TBackendChoice::Ppdev;
  TSession forcedPpdev(driver);
  EXPECT_EQ(OpenSession(config, forcedPpdev, messages), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(forcedPpdev.Bank);
}

// parport_pc found a port but ppdev is not loaded: no node, yet a real port.
TEST_F(ParportTreeTest, KernelPortsWithoutNodesAreNoCaseForTheSimulatedBank) {
  fs::create_directories(Root / "proc" / "default");
  TDriverState driver;
  TSession session(driver);
  std::ostringstream out;
  TMessages messages(out);
  TBackendConfig config{TBackendChoice::Automatic, (Root / "dev").string(), (Root / "proc").string(), ""};
  ASSERT_EQ(OpenSession(config, session, messages), ERROR_SUCCESS);  // "default" is no port
  EXPECT_EQ(out.str(), NoPortNotice);

  out.str("");
  fs::create_directories(Root / "proc" / "parport0");
  std::ofstream(Root / "proc" / "parport0" / "base-addr") << "888\t0\n";
  TSession second(driver);
  EXPECT_EQ(OpenSession(config, second, messages), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(second.Bank, nullptr);
  EXPECT_EQ(out.str(), "lptwdmio: the kernel has a parallel port but there is no " + (Root / "dev").string() +
                           "/parport*; load ppdev (sudo modprobe ppdev)\n");

  config.Choice = TBackendChoice::Simulated;
  TSession forced(driver);
  EXPECT_EQ(OpenSession(config, forced, messages), ERROR_SUCCESS);
  EXPECT_TRUE(IsSimulated(forced));
}

TEST_F(ParportTreeTest, NodesThatAreNoPpdevDevicesFailTheOpen) {
  AddNode("parport0", "888\n");  // a plain file: the claim is refused
  TDriverState driver;
  TSession session(driver);
  std::ostringstream out;
  TMessages messages(out);
  TBackendConfig config{TBackendChoice::Automatic, (Root / "dev").string(), (Root / "proc").string(), ""};
  EXPECT_EQ(OpenSession(config, session, messages), ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(out.str().empty());
  config.Choice = TBackendChoice::Simulated;
  EXPECT_EQ(OpenSession(config, session, messages), ERROR_SUCCESS);
  EXPECT_EQ(out.str(), ForcedNotice);
}

// Simulating is never silent, and never repeats itself.
TEST_F(ParportTreeTest, SimulationIsSaidOnceForEachReason) {
  TDriverState driver;
  std::ostringstream out;
  TMessages messages(out);
  TBackendConfig config{TBackendChoice::Automatic, (Root / "dev").string(), (Root / "proc").string(), ""};
  std::vector<std::unique_ptr<TSession>> sessions;
  for (TBackendChoice choice : {TBackendChoice::Automatic, TBackendChoice::Automatic,
                                TBackendChoice::Simulated, TBackendChoice::Simulated}) {
    config.Choice = choice;
    sessions.push_back(std::make_unique<TSession>(driver));
    ASSERT_EQ(OpenSession(config, *sessions.back(), messages), ERROR_SUCCESS);
    EXPECT_TRUE(IsSimulated(*sessions.back()));
  }
  EXPECT_EQ(out.str(), NoPortNotice + ForcedNotice);
}

TEST(BackendConfig, UnknownBackendIsReportedOnceAndTakenAsAutomatic) {
  struct TCase {
    const char* Value;
    TBackendChoice Choice;
    const char* Said;
  };
  const TCase cases[] = {
      {"simulated", TBackendChoice::Simulated, ""},
      {"ppdev", TBackendChoice::Ppdev, ""},
      {"", TBackendChoice::Automatic, ""},
      {"Simulated", TBackendChoice::Automatic,
       "lptwdmio: unknown LPTWDMIO_BACKEND value 'Simulated'; expected simulated or ppdev\n"},
      {"x", TBackendChoice::Automatic,
       "lptwdmio: unknown LPTWDMIO_BACKEND value 'x'; expected simulated or ppdev\n"},
  };
  for (const TCase& c : cases) {
    ::setenv("LPTWDMIO_BACKEND", c.Value, 1);
    std::ostringstream out;
    TMessages messages(out);
    EXPECT_EQ(TBackendConfig::FromEnvironment(messages).Choice, c.Choice) << c.Value;
    EXPECT_EQ(TBackendConfig::FromEnvironment(messages).Choice, c.Choice) << c.Value;
    EXPECT_EQ(out.str(), c.Said) << c.Value;
  }
  ::unsetenv("LPTWDMIO_BACKEND");
}

// Stands in for the kernel: per-node open results and per-descriptor registers.
class TFakePpdev : public TPpdevSystem {
 public:
  int Open(const std::string& path) override {
    Calls.push_back("open " + path);
    if (auto it = OpenErrors.find(path); it != OpenErrors.end()) return -it->second;
    const int fd = NextFd++;
    Ports[fd] = {};
    return fd;
  }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    TPort& port = Ports.at(fd);
    auto* byte = static_cast<unsigned char*>(argument);
    std::string name;
    switch (request) {
      case PPCLAIM: name = "claim"; break;
      case PPRELEASE: name = "release"; break;
      case PPDATADIR:
        name = "datadir " + std::to_string(*static_cast<int*>(argument));
        if (DataDirThrows) throw std::runtime_error("datadir");
        break;
      case PPRDATA:
        name = "rdata";
        *byte = port.Data;
        break;
      case PPWDATA:
        name = "wdata " + std::to_string(*byte);
        port.Data = *byte;
        break;
      case PPRSTATUS:
        name = "rstatus";
        *byte = 0x78;
        break;
      case PPRCONTROL:
        name = "rcontrol";
        *byte = port.Control & 0x0F;
        break;
      case PPWCONTROL:
        name = "wcontrol " + std::to_string(*byte);
        port.Control = *byte;
        break;
      default: name = "other";
    }
    Calls.push_back(std::to_string(fd) + " " + name);
    if (request == PPCLAIM && BlockingClaims.count(fd)) return SleepUntilInterrupted();
    if (request == PPCLAIM && ClaimError) return -ClaimError;
    if (request == PPDATADIR && DataDirError) return -DataDirError;
    return IoError ? -IoError : 0;
  }
  void Close(int fd) override { Calls.push_back("close " + std::to_string(fd)); }
  std::string GroupOf(const std::string&) override { return "lp"; }

  struct TPort {
    unsigned char Data = 0;
    unsigned char Control = 0;
  };
  std::map<std::string, int> OpenErrors;
  std::map<int, TPort> Ports;
  std::vector<std::string> Calls;
  std::set<int> BlockingClaims;  // claims that sleep as the kernel's does for a held port
  int ClaimError = 0;
  int DataDirError = 0;
  bool DataDirThrows = false;
  int IoError = 0;
  int NextFd = 3;

 private:
  // A read of an empty pipe sleeps interruptibly, as PPCLAIM does.
  static int SleepUntilInterrupted() {
    int ends[2];
    if (::pipe(ends) != 0) return -errno;
    char byte;
    const int result = ::read(ends[0], &byte, 1) < 0 ? -errno : 0;
    ::close(ends[0]);
    ::close(ends[1]);
    return result;
  }
};

class PpdevBankTest : public ::testing::Test {
 protected:
  DWORD Open(const std::vector<TParportNode>& nodes) { return OpenPpdevBank(System, nodes, Bank, Messages); }
  DWORD Request(DWORD code, BYTE address, BYTE& value) {
    BYTE pair[2] = {address, value};
    DWORD returned = 0;
    const DWORD status = HandleRequest(*Bank, code, pair, 2, pair, 2, &returned);
    value = pair[1];
    return status;
  }
  BYTE Read(BYTE address) {
    BYTE value = 0;
    EXPECT_EQ(Request(IoctlBatchRead, address, value), ERROR_SUCCESS);
    return value;
  }
  void Write(BYTE address, BYTE value) { EXPECT_EQ(Request(IoctlBatchWrite, address, value), ERROR_SUCCESS); }

  TFakePpdev System;
  std::unique_ptr<TPortBank> Bank;
  std::ostringstream Messages;
};

TEST_F(PpdevBankTest, OpenClaimsEachPortAndSetsItsDataLinesToOutput) {
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport0", "3 claim", "3 datadir 0"}));
  System.Calls.clear();
  Bank.reset();
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"3 release", "close 3"}));
}

TEST_F(PpdevBankTest, SlotsFollowTheBaseAddressAndEmptySlotsReadAbsent) {
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  System.Calls.clear();
  EXPECT_EQ(Read(0x10), 0xFF);
  EXPECT_EQ(Read(0x32), 0xFF);
  Write(0x30, 0x12);
  EXPECT_TRUE(System.Calls.empty());
  Write(0x20, 0x5A);
  EXPECT_EQ(Read(0x20), 0x5A);
  EXPECT_EQ(Read(0x21), 0x78);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"3 wdata 90", "3 rdata", "3 rstatus"}));
}

TEST_F(PpdevBankTest, ControlKeepsTheHighBitsThatPpdevCannotReport) {
  ASSERT_EQ(Open({Node(0, 0x3BC)}), ERROR_SUCCESS);
  EXPECT_EQ(Read(0x12), 0xC0);
  System.Calls.clear();
  Write(0x12, 0x3A);  // direction to input, IRQ enable, lines 0xA
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"3 datadir 1", "3 wcontrol 10"}));
  EXPECT_EQ(Read(0x12), 0xFA);
  System.Calls.clear();
  Write(0x12, 0x35);  // direction unchanged: no PPDATADIR
  Write(0x12, 0x05);  // back to output
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"3 wcontrol 5", "3 datadir 0", "3 wcontrol 5"}));
  EXPECT_EQ(Read(0x12), 0xC5);
}

TEST_F(PpdevBankTest, StatusWritesAreIgnored) {
  ASSERT_EQ(Open({Node(0, 0x3BC)}), ERROR_SUCCESS);
  System.Calls.clear();
  Write(0x11, 0x00);
  EXPECT_TRUE(System.Calls.empty());
}

TEST_F(PpdevBankTest, KernelErrorsBecomeWindowsCodes) {
  ASSERT_EQ(Open({Node(0, 0x3BC)}), ERROR_SUCCESS);
  System.IoError = EIO;
  BYTE value = 0;
  EXPECT_EQ(Request(IoctlBatchRead, 0x10, value), ERROR_IO_DEVICE);
  System.IoError = ENODEV;
  EXPECT_EQ(Request(IoctlBatchWrite, 0x10, value), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(PpdevBankTest, NoPermissionAnywhereIsAccessDeniedWithOneHint) {
  System.OpenErrors = {{"/dev/parport0", EACCES}, {"/dev/parport1", EACCES}};
  EXPECT_EQ(Open({Node(0, 0x378), Node(1, 0x278)}), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Bank);
  EXPECT_EQ(Messages.str(),
            "lptwdmio: no permission to open /dev/parport0; add yourself to group lp "
            "(sudo usermod -aG lp $USER) and log in again\n");
}

TEST_F(PpdevBankTest, OnePortThatOpensIsEnoughTheOthersReadAbsent) {
  System.OpenErrors = {{"/dev/parport1", EACCES}};
  ASSERT_EQ(Open({Node(0, 0x378), Node(1, 0x3BC)}), ERROR_SUCCESS);
  EXPECT_TRUE(Messages.str().empty());
  EXPECT_EQ(Read(0x10), 0xFF);
  Write(0x20, 0x11);
  EXPECT_EQ(Read(0x20), 0x11);
}

TEST_F(PpdevBankTest, PortsThatCannotBeClaimedGiveTheKernelReason) {
  System.ClaimError = EBUSY;
  EXPECT_EQ(Open({Node(0, 0x378)}), ERROR_BUSY);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport0", "3 claim", "close 3"}));
  EXPECT_TRUE(Messages.str().empty());
}

// The kernel's claim waits while another program holds the port: a second
// instance of the program would hang at start-up instead of saying so.
TEST_F(PpdevBankTest, PortsHeldElsewhereAreNotClaimed) {
  TParportNode held = Node(0, 0x378);
  held.InUse = true;
  EXPECT_EQ(Open({held}), ERROR_BUSY);
  EXPECT_TRUE(System.Calls.empty());
  EXPECT_EQ(Messages.str(),
            "lptwdmio: /dev/parport0 is in use by another program; close that program and try "
            "again\n");

  Messages.str("");
  ASSERT_EQ(Open({held, Node(1, 0x278)}), ERROR_SUCCESS);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport1", "3 claim", "3 datadir 0"}));
  EXPECT_TRUE(Messages.str().empty());
  EXPECT_EQ(Read(0x20), 0xFF);
}

// Another program may claim a port between the look at its entry and our
// claim; the kernel's claim would then wait for that program for ever.
TEST_F(PpdevBankTest, AClaimThatWaitsTooLongGivesUpAsBusy) {
  System.ClaimLimit = std::chrono::milliseconds(20);
  for (bool sleeps : {false, true}) {
    SCOPED_TRACE(sleeps ? "claim sleeps until the deadline" : "claim reports the interruption");
    System.Calls.clear();
    Messages.str("");
    System.NextFd = 3;
    System.ClaimError = sleeps ? 0 : EINTR;
    System.BlockingClaims = sleeps ? std::set<int>{3} : std::set<int>{};
    EXPECT_EQ(Open({Node(0, 0x378)}), ERROR_BUSY);
    EXPECT_FALSE(Bank);
    // Closed, never released: the claim did not succeed.
    EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport0", "3 claim", "close 3"}));
    EXPECT_EQ(Messages.str(),
              "lptwdmio: /dev/parport0 is in use by another program; close that program and try again\n");
  }
}

TEST_F(PpdevBankTest, DataDirectionFailureAtClaimIsSaidAndTheClaimStands) {
  System.DataDirError = EIO;
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  EXPECT_EQ(Messages.str(),
            "lptwdmio: /dev/parport0: cannot turn the data lines to output (Input/output error); data reads "
            "may show the lines rather than the latch\n");
  Write(0x20, 0x33);
  EXPECT_EQ(Read(0x20), 0x33);
}

// Whatever happens between the open and the hand-over, the node goes back.
TEST_F(PpdevBankTest, AFailureAfterTheClaimReleasesAndClosesTheNode) {
  System.DataDirThrows = true;
  EXPECT_THROW(Open({Node(0, 0x378)}), std::runtime_error);
  EXPECT_EQ(System.Calls,
            (std::vector<std::string>{"open /dev/parport0", "3 claim", "3 release", "close 3"}));
}

TEST_F(PpdevBankTest, AClaimedPortIsGivenBackOnceWhereverItMoves) {
  TPpdevPort first, second;
  ASSERT_EQ(TPpdevPort::Claim(System, "/dev/parport0", first, Messages), 0);
  ASSERT_EQ(TPpdevPort::Claim(System, "/dev/parport1", second, Messages), 0);
  System.Calls.clear();
  TPpdevPort moved(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_TRUE(moved);
  EXPECT_TRUE(System.Calls.empty());
  second = std::move(moved);  // gives back what second held
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"4 release", "close 4"}));
  second = std::move(second);
  EXPECT_TRUE(second);
  System.Calls.clear();
  { TPpdevBank bank(TPpdevBank::TPorts{std::move(second)}); }
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"3 release", "close 3"}));
}

// The classic bases pick their slot exactly; a base beside one is any other card.
TEST(SlotAssignment, OnlyTheExactClassicBasesPickASlot) {
  struct TCase {
    unsigned Base;
    int Slot;
  };
  const TCase cases[] = {{0x3BB, -1}, {0x3BC, 0},  {0x3BD, -1}, {0x377, -1}, {0x378, 1},
                         {0x379, -1}, {0x277, -1}, {0x278, 2},  {0x279, -1}, {0x000, -1}};
  for (const TCase& c : cases) {
    // Behind a node at each classic base, so only an exact match finds its slot free.
    std::vector<TParportNode> nodes{Node(0, c.Base)};
    for (unsigned classic : {0x3BCu, 0x378u, 0x278u})
      if (classic != c.Base) nodes.push_back(Node(int(nodes.size()), classic));
    const auto slots = AssignSlots(nodes);
    if (c.Slot >= 0) {
      EXPECT_EQ(slots[c.Slot], 0) << std::hex << c.Base;
    } else {
      for (int slot : slots) EXPECT_NE(slot, 0) << std::hex << c.Base;
    }
  }
}

TEST(ErrnoMapping, CommonKernelErrorsHaveTheirWindowsCounterparts) {
  EXPECT_EQ(WindowsError(EPERM), ERROR_ACCESS_DENIED);
  EXPECT_EQ(WindowsError(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(WindowsError(ENXIO), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(WindowsError(EINVAL), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WindowsError(EPIPE), ERROR_GEN_FAILURE);
}

}  // namespace
