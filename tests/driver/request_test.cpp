#include "request.h"
#include "request_cases.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

using namespace lptwdmio;

namespace {

// Records every register access; reads answer 0x40 + slot * 3 + register.
class TRecordingBank : public TPortBank {
 public:
  DWORD Read(int slot, TRegister reg, BYTE& value) override {
    Log.push_back("R" + std::to_string(slot) + std::to_string(int(reg)));
    value = BYTE(0x40 + slot * 3 + reg);
    return FailWith;
  }
  DWORD Write(int slot, TRegister reg, BYTE value) override {
    Log.push_back("W" + std::to_string(slot) + std::to_string(int(reg)) + "=" + std::to_string(value));
    return FailWith;
  }
  TPortQueryEntry Describe(int slot) const override { return Entries[slot]; }
  DWORD Acquire(int slot) override {
    Acquired.push_back(slot);
    return ERROR_SUCCESS;
  }
  bool HasInterrupt(int slot) const override { return slot == 1; }
  DWORD WaitInterrupt(int slot, uint32_t timeoutMs, uint32_t& count) override {
    Log.push_back("I" + std::to_string(slot) + "/" + std::to_string(timeoutMs));
    count = 0x01020304;
    return FailWith;
  }
  DWORD SimulatedInputs(TSimulatedInputs&) override { return ERROR_SUCCESS; }
  std::vector<std::string> Log;
  std::vector<int> Acquired;
  std::array<TPortQueryEntry, SlotCount> Entries{{{}, {PortPresent | PortBaseKnown, 0, 0x378, 0}, {}}};
  DWORD FailWith = ERROR_SUCCESS;
};

class RequestTest : public ::testing::Test {
 protected:
  DWORD Run(DWORD code, std::vector<BYTE>& buffer) {
    return HandleRequest(Bank, code, buffer.data(), DWORD(buffer.size()), buffer.data(), DWORD(buffer.size()),
                         &Returned);
  }
  TRecordingBank Bank;
  DWORD Returned = 12345;
};

TEST_F(RequestTest, ReadFillsValuesInArrayOrderOnTheSameBuffer) {
  std::vector<BYTE> buffer{0x21, 0xEE, 0x10, 0xEE, 0x32, 0xEE};
  EXPECT_EQ(Run(IoctlBatchRead, buffer), ERROR_SUCCESS);
  EXPECT_EQ(buffer, (std::vector<BYTE>{0x21, 0x44, 0x10, 0x40, 0x32, 0x48}));
  EXPECT_EQ(Bank.Log, (std::vector<std::string>{"R11", "R00", "R22"}));
  EXPECT_EQ(Returned, 6u);
}

TEST_F(RequestTest, WriteGoesOutInArrayOrderAndLeavesPairsAlone) {
  std::vector<BYTE> buffer{0x12, 0x0C, 0x10, 0x55, 0x10, 0xAA};
  const std::vector<BYTE> before = buffer;
  EXPECT_EQ(Run(IoctlBatchWrite, buffer), ERROR_SUCCESS);
  EXPECT_EQ(buffer, before);
  EXPECT_EQ(Bank.Log, (std::vector<std::string>{"W02=12", "W00=85", "W00=170"}));
}

TEST_F(RequestTest, SeparateOutputBufferReceivesThePairs) {
  const std::vector<BYTE> in{0x20, 0x00};
  std::vector<BYTE> out(2, 0xEE);
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchRead, in.data(), 2, out.data(), 2, &Returned), ERROR_SUCCESS);
  EXPECT_EQ(out, (std::vector<BYTE>{0x20, 0x43}));
}

TEST_F(RequestTest, AddressesOutsideTheNinePortRegistersAreRejectedBeforeAnyAccess) {
  for (BYTE bad : {0x00, 0x0F, 0x13, 0x18, 0x1F, 0x23, 0x33, 0x40, 0x80, 0xF1, 0xFF}) {
    for (DWORD code : {IoctlBatchRead, IoctlBatchWrite}) {
      // The bad pair comes last so a driver that checked lazily would already have touched the others.
      std::vector<BYTE> buffer{0x10, 0x01, 0x22, 0x02, bad, 0x03};
      const std::vector<BYTE> before = buffer;
      EXPECT_EQ(Run(code, buffer), ERROR_INVALID_PARAMETER) << int(bad);
      EXPECT_EQ(buffer, before);
    }
  }
  EXPECT_TRUE(Bank.Log.empty());
}

