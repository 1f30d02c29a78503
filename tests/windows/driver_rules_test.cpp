// The kernel driver's request rules through real DeviceIoControl calls on
// \\.\LptAccessAgent, with the driver started by Wine's service manager. Under
// Wine there is no parallel port driver, so the driver serves its simulated
// bank: LPT1 with the loopback plug, LPT2 open, LPT3 absent. Each handle is
// a session, holding a port from the first batch that touches it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "request_cases.h"
#include "request_rules.h"
#include "service_control.h"

using namespace lptwdmio;

namespace {

class TDevice {
 public:
  TDevice()
      : Handle_(CreateFileA("\\\\.\\LptAccessAgent", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  ~TDevice() { Close(); }
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  bool Open() const { return Handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (Open()) CloseHandle(Handle_);
    Handle_ = INVALID_HANDLE_VALUE;
  }

  // 0 or the request's Windows error; Returned holds the reply's length.
  DWORD Control(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength) {
    Returned = 12345;
    SetLastError(0);
    return DeviceIoControl(Handle_, code, in, inLength, out, outLength, &Returned, nullptr) ? 0
                                                                                            : GetLastError();
  }
  DWORD Batch(DWORD code, std::vector<BYTE>& pairs) {
    return Control(code, pairs.data(), DWORD(pairs.size()), pairs.data(), DWORD(pairs.size()));
  }
  BYTE Read(BYTE address) {
    std::vector<BYTE> pair{address, 0};
    EXPECT_EQ(Batch(IoctlBatchRead, pair), 0u);
    return pair[1];
  }
  DWORD ReadError(BYTE address) {
    std::vector<BYTE> pair{address, 0};
    return Batch(IoctlBatchRead, pair);
  }
  TPortQueryReply Query() {
    TPortQueryReply reply{};
    EXPECT_EQ(Control(IoctlQueryPorts, nullptr, 0, &reply, sizeof reply), 0u);
    return reply;
  }
  DWORD FarSide(TSimulatedInputs& inputs) { return Control(IoctlSimulatedInputs, &inputs, 4, &inputs, 4); }

  DWORD Returned = 0;

 private:
  HANDLE Handle_;
};

class DriverRulesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallError = wintest::InstallDriverService(true); }
  static void TearDownTestSuite() { wintest::DeleteDriverService(); }

  // Through a session of its own, which lets the ports go again at once.
  void SetUp() override {
    ASSERT_EQ(InstallError, 0u) << "installing and starting the driver service";
    TDevice reset;
    ASSERT_TRUE(reset.Open()) << GetLastError();
    std::vector<BYTE> latches{0x10, 0x00, 0x20, 0x00, 0x12, 0x0C, 0x22, 0x0C};
    ASSERT_EQ(reset.Batch(IoctlBatchWrite, latches), 0u);
    TSimulatedInputs undriven{1, 1, 0, 0};
    ASSERT_EQ(reset.FarSide(undriven), 0u);
    ASSERT_TRUE(Device.Open()) << GetLastError();
  }

