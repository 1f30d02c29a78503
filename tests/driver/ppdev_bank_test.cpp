#include "ppdev_bank.h"
#include "backend.h"
#include "errno_map.h"
#include "request.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

using namespace lptwdmio;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TParportNode Node(int number, std::optional<unsigned> base) {
  return {number, "/dev/parport" + std::to_string(number), base, ""};
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
    fs::create_directories(Root / "dev");
    fs::create_directories(Root / "proc");
  }
  void AddNode(const std::string& name, const char* baseAddr, const char* irq = nullptr) {
    std::ofstream(Root / "dev" / name) << "";
    if (baseAddr) {
      fs::create_directories(Root / "proc" / name);
      std::ofstream(Root / "proc" / name / "base-addr") << baseAddr;
    }
    if (irq) std::ofstream(Root / "proc" / name / "irq") << irq;
  }
  pinlark::testsupport::TTempDir Root;
};

TEST_F(ParportTreeTest, FindsNodesInKernelOrderWithTheirBases) {
  AddNode("parport10", "632\t1656\n", "5\n");
  AddNode("parport1", "956\t0\n", "-1\n");
  AddNode("parport0", "888\t1912\n", "7\n");
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
  // The kernel's irq names the port's line, -1 none.
  EXPECT_EQ(
      std::vector<bool>({nodes[0].Interrupt, nodes[1].Interrupt, nodes[2].Interrupt, nodes[3].Interrupt}),
      std::vector<bool>({true, false, false, true}));
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
  EXPECT_FALSE(ReadInUse(nodes[0].ActiveFile));
  EXPECT_TRUE(ReadInUse(nodes[1].ActiveFile));
  EXPECT_FALSE(ReadInUse(nodes[2].ActiveFile));  // nothing to tell: try the claim
}

std::string Text(const TPortQueryEntry& entry) {
  return "flags " + std::to_string(entry.Flags) + " base " + std::to_string(entry.Base) + " holder " +
         std::to_string(entry.Holder);
}

bool IsSimulated(const TSession& session) {
  return session.Bank && (session.Bank->Describe(0).Flags & PortSimulated);
}

const std::string NoPortNotice =
    "lptwdmio: no parallel port found; simulating LPT1 (with a loopback plug) and LPT2. For real ports "
    "load parport_pc and ppdev (sudo modprobe parport_pc ppdev)\n";
const std::string ForcedNotice =
    "lptwdmio: simulating LPT1 (with a loopback plug) and LPT2, as LPTWDMIO_BACKEND=simulated asks\n";

class BackendTest : public ParportTreeTest {
 protected:
  TBackendConfig Config(TBackendChoice choice) const {
    return {choice, (Root / "dev").string(), (Root / "proc").string(), (Root / "sim").string(), 20ms};
  }
  DWORD Open(TBackendChoice choice, TSession& session) {
    return OpenSession(Config(choice), session, Messages);
  }
  TDriverState Driver;
  std::ostringstream Out;
  TMessages Messages{Out};
};