// Every shape of the shared list: an accepted request is served and reports
// its output's length, writing nothing past it; a refused one touches no
// register, reports nothing and leaves its output alone.
TEST_F(RequestTest, EveryRequestShapeGetsItsVerdict) {
  for (const TRequestCase& c : request_cases::All) {
    std::ostringstream label;
    label << std::hex << c.Code << std::dec << ' ' << c.InLength << '/' << c.OutLength;
    Bank.Log.clear();
    std::vector<BYTE> in = request_cases::Input(c.Code, c.InLength, 0x21);
    std::vector<BYTE> out(c.OutLength + 1, 0xEE);
    const std::vector<BYTE> outBefore = out;
    Returned = 12345;
    const DWORD status = HandleRequest(Bank, c.Code, c.InLength ? in.data() : nullptr, c.InLength,
                                       c.OutLength ? out.data() : nullptr, c.OutLength, &Returned);
    if (c.Verdict != TRequestVerdict::Accept) {
      EXPECT_EQ(status, DWORD(c.Verdict == TRequestVerdict::UnknownCode ? ERROR_INVALID_FUNCTION
                                                                        : ERROR_INVALID_PARAMETER))
          << label.str();
      EXPECT_TRUE(Bank.Log.empty()) << label.str();
      EXPECT_EQ(Returned, 0u) << label.str();
      EXPECT_EQ(out, outBefore) << label.str();
      continue;
    }
    const bool batch = c.Code == IoctlBatchRead || c.Code == IoctlBatchWrite;
    EXPECT_EQ(status, ERROR_SUCCESS) << label.str();
    const std::size_t calls = batch ? c.InLength / PairSize : c.Code == IoctlInterruptWait ? 1 : 0;
    EXPECT_EQ(Bank.Log.size(), calls) << label.str();
    EXPECT_EQ(Returned, c.OutLength) << label.str();
    EXPECT_EQ(out.back(), 0xEE) << label.str() << ": written past the output";
  }
}

// Lengths with no buffer behind them, which only a caller in the same
// process can hand over.
TEST_F(RequestTest, MissingBuffersAreRejectedBeforeAnyAccess) {
  std::vector<BYTE> buffer(sizeof(TPortQueryReply), 0x10);
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, nullptr, 2, buffer.data(), 2, &Returned),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, buffer.data(), 2, nullptr, 2, &Returned),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HandleRequest(Bank, IoctlQueryPorts, nullptr, 0, nullptr, sizeof(TPortQueryReply), &Returned),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Returned, 0u);
  EXPECT_TRUE(Bank.Log.empty());
}

// Each side of every limit of the address rule, alone in a batch.
TEST_F(RequestTest, AddressRuleAtItsLimits) {
  struct TCase {
    BYTE Address;
    const char* Access;  // the register touched, or nullptr when refused
  };
  const TCase cases[] = {{0x0F, nullptr}, {0x10, "00"},    {0x12, "02"},    {0x13, nullptr},
                         {0x1F, nullptr}, {0x20, "10"},    {0x22, "12"},    {0x23, nullptr},
                         {0x2F, nullptr}, {0x30, "20"},    {0x32, "22"},    {0x33, nullptr},
                         {0x3F, nullptr}, {0x40, nullptr}, {0x42, nullptr}, {0x00, nullptr}};
  for (const TCase& c : cases) {
    for (DWORD code : {IoctlBatchRead, IoctlBatchWrite}) {
      Bank.Log.clear();
      std::vector<BYTE> buffer{c.Address, 0x5A};
      const bool read = code == IoctlBatchRead;
      if (c.Access) {
        EXPECT_EQ(Run(code, buffer), ERROR_SUCCESS) << std::hex << int(c.Address);
        EXPECT_EQ(Bank.Log, (std::vector<std::string>{(read ? "R" : "W") + std::string(c.Access) +
                                                      (read ? "" : "=90")}))
            << std::hex << int(c.Address);
      } else {
        EXPECT_EQ(Run(code, buffer), ERROR_INVALID_PARAMETER) << std::hex << int(c.Address);
        EXPECT_TRUE(Bank.Log.empty()) << std::hex << int(c.Address);
      }
    }
  }
}

