// The kernel driver's request rules through real DeviceIoControl calls on
// \\.\LptAccessAgent, with the driver started by Wine's service manager. Under
// Wine there is no parallel port driver, so the driver serves its simulated
// bank: LPT1 with the loopback plug, LPT2 open, LPT3 absent.
#include <gtest/gtest.h>

#include <vector>

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
  ~TDevice() {
    if (Open()) CloseHandle(Handle_);
  }
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  bool Open() const { return Handle_ != INVALID_HANDLE_VALUE; }

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

  DWORD Returned = 0;

 private:
  HANDLE Handle_;
};

class DriverRulesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallError = wintest::InstallDriverService(true); }
  static void TearDownTestSuite() { wintest::DeleteDriverService(); }

  void SetUp() override {
    ASSERT_EQ(InstallError, 0u) << "installing and starting the driver service";
    ASSERT_TRUE(Device.Open()) << GetLastError();
    std::vector<BYTE> reset{0x10, 0x00, 0x20, 0x00, 0x12, 0x0C};
    ASSERT_EQ(Device.Batch(IoctlBatchWrite, reset), 0u);
  }

  static inline DWORD InstallError = 0;
  TDevice Device;
};

TEST_F(DriverRulesTest, QueryReportsTheSimulatedBank) {
  std::vector<BYTE> reply(sizeof(TPortQueryReply), 0xEE);
  EXPECT_EQ(Device.Control(IoctlQueryPorts, nullptr, 0, reply.data(), DWORD(reply.size())), 0u);
  EXPECT_EQ(Device.Returned, sizeof(TPortQueryReply));
  constexpr BYTE Simulated = PortPresent | PortSimulated;
  EXPECT_EQ(reply, (std::vector<BYTE>{Simulated, 0, 0, 0, Simulated, 0, 0, 0, 0, 0, 0, 0}));
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

TEST_F(DriverRulesTest, MalformedBuffersAreRefused) {
  struct TCase {
    DWORD InLength;
    DWORD OutLength;
  };
  for (DWORD code : {IoctlBatchRead, IoctlBatchWrite}) {
    for (const TCase c : {TCase{3, 3}, TCase{0, 0}, TCase{4, 2}, TCase{2, 4}, TCase{2, 0}, TCase{0, 2}}) {
      std::vector<BYTE> pairs{0x10, 0x77, 0x10, 0x77};
      EXPECT_EQ(Device.Control(code, c.InLength ? pairs.data() : nullptr, c.InLength,
                               c.OutLength ? pairs.data() : nullptr, c.OutLength),
                DWORD(ERROR_INVALID_PARAMETER))
          << code << " " << c.InLength << "/" << c.OutLength;
    }
  }
  EXPECT_EQ(Device.Read(0x10), 0x00);
}

TEST_F(DriverRulesTest, QueryAcceptsOnlyNoInputAndAnExactReplySize) {
  std::vector<BYTE> buffer(sizeof(TPortQueryReply) + 1, 0xEE);
  const DWORD exact = sizeof(TPortQueryReply);
  for (DWORD inLength : {DWORD(0), DWORD(2)})
    for (DWORD outLength : {exact - 1, exact + 1, DWORD(0)})
      EXPECT_EQ(Device.Control(IoctlQueryPorts, inLength ? buffer.data() : nullptr, inLength,
                               outLength ? buffer.data() : nullptr, outLength),
                DWORD(ERROR_INVALID_PARAMETER))
          << inLength << "/" << outLength;
  EXPECT_EQ(Device.Control(IoctlQueryPorts, buffer.data(), 2, buffer.data(), exact),
            DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(DriverRulesTest, UnknownControlCodesAreInvalidRequests) {
  for (DWORD code : {0x220054u, 0x220074u, 0x22004Cu, 0x00220050u | 0x3u}) {
    std::vector<BYTE> pairs{0x10, 0x00};
    EXPECT_EQ(Device.Batch(code, pairs), DWORD(ERROR_INVALID_FUNCTION)) << std::hex << code;
  }
}

TEST_F(DriverRulesTest, LatchesOutliveAnOpenAsAPortsRegistersDo) {
  std::vector<BYTE> write{0x20, 0xA5, 0x22, 0x05};
  ASSERT_EQ(Device.Batch(IoctlBatchWrite, write), 0u);
  TDevice second;
  ASSERT_TRUE(second.Open());
  EXPECT_EQ(second.Read(0x20), 0xA5);
  EXPECT_EQ(second.Read(0x22), 0xC5);
}

}  // namespace