TEST_F(BackendTest, NoNodesMeansTheSimulatedBank) {
  TSession session(Driver);
  ASSERT_EQ(Open(TBackendChoice::Automatic, session), ERROR_SUCCESS);
  EXPECT_TRUE(IsSimulated(session));
  TSession forcedPpdev(Driver);
  EXPECT_EQ(Open(TBackendChoice::Ppdev, forcedPpdev), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(forcedPpdev.Bank);
}

// parport_pc found a port but ppdev is not loaded: no node, yet a real port.
TEST_F(BackendTest, KernelPortsWithoutNodesAreNoCaseForTheSimulatedBank) {
  fs::create_directories(Root / "proc" / "default");
  TSession session(Driver);
  ASSERT_EQ(Open(TBackendChoice::Automatic, session), ERROR_SUCCESS);  // "default" is no port
  EXPECT_EQ(Out.str(), NoPortNotice);

  Out.str("");
  fs::create_directories(Root / "proc" / "parport0");
  std::ofstream(Root / "proc" / "parport0" / "base-addr") << "888\t0\n";
  TSession second(Driver);
  EXPECT_EQ(Open(TBackendChoice::Automatic, second), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(second.Bank, nullptr);
  EXPECT_EQ(Out.str(), "lptwdmio: the kernel has a parallel port but there is no " + (Root / "dev").string() +
                           "/parport*; load ppdev (sudo modprobe ppdev)\n");

  TSession forced(Driver);
  EXPECT_EQ(Open(TBackendChoice::Simulated, forced), ERROR_SUCCESS);
  EXPECT_TRUE(IsSimulated(forced));
}

// Opening claims nothing, so a node that is no ppdev device shows at its
// first batch.
TEST_F(BackendTest, NodesThatAreNoPpdevDevicesFailTheirFirstBatch) {
  AddNode("parport0", "888\n");  // a plain file: the claim is refused
  TSession session(Driver);
  ASSERT_EQ(Open(TBackendChoice::Automatic, session), ERROR_SUCCESS);
  EXPECT_EQ(session.Bank->Describe(1).Flags, PortPresent | PortBaseKnown);
  BYTE pair[2] = {0x20, 0};
  DWORD returned = 0;
  EXPECT_EQ(HandleRequest(*session.Bank, IoctlBatchRead, pair, 2, pair, 2, &returned), ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(Out.str().empty()) << Out.str();
  TSession forced(Driver);
  EXPECT_EQ(Open(TBackendChoice::Simulated, forced), ERROR_SUCCESS);
  EXPECT_EQ(Out.str(), ForcedNotice);
}

// Simulating is never silent, and never repeats itself.
TEST_F(BackendTest, SimulationIsSaidOnceForEachReason) {
  std::vector<std::unique_ptr<TSession>> sessions;
  for (TBackendChoice choice : {TBackendChoice::Automatic, TBackendChoice::Automatic,
                                TBackendChoice::Simulated, TBackendChoice::Simulated}) {
    sessions.push_back(std::make_unique<TSession>(Driver));
    ASSERT_EQ(Open(choice, *sessions.back()), ERROR_SUCCESS);
    EXPECT_TRUE(IsSimulated(*sessions.back()));
  }
  EXPECT_EQ(Out.str(), NoPortNotice + ForcedNotice);
}

TEST(BackendConfig, UnknownValuesAreReportedOnceAndTheDefaultsTaken) {
  struct TCase {
    const char* Backend;
    const char* Wait;
    TBackendChoice Choice;
    long WaitMs;
    const char* Said;
  };
  const TCase cases[] = {
      {"simulated", "", TBackendChoice::Simulated, 500, ""},
      {"ppdev", "0", TBackendChoice::Ppdev, 0, ""},
      {"", "60000", TBackendChoice::Automatic, 60000, ""},
      {"Simulated", "", TBackendChoice::Automatic, 500,
       "lptwdmio: unknown LPTWDMIO_BACKEND value 'Simulated'; expected simulated or ppdev\n"},
      {"", "60001", TBackendChoice::Automatic, 500,
       "lptwdmio: LPTWDMIO_WAIT_MS='60001' is no number of milliseconds up to 60000; waiting 500 ms\n"},
      {"", "-5", TBackendChoice::Automatic, 500,
       "lptwdmio: LPTWDMIO_WAIT_MS='-5' is no number of milliseconds up to 60000; waiting 500 ms\n"},
  };
  for (const TCase& c : cases) {
    ::setenv("LPTWDMIO_BACKEND", c.Backend, 1);
    ::setenv("LPTWDMIO_WAIT_MS", c.Wait, 1);
    std::ostringstream out;
    TMessages messages(out);
    for (int twice = 0; twice < 2; ++twice) {
      const TBackendConfig config = TBackendConfig::FromEnvironment(messages);
      EXPECT_EQ(config.Choice, c.Choice) << c.Backend;
      EXPECT_EQ(config.Wait.count(), c.WaitMs) << c.Wait;
    }
    EXPECT_EQ(out.str(), c.Said);
  }
  ::unsetenv("LPTWDMIO_BACKEND");
  ::unsetenv("LPTWDMIO_WAIT_MS");
}

// Whatever a request throws stays in the module and is said.
TEST(Guarded, AFailureIsACodeAndALineSayingWhatFailed) {
  struct TCase {
    std::function<uint32_t()> Body;
    uint32_t Code;
    const char* Said;
  };
  const TCase cases[] = {
      {[]() -> uint32_t { throw std::bad_alloc(); }, ERROR_NOT_ENOUGH_MEMORY,
       "lptwdmio: out of memory while serving\n"},
      {[]() -> uint32_t { throw std::runtime_error("no such file"); }, ERROR_GEN_FAILURE,
       "lptwdmio: serving failed: no such file\n"},
      {[]() -> uint32_t { throw 7; }, ERROR_GEN_FAILURE,
       "lptwdmio: serving failed on an unknown exception\n"},
      {[]() -> uint32_t { return ERROR_BUSY; }, ERROR_BUSY, ""},
  };
  for (const TCase& c : cases) {
    std::ostringstream out;
    EXPECT_EQ(Guarded(
                  out, [] { return "serving"; }, c.Body),
              c.Code);
    EXPECT_EQ(out.str(), c.Said);
  }
}

// Stands in for the kernel: per-node access and open results, per-descriptor
// registers, and claims that sleep as the kernel's does for a held port.
class TFakePpdev : public TPpdevSystem {
 public:
  int Open(const std::string& path) override {
    Calls.push_back("open " + path);
    const int fd = NextFd++;
    Ports[fd] = {};
    Paths[fd] = path;
    return fd;
  }
  int Access(const std::string& path) override {
    const auto it = AccessErrors.find(path);
    return it == AccessErrors.end() ? 0 : -it->second;
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
    if (request == PPCLAIM && Held.count(Paths[fd])) return SleepUntilInterrupted();
    if (request == PPCLAIM && ClaimError) return -ClaimError;
    if (request == PPDATADIR && DataDirError) return -DataDirError;
    return IoError ? -IoError : 0;
  }
  void Close(int fd) override { Calls.push_back("close " + std::to_string(fd)); }
  std::string GroupOf(const std::string&) override { return "lp"; }
  uint32_t HolderOf(const std::string& path) override { return Held.count(path) ? 4242 : 0; }

  struct TPort {
    unsigned char Data = 0;
    unsigned char Control = 0;
  };
  std::map<std::string, int> AccessErrors;
  std::map<int, TPort> Ports;
  std::map<int, std::string> Paths;
  std::vector<std::string> Calls;
  std::set<std::string> Held;  // nodes another program (pid 4242) has claimed
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
  DWORD Open(const std::vector<TParportNode>& nodes) {
    return OpenPpdevBank(System, nodes, 20ms, Bank, Messages);
  }
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
  // The port's first batch, its claim forgotten.
  void Claimed(BYTE address) {
    Read(address);
    System.Calls.clear();
  }
  TParportNode HeldNode(int number, unsigned base) {
    TParportNode node = Node(number, base);
    node.ActiveFile = (Temp / ("active-" + std::to_string(number))).string();
    std::ofstream(node.ActiveFile) << "ppdev0\n";
    System.Held.insert(node.Path);
    return node;
  }

  pinlark::testsupport::TTempDir Temp;
  TFakePpdev System;
  std::unique_ptr<TPortBank> Bank;
  std::ostringstream Messages;
};

TEST_F(PpdevBankTest, APortIsClaimedAtItsFirstBatchAndGivenBackAtTheEnd) {
  ASSERT_EQ(Open({Node(0, 0x378), Node(1, 0x278)}), ERROR_SUCCESS);
  EXPECT_TRUE(System.Calls.empty());
  EXPECT_EQ(Text(Bank->Describe(1)), Text({PortPresent | PortBaseKnown, 0, 0x378, 0}));
  EXPECT_EQ(Read(0x20), 0x00);
  Write(0x20, 0x01);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport0", "3 claim", "3 datadir 0", "3 rdata",
                                                    "3 wdata 1"}));
  System.Calls.clear();
  Bank.reset();
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"3 release", "close 3"}));  // LPT3 was never touched
}