// Slot 1 has an interrupt. A wait is checked whole before it holds the port;
// the count comes back little-endian.
TEST_F(RequestTest, InterruptWaitsAreBoundedHeldAndAnswered) {
  struct TCase {
    std::vector<BYTE> In;
    DWORD OutLength;
    DWORD Status;
    std::vector<std::string> Log;
  };
  const TCase cases[] = {
      {{1, 0, 0xE8, 0x03}, 4, ERROR_SUCCESS, {"I1/1000"}},  {{1, 0, 0, 0}, 4, ERROR_SUCCESS, {"I1/0"}},
      {{1, 0, 0xE9, 0x03}, 4, ERROR_INVALID_PARAMETER, {}},  // 1001 ms
      {{3, 0, 10, 0}, 4, ERROR_INVALID_PARAMETER, {}},      {{1, 1, 10, 0}, 4, ERROR_INVALID_PARAMETER, {}},
      {{1, 0, 10}, 4, ERROR_INVALID_PARAMETER, {}},         {{1, 0, 10, 0}, 3, ERROR_INVALID_PARAMETER, {}},
      {{0, 0, 10, 0}, 4, ERROR_NOT_SUPPORTED, {}},  // no interrupt: the port is not even held
  };
  for (const TCase& c : cases) {
    Bank.Log.clear();
    Bank.Acquired.clear();
    Returned = 12345;
    std::vector<BYTE> out(5, 0xEE);
    const DWORD status = HandleRequest(Bank, IoctlInterruptWait, c.In.data(), DWORD(c.In.size()), out.data(),
                                       c.OutLength, &Returned);
    const std::string label = std::to_string(c.In[0]) + "/" + std::to_string(c.In.size());
    EXPECT_EQ(status, c.Status) << label;
    EXPECT_EQ(Bank.Log, c.Log) << label;
    EXPECT_EQ(Bank.Acquired, c.Log.empty() ? std::vector<int>{} : std::vector<int>{1}) << label;
    const std::vector<BYTE> reply =
        c.Status ? std::vector<BYTE>(5, 0xEE) : std::vector<BYTE>{4, 3, 2, 1, 0xEE};
    EXPECT_EQ(out, reply) << label;
    EXPECT_EQ(Returned, c.Status ? 0u : 4u) << label;
  }
}

TEST_F(RequestTest, BankFailureIsTheRequestStatusAndReturnsNothing) {
  Bank.FailWith = ERROR_IO_DEVICE;
  std::vector<BYTE> buffer{0x10, 0x00, 0x11, 0x00};
  EXPECT_EQ(Run(IoctlBatchRead, buffer), ERROR_IO_DEVICE);
  EXPECT_EQ(Returned, 0u);
  EXPECT_EQ(Bank.Log.size(), 1u);
}

TEST_F(RequestTest, QueryReplyCarriesEverySlotInOrderAndTouchesNoRegister) {
  Bank.Entries = {{{PortPresent | PortSimulated, 0, 0, 0},
                   {PortPresent | PortBaseKnown, 0, 0xD010, 0},
                   {PortPresent | PortBaseKnown | PortHeld, 2, 0x278, 12345}}};
  std::vector<BYTE> reply(sizeof(TPortQueryReply), 0xEE);
  EXPECT_EQ(HandleRequest(Bank, IoctlQueryPorts, nullptr, 0, reply.data(), DWORD(reply.size()), &Returned),
            ERROR_SUCCESS);
  EXPECT_EQ(Returned, sizeof(TPortQueryReply));
  // clang-format off
  const std::vector<BYTE> expected{
      PortPresent | PortSimulated,            0, 0,    0,    0,    0,    0, 0,  // LPT1
      PortPresent | PortBaseKnown,            0, 0x10, 0xD0, 0,    0,    0, 0,  // LPT2
      PortPresent | PortBaseKnown | PortHeld, 2, 0x78, 0x02, 0x39, 0x30, 0, 0,  // LPT3, held by 12345
  };
  // clang-format on
  EXPECT_EQ(reply, expected);
  EXPECT_TRUE(Bank.Log.empty());
}

}  // namespace
