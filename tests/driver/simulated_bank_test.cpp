#include "simulated_bank.h"
#include "request.h"

#include <gtest/gtest.h>

#include <array>

using namespace lptwdmio;

namespace {

class SimulatedBankTest : public ::testing::Test {
 protected:
  BYTE Read(BYTE address) {
    BYTE pair[2] = {address, 0};
    DWORD returned = 0;
    EXPECT_EQ(HandleRequest(Bank, IoctlBatchRead, pair, 2, pair, 2, &returned), ERROR_SUCCESS);
    return pair[1];
  }
  void Write(BYTE address, BYTE value) {
    BYTE pair[2] = {address, value};
    DWORD returned = 0;
    EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, pair, 2, pair, 2, &returned), ERROR_SUCCESS);
  }
  std::array<BYTE, 9> Snapshot() {
    std::array<BYTE, 9> values{};
    for (int i = 0; i < 9; ++i) values[i] = Read(BYTE(((i / 3 + 1) << 4) | (i % 3)));
    return values;
  }
  TSimulatedPorts Ports;
  TSimulatedBank Bank{Ports};
};

TEST_F(SimulatedBankTest, IdlePortsReadLikeStandardHardware) {
  EXPECT_EQ(Snapshot(), (std::array<BYTE, 9>{0x00, 0x87, 0xCC,     // LPT1, loopback plug
                                             0x00, 0x7F, 0xCC,     // LPT2, open socket
                                             0xFF, 0xFF, 0xFF}));  // LPT3, absent
}

TEST_F(SimulatedBankTest, LoopbackPlugWiresEachDataLineToItsStatusInput) {
  // D0..D4 -> ERR(3), SEL(4), PE(5), ACK(6), BUSY(7, inverted).
  const BYTE expected[5] = {0x8F, 0x97, 0xA7, 0xC7, 0x07};
  for (int line = 0; line < 5; ++line) {
    Write(0x10, BYTE(1 << line));
    EXPECT_EQ(Read(0x11), expected[line]) << "D" << line;
  }
  Write(0x10, 0xE0);  // D5-D7 are not wired
  EXPECT_EQ(Read(0x11), 0x87);
}

TEST_F(SimulatedBankTest, DataAndControlLatchWhatWasWritten) {
  Write(0x20, 0xA5);
  Write(0x22, 0x05);
  EXPECT_EQ(Read(0x20), 0xA5);
  EXPECT_EQ(Read(0x22), 0xC5);
  Write(0x22, 0x00);
  EXPECT_EQ(Read(0x22), 0xC0);  // bits 6 and 7 always read 1
  Write(0x21, 0x00);            // status is read-only
  EXPECT_EQ(Read(0x21), 0x7F);
}

TEST_F(SimulatedBankTest, ReversedDataLinesFloatHigh) {
  Write(0x10, 0x00);
  Write(0x12, 0x2C);
  EXPECT_EQ(Read(0x10), 0xFF);
  EXPECT_EQ(Read(0x11), 0x7F);  // the plug now sees all inputs high
  Write(0x12, 0x0C);
  EXPECT_EQ(Read(0x10), 0x00);
}

TEST_F(SimulatedBankTest, AbsentPortIgnoresWrites) {
  Write(0x30, 0x12);
  Write(0x32, 0x04);
  EXPECT_EQ(Read(0x30), 0xFF);
  EXPECT_EQ(Read(0x32), 0xFF);
}

// Every session gets its own bank over the one set of latches.
TEST_F(SimulatedBankTest, LatchesOutliveTheSessionThatWroteThem) {
  {
    TSimulatedBank other(Ports);
    BYTE pair[2] = {0x20, 0x3C};
    DWORD returned = 0;
    ASSERT_EQ(HandleRequest(other, IoctlBatchWrite, pair, 2, pair, 2, &returned), ERROR_SUCCESS);
  }
  EXPECT_EQ(Read(0x20), 0x3C);
  TSimulatedPorts unrelated;
  TSimulatedBank elsewhere(unrelated);
  EXPECT_EQ(elsewhere.Describe(0).Flags, PortPresent | PortSimulated | PortLoopback);
  EXPECT_EQ(elsewhere.Describe(1).Flags, PortPresent | PortSimulated);
  EXPECT_EQ(elsewhere.Describe(2).Flags, 0);
  BYTE pair[2] = {0x20, 0x00};
  DWORD returned = 0;
  ASSERT_EQ(HandleRequest(elsewhere, IoctlBatchRead, pair, 2, pair, 2, &returned), ERROR_SUCCESS);
  EXPECT_EQ(pair[1], 0x00);
}

// What the far end drives shows in LPT2's status as pin levels (BUSY
// inverted); undriven lines float high. LPT1 follows its plug, LPT3 is gone.
TEST_F(SimulatedBankTest, TheFarSideDrivesTheOpenPortsInputs) {
  struct TCase {
    BYTE Slot, Driven, Levels;
    DWORD Status;
    BYTE StatusRegister;  // of LPT2 afterwards
  };
  const TCase cases[] = {
      {1, 0x08, 0x00, ERROR_SUCCESS, 0x3F},  // ACK low
      {1, 0x1F, 0x10, ERROR_SUCCESS, 0x07},  // all low but BUSY high: BUSY reads 0
      {1, 0x10, 0x00, ERROR_SUCCESS, 0xFF},  // BUSY low reads 1
      {1, 0x00, 0x00, ERROR_SUCCESS, 0x7F},  // let go: floating again
      {0, 0x01, 0x00, ERROR_NOT_SUPPORTED, 0x7F}, {2, 0x01, 0x00, ERROR_NOT_SUPPORTED, 0x7F},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "slot " << int(c.Slot) << " driven " << int(c.Driven));
    BYTE record[4] = {c.Slot, 1, c.Driven, c.Levels};
    DWORD returned = 0;
    EXPECT_EQ(HandleRequest(Bank, IoctlSimulatedInputs, record, 4, record, 4, &returned), c.Status);
    EXPECT_EQ(Read(0x21), c.StatusRegister);
    if (c.Status != ERROR_SUCCESS) continue;
    BYTE ask[4] = {c.Slot, 0, 0, 0};
    ASSERT_EQ(HandleRequest(Bank, IoctlSimulatedInputs, ask, 4, ask, 4, &returned), ERROR_SUCCESS);
    EXPECT_EQ(ask[2], c.Driven);
    EXPECT_EQ(ask[3], c.Levels);
  }
  EXPECT_EQ(Read(0x11), 0x87);  // the plug's inputs never moved
}

TEST_F(SimulatedBankTest, RejectedRequestsLeaveEveryRegisterUntouched) {
  Write(0x10, 0x03);
  Write(0x22, 0x06);
  const auto before = Snapshot();
  DWORD returned = 0;
  BYTE badAddress[] = {0x10, 0xFF, 0x20, 0xFF, 0x13, 0xFF};
  BYTE odd[] = {0x10, 0xFF, 0x20};
  BYTE sized[] = {0x10, 0xFF, 0x22, 0xFF};
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, badAddress, 6, badAddress, 6, &returned),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, odd, 3, odd, 3, &returned), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, sized, 4, sized, 2, &returned), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HandleRequest(Bank, IoctlBatchWrite, sized, 0, sized, 0, &returned), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