TEST_F(PpdevBankTest, SlotsFollowTheBaseAddressAndEmptySlotsReadAbsent) {
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  EXPECT_EQ(Read(0x10), 0xFF);
  EXPECT_EQ(Read(0x32), 0xFF);
  Write(0x30, 0x12);
  EXPECT_TRUE(System.Calls.empty());
  Claimed(0x20);
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
  Claimed(0x10);
  Write(0x11, 0x00);
  EXPECT_TRUE(System.Calls.empty());
}

TEST_F(PpdevBankTest, KernelErrorsBecomeWindowsCodes) {
  ASSERT_EQ(Open({Node(0, 0x3BC)}), ERROR_SUCCESS);
  Claimed(0x10);
  System.IoError = EIO;
  BYTE value = 0;
  EXPECT_EQ(Request(IoctlBatchRead, 0x10, value), ERROR_IO_DEVICE);
  System.IoError = ENODEV;
  EXPECT_EQ(Request(IoctlBatchWrite, 0x10, value), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(PpdevBankTest, NoPermissionAnywhereIsAccessDeniedWithOneHint) {
  System.AccessErrors = {{"/dev/parport0", EACCES}, {"/dev/parport1", EACCES}};
  EXPECT_EQ(Open({Node(0, 0x378), Node(1, 0x278)}), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Bank);
  EXPECT_TRUE(System.Calls.empty());
  EXPECT_EQ(Messages.str(),
            "lptwdmio: no permission to open /dev/parport0; add yourself to group lp "
            "(sudo usermod -aG lp $USER) and log in again\n");
}

TEST_F(PpdevBankTest, OnePortThatOpensIsEnoughTheOthersReadAbsent) {
  System.AccessErrors = {{"/dev/parport1", EACCES}};
  ASSERT_EQ(Open({Node(0, 0x378), Node(1, 0x3BC)}), ERROR_SUCCESS);
  EXPECT_TRUE(Messages.str().empty());
  EXPECT_EQ(Bank->Describe(0).Flags, 0);
  EXPECT_EQ(Read(0x10), 0xFF);
  Write(0x20, 0x11);
  EXPECT_EQ(Read(0x20), 0x11);
}

TEST_F(PpdevBankTest, PortsThatCannotBeClaimedGiveTheKernelReason) {
  System.ClaimError = ENXIO;
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  BYTE value = 0;
  EXPECT_EQ(Request(IoctlBatchRead, 0x20, value), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport0", "3 claim", "close 3"}));
  EXPECT_TRUE(Messages.str().empty());
}

// Another program's port is there, and said to be held by whom; its first
// batch waits within the bound and says busy. After that one wait the
// session never waits again, but a free port is still had.
TEST_F(PpdevBankTest, APortHeldElsewhereIsPresentHeldAndBusyWithinTheBound) {
  ASSERT_EQ(Open({HeldNode(0, 0x378), Node(1, 0x278)}), ERROR_SUCCESS);
  EXPECT_EQ(Text(Bank->Describe(1)), Text({PortPresent | PortBaseKnown | PortHeld, 0, 0x378, 4242}));
  BYTE value = 0;
  EXPECT_EQ(Request(IoctlBatchRead, 0x20, value), ERROR_BUSY);
  EXPECT_EQ(Messages.str(),
            "lptwdmio: /dev/parport0 is in use by another program (pid 4242); close that program and try "
            "again\n");
  Write(0x30, 0x42);
  EXPECT_EQ(Request(IoctlBatchRead, 0x20, value), ERROR_BUSY);
  EXPECT_EQ(System.Calls, (std::vector<std::string>{
                              "open /dev/parport0", "3 claim", "close 3", "open /dev/parport1", "4 claim",
                              "4 datadir 0", "4 wdata 66", "open /dev/parport0", "5 claim", "close 5"}));
  EXPECT_EQ(Messages.str().find("in use"), Messages.str().rfind("in use"));
}

// However the claim's wait ends, the node is closed, never released (the
// claim did not succeed), and only running out of time is "busy".
TEST_F(PpdevBankTest, AClaimsWaitEndsAsBusyOnlyWhenItRanOut) {
  struct TCase {
    const char* Name;
    int ClaimError;
    DWORD Status;
  };
  const TCase cases[] = {
      {"the claim sleeps until the deadline", 0, ERROR_BUSY},
      {"another signal ended the claim", EINTR, ERROR_OPERATION_ABORTED},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Bank.reset();
    System = TFakePpdev();
    System.ClaimError = c.ClaimError;
    TParportNode node = c.ClaimError ? Node(0, 0x378) : HeldNode(0, 0x378);
    ASSERT_EQ(Open({node}), ERROR_SUCCESS);
    BYTE value = 0;
    EXPECT_EQ(Request(IoctlBatchRead, 0x20, value), c.Status);
    EXPECT_EQ(System.Calls, (std::vector<std::string>{"open /dev/parport0", "3 claim", "close 3"}));
  }
}

TEST_F(PpdevBankTest, DataDirectionFailureAtClaimIsSaidAndTheClaimStands) {
  System.DataDirError = EIO;
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  Write(0x20, 0x33);
  EXPECT_EQ(Messages.str(),
            "lptwdmio: /dev/parport0: cannot turn the data lines to output (Input/output error); data reads "
            "may show the lines rather than the latch\n");
  EXPECT_EQ(Read(0x20), 0x33);
}

// Whatever happens between the open and the hand-over, the node goes back.
TEST_F(PpdevBankTest, AFailureAfterTheClaimReleasesAndClosesTheNode) {
  System.DataDirThrows = true;
  ASSERT_EQ(Open({Node(0, 0x378)}), ERROR_SUCCESS);
  BYTE value = 0;
  EXPECT_THROW(Request(IoctlBatchRead, 0x20, value), std::runtime_error);
  EXPECT_EQ(System.Calls,
            (std::vector<std::string>{"open /dev/parport0", "3 claim", "3 release", "close 3"}));
}

TEST_F(PpdevBankTest, AClaimedPortIsGivenBackOnceWhereverItMoves) {
  TPpdevPort first, second;
  ASSERT_EQ(TPpdevPort::Claim(System, "/dev/parport0", 20ms, first, Messages), 0);
  ASSERT_EQ(TPpdevPort::Claim(System, "/dev/parport1", 20ms, second, Messages), 0);
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
  { TPpdevPort last(std::move(second)); }
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