  static inline DWORD InstallError = 0;
  TDevice Device;
};

TEST_F(DriverRulesTest, QueryReportsTheSimulatedBank) {
  std::vector<BYTE> reply(sizeof(TPortQueryReply), 0xEE);
  EXPECT_EQ(Device.Control(IoctlQueryPorts, nullptr, 0, reply.data(), DWORD(reply.size())), 0u);
  EXPECT_EQ(Device.Returned, sizeof(TPortQueryReply));
  constexpr BYTE Simulated = PortPresent | PortSimulated;
  EXPECT_EQ(reply, (std::vector<BYTE>{Simulated | PortLoopback,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,  //
                                      Simulated,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,  //
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0}));
}

TEST_F(DriverRulesTest, ReadFillsValuesInArrayOrderOnTheSameBuffer) {
  std::vector<BYTE> write{0x10, 0x1F};
  ASSERT_EQ(Device.Batch(IoctlBatchWrite, write), 0u);
  // Loopback: D0-D4 high drive ERR, SEL, PE, ACK high and BUSY (inverted) low.
  std::vector<BYTE> pairs{0x11, 0xEE, 0x10, 0xEE, 0x12, 0xEE, 0x21, 0xEE, 0x30, 0xEE};
  EXPECT_EQ(Device.Batch(IoctlBatchRead, pairs), 0u);
  EXPECT_EQ(pairs, (std::vector<BYTE>{0x11, 0x7F, 0x10, 0x1F, 0x12, 0xCC, 0x21, 0x7F, 0x30, 0xFF}));
  EXPECT_EQ(Device.Returned, pairs.size());
}

TEST_F(DriverRulesTest, AddressesOutsideTheNinePortRegistersAreRefusedAndTouchNothing) {
  for (BYTE bad : {0x00, 0x0F, 0x13, 0x18, 0x1F, 0x23, 0x33, 0x40, 0x80, 0xF1, 0xFF}) {
    for (DWORD code : {IoctlBatchRead, IoctlBatchWrite}) {
      // The bad pair comes last, so a driver that checked lazily would have written LPT1's data already.
      std::vector<BYTE> pairs{0x10, 0x5A, 0x22, 0x02, bad, 0x03};
      const std::vector<BYTE> before = pairs;
      EXPECT_EQ(Device.Batch(code, pairs), DWORD(ERROR_INVALID_PARAMETER)) << int(bad);
      EXPECT_EQ(pairs, before);
    }
  }
  EXPECT_EQ(Device.Read(0x10), 0x00);
  EXPECT_EQ(Device.Read(0x22), 0xCC);
}

// Every shape of the shared list. Refused batches aim at LPT1's data, which
// must stay as it was; accepted ones at absent LPT3, which is anyone's.
TEST_F(DriverRulesTest, EveryRequestShapeGetsItsVerdict) {
  for (const TRequestCase& c : request_cases::All) {
    const bool accepted = c.Verdict == TRequestVerdict::Accept;
    std::vector<BYTE> in = request_cases::Input(c.Code, c.InLength, accepted ? 0x30 : 0x10);
    const bool batch = c.Code == IoctlBatchRead || c.Code == IoctlBatchWrite;
    for (std::size_t i = 1; batch && i < in.size(); i += 2) in[i] = 0x77;
    std::vector<BYTE> out(c.OutLength + 1, 0xEE);
    // A well-made interrupt wait meets a driver whose ports have none.
    const DWORD expected = accepted ? (c.Code == IoctlInterruptWait ? DWORD(ERROR_NOT_SUPPORTED) : 0)
                           : c.Verdict == TRequestVerdict::UnknownCode ? DWORD(ERROR_INVALID_FUNCTION)
                                                                       : DWORD(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Device.Control(c.Code, c.InLength ? in.data() : nullptr, c.InLength,
                             c.OutLength ? out.data() : nullptr, c.OutLength),
              expected)
        << std::hex << c.Code << std::dec << ' ' << c.InLength << '/' << c.OutLength;
    if (expected == 0) {
      EXPECT_EQ(Device.Returned, c.OutLength) << std::hex << c.Code;
    }
    EXPECT_EQ(out.back(), 0xEE) << std::hex << c.Code << ": written past the output";
  }
  EXPECT_EQ(Device.Read(0x10), 0x00);
}

// 2048 pairs are one program's honest request; one pair more is not, and
// touches nothing.
TEST_F(DriverRulesTest, BatchesAreBoundedAtFourKilobytes) {
  std::vector<BYTE> longest(MaxBatchLength);
  for (std::size_t i = 0; i < longest.size(); i += 2) longest[i] = 0x20, longest[i + 1] = BYTE(i / 2);
  EXPECT_EQ(Device.Batch(IoctlBatchWrite, longest), 0u);
  EXPECT_EQ(Device.Read(0x20), 0xFF);  // the last of 2048 values

  std::vector<BYTE> tooLong(MaxBatchLength + 2);
  for (std::size_t i = 0; i < tooLong.size(); i += 2) tooLong[i] = 0x20, tooLong[i + 1] = 0x11;
  for (DWORD code : {IoctlBatchRead, IoctlBatchWrite})
    EXPECT_EQ(Device.Batch(code, tooLong), DWORD(ERROR_INVALID_PARAMETER)) << code;
  EXPECT_EQ(Device.Read(0x20), 0xFF);
}

// This driver's ports have no interrupt to wait on: a well-made wait is
// refused as not supported, before it holds the port, and a malformed one
// as ever.
TEST_F(DriverRulesTest, InterruptWaitsAreNotSupported) {
  BYTE wait[4] = {1, 0, 100, 0}, count[4] = {};
  EXPECT_EQ(Device.Control(IoctlInterruptWait, wait, 4, count, 4), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(Device.Query().Ports[1].Flags & (PortHeld | PortInterrupt));
  BYTE tooLong[4] = {1, 0, 0xE9, 0x03};  // 1001 ms
  EXPECT_EQ(Device.Control(IoctlInterruptWait, tooLong, 4, count, 4), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(DriverRulesTest, LatchesOutliveTheSessionThatWroteThem) {
  std::vector<BYTE> write{0x20, 0xA5, 0x22, 0x05};
  TDevice first;
  ASSERT_EQ(first.Batch(IoctlBatchWrite, write), 0u);
  first.Close();
  EXPECT_EQ(Device.Read(0x20), 0xA5);
  EXPECT_EQ(Device.Read(0x22), 0xC5);
}

// One session holds a port at a time, as one program holds a real one; the
// holder keeps it whatever the others try, and lets it go when it closes.
TEST_F(DriverRulesTest, ASessionHoldsOnlyThePortsItTouchesUntilItCloses) {
  std::vector<BYTE> write{0x20, 0x5A};
  ASSERT_EQ(Device.Batch(IoctlBatchWrite, write), 0u);
  TDevice other;
  EXPECT_EQ(other.ReadError(0x20), DWORD(ERROR_BUSY));
  // A batch that cannot have all its ports touches none of them.
  std::vector<BYTE> both{0x10, 0x77, 0x20, 0x77};
  EXPECT_EQ(other.Batch(IoctlBatchWrite, both), DWORD(ERROR_BUSY));
  EXPECT_EQ(Device.Read(0x20), 0x5A);

  const TPortQueryReply seen = other.Query();
  EXPECT_EQ(seen.Ports[1].Flags, PortPresent | PortSimulated | PortHeld);
  EXPECT_EQ(seen.Ports[1].Holder, GetCurrentProcessId());
  EXPECT_EQ(Device.Query().Ports[1].Flags, PortPresent | PortSimulated)
      << "its own port is not held by another";

  Device.Close();
  EXPECT_EQ(other.Read(0x20), 0x5A);
  EXPECT_EQ(other.Read(0x10), 0x00);
  EXPECT_EQ(other.Query().Ports[1].Flags, PortPresent | PortSimulated);
}

// The far end of LPT2's cable: set by anyone, holding nothing, and seen by
// the holder's next read. LPT1's inputs follow its plug; LPT3 has no cable.
TEST_F(DriverRulesTest, TheFarSideDrivesTheOpenPortsInputsWithoutHoldingIt) {
  ASSERT_EQ(Device.Read(0x21), 0x7F);  // Device holds LPT2 from here
  TDevice other;
  TSimulatedInputs drive{1, 1, 0x1F, 0x0A};  // SEL and ACK high; ERR, PE and BUSY low
  ASSERT_EQ(other.FarSide(drive), 0u);
  EXPECT_EQ(other.Returned, sizeof drive);
  EXPECT_EQ(Device.Read(0x21), 0xD7);  // BUSY reads inverted
  TSimulatedInputs asked{1, 0, 0, 0};
  ASSERT_EQ(TDevice().FarSide(asked), 0u);
  EXPECT_EQ(asked.Driven, 0x1F);
  EXPECT_EQ(asked.Levels, 0x0A);

  struct TCase {
    TSimulatedInputs Inputs;
    DWORD Error;
  };
  for (const TCase& c :
       {TCase{{0, 1, 0x01, 0x00}, ERROR_NOT_SUPPORTED}, TCase{{2, 0, 0, 0}, ERROR_NOT_SUPPORTED},
        TCase{{1, 1, 0x01, 0x02}, ERROR_INVALID_PARAMETER},
        TCase{{1, 1, 0x20, 0x00}, ERROR_INVALID_PARAMETER}, TCase{{3, 0, 0, 0}, ERROR_INVALID_PARAMETER}}) {
    TSimulatedInputs inputs = c.Inputs;
    EXPECT_EQ(other.FarSide(inputs), c.Error) << int(c.Inputs.Slot) << "/" << int(c.Inputs.Levels);
  }
  EXPECT_EQ(Device.Read(0x21), 0xD7);
}

// Another program holding one port (port_holder.exe), as a tool on it does.
class TPortHolder {
 public:
  explicit TPortHolder(BYTE address) {
    char name[64], command[32];
    std::snprintf(name, sizeof name, "pinlark-release-%lu-%02X", GetCurrentProcessId(), unsigned(address));
    std::snprintf(command, sizeof command, " %02X ", unsigned(address));
    Release_ = CreateEventA(nullptr, TRUE, FALSE, name);
    std::string line = wintest::ExecutableFolder() + "port_holder.exe" + command + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    Started_ = Release_ && CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &Process_);
  }
  ~TPortHolder() {
    if (Started_) {
      LetGo();
      CloseHandle(Process_.hThread);
      CloseHandle(Process_.hProcess);
    }
    if (Release_) CloseHandle(Release_);
  }
  TPortHolder(const TPortHolder&) = delete;
  TPortHolder& operator=(const TPortHolder&) = delete;

  bool Started() const { return Started_; }
  DWORD Id() const { return Process_.dwProcessId; }
  // Its exit status once it has let go (STILL_ACTIVE if it would not).
  DWORD LetGo() {
    SetEvent(Release_);
    WaitForSingleObject(Process_.hProcess, 60000);
    DWORD status = STILL_ACTIVE;
    GetExitCodeProcess(Process_.hProcess, &status);
    return status;
  }

 private:
  HANDLE Release_ = nullptr;
  PROCESS_INFORMATION Process_{};
  bool Started_ = false;
};

// Until the query shows slot held by process, within a bound.
bool WaitUntilHeld(TDevice& device, int slot, DWORD process) {
  for (int i = 0; i < 3000; ++i) {
    const TPortQueryEntry entry = device.Query().Ports[slot];
    if ((entry.Flags & PortHeld) && entry.Holder == process) return true;
    Sleep(10);
  }
  return false;
}

TEST_F(DriverRulesTest, TwoProgramsHoldLpt1AndLpt2AtOnceAndTheQueryNamesEach) {
  TPortHolder onLpt1(0x10), onLpt2(0x20);
  ASSERT_TRUE(onLpt1.Started() && onLpt2.Started()) << GetLastError();
  ASSERT_TRUE(WaitUntilHeld(Device, 0, onLpt1.Id()));
  ASSERT_TRUE(WaitUntilHeld(Device, 1, onLpt2.Id()));
  EXPECT_EQ(Device.ReadError(0x10), DWORD(ERROR_BUSY));
  EXPECT_EQ(Device.ReadError(0x21), DWORD(ERROR_BUSY));
  EXPECT_EQ(Device.Read(0x30), 0xFF);  // an absent port is anyone's
  EXPECT_EQ(Device.Query().Ports[1].Holder, onLpt2.Id()) << "the holder keeps its port";

  EXPECT_EQ(onLpt1.LetGo(), 0u);
  EXPECT_EQ(onLpt2.LetGo(), 0u);
  EXPECT_EQ(Device.Read(0x21), 0x7F);
  EXPECT_EQ(Device.Read(0x10), 0x00);
}

}  // namespace
