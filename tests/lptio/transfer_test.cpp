// Batches, one-register wrappers and the presence probe, on both paths.
#include "lptio_fixture.h"

#include <memory>

using emulation::TFault;

namespace {

// A connection on the driver path whose construction traffic is forgotten.
class DriverPathTest : public LptioTest {
 protected:
  void SetUp() override {
    LptioTest::SetUp();
    RegisterPort();
    Connection = std::make_unique<TLptPortConnection>();
    ASSERT_TRUE(Connection->IsUsable());
    emulation::ClearTrace();
    Port.Log.clear();
  }
  void TearDown() override {
    Connection.reset();
    LptioTest::TearDown();
  }
  std::unique_ptr<TLptPortConnection> Connection;
};

TEST_F(DriverPathTest, BatchIsOneRequestOnTheSameBuffer) {
  Port.RegisterAt(0x20) = 0x11;
  Port.RegisterAt(0x21) = 0x22;
  Port.RegisterAt(0x22) = 0x33;
  PortIoPair pairs[] = {{0x21, 0xEE}, {0x20, 0xEE}, {0x22, 0xEE}};
  EXPECT_TRUE(Connection->ReadPairs(pairs, 3));
  const std::string buffer = emulation::FormatPointer(pairs);
  ExpectCalls(TraceText({"DeviceIoControl"}),
              {"DeviceIoControl(*, 0x220050, " + buffer + ", 6, " + buffer + ", 6, *, null)"});
  EXPECT_EQ(Port.LogText(), (std::vector<std::string>{"R 21", "R 20", "R 22"}));
  EXPECT_EQ(pairs[0].PortAddress, 0x21);
  EXPECT_EQ(pairs[0].Value, 0x22);
  EXPECT_EQ(pairs[1].PortAddress, 0x20);
  EXPECT_EQ(pairs[1].Value, 0x11);
  EXPECT_EQ(pairs[2].Value, 0x33);
}

TEST_F(DriverPathTest, WriteBatchGoesInArrayOrder) {
  PortIoPair pairs[] = {{0x10, 0x5A}, {0x12, 0x04}, {0x10, 0xA5}};
  EXPECT_TRUE(Connection->WritePairs(pairs, 3));
  const std::string buffer = emulation::FormatPointer(pairs);
  ExpectCalls(TraceText({"DeviceIoControl"}),
              {"DeviceIoControl(*, 0x220060, " + buffer + ", 6, " + buffer + ", 6, *, null)"});
  EXPECT_EQ(Port.LogText(), (std::vector<std::string>{"W 10 5A", "W 12 04", "W 10 A5"}));
  EXPECT_EQ(Port.RegisterAt(0x10), 0xA5);
}

TEST_F(DriverPathTest, LastErrorIsClearedBeforeAndIsTheVerdictAfter) {
  Port.RegisterAt(0x11) = 0x9C;
  Port.Answer = ERROR_GEN_FAILURE;
  PortIoPair pair{0x11, 0};
  SetLastError(ERROR_BUSY);
  emulation::ClearTrace();
  EXPECT_FALSE(Connection->ReadPairs(&pair, 1));
  ExpectCalls(TraceText(),
              {"SetLastError(0)", "DeviceIoControl(*, 0x220050, *, 2, *, 2, *, null)", "GetLastError()"});
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_EQ(pair.Value, 0x9C);  // whatever the driver put there stays
  EXPECT_EQ(Connection->ReadRegister(PortLpt1, RegStatus), 0x9C);
  EXPECT_FALSE(Connection->WriteRegister(PortLpt1, RegData, 1));
  Port.Answer = ERROR_SUCCESS;
  SetLastError(ERROR_BUSY);
  EXPECT_TRUE(Connection->WriteRegister(PortLpt1, RegData, 1));
  EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(DriverPathTest, OneRegisterWrappersBuildOnePair) {
  Port.RegisterAt(0x32) = 0xC4;
  EXPECT_EQ(Connection->ReadRegister(PortLpt3, RegControl), 0xC4);
  EXPECT_TRUE(Connection->WriteRegister(PortLpt2, RegControl, 0x0B));
  EXPECT_EQ(Port.LogText(), (std::vector<std::string>{"R 32", "W 22 0B"}));
  const auto requests = TraceText({"DeviceIoControl"});
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(CallMatches(requests[0], "DeviceIoControl(*, 0x220050, *, 2, *, 2, *, null)"));
}

TEST_F(DriverPathTest, EmptyOrOversizedBatchIsRefusedWithoutARequest) {
  PortIoPair pair{0x10, 0};
  EXPECT_FALSE(Connection->ReadPairs(&pair, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(Connection->WritePairs(&pair, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // 2n would wrap around 32 bits and send a shorter request than the caller meant.
  EXPECT_FALSE(Connection->ReadPairs(&pair, 0x80000000u));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(Connection->WritePairs(nullptr, 1));
  EXPECT_TRUE(TraceText({"DeviceIoControl"}).empty());
}

// The byte length of a batch is twice its count and must fit 32 bits.
TEST_F(LptioTest, BatchCountsAtTheirLimits) {
  std::vector<DWORD> lengths;
  emulation::TEmulatedDevice device;
  device.Control = [&](void*, DWORD, const void*, DWORD inLength, void*, DWORD outLength, DWORD*) {
    lengths.push_back(inLength == outLength ? inLength : 0);
    return DWORD(ERROR_SUCCESS);  // the buffers are never read: only their lengths matter here
  };
  ASSERT_EQ(emulation::RegisterDevice("LptAccessAgent", device), 0u);
  TLptPortConnection connection;
  struct TCase {
    DWORD Count;
    DWORD Length;  // 0: refused without a request
  };
  const TCase cases[] = {{0, 0},          {1, 2},         {2, 4}, {3, 6}, {0x7FFFFFFF, 0xFFFFFFFE},
                         {0x80000000, 0}, {0xFFFFFFFF, 0}};
  PortIoPair pair{0x10, 0};
  for (const TCase& c : cases) {
    for (bool read : {true, false}) {
      lengths.clear();
      SetLastError(ERROR_BUSY);
      const bool done = read ? connection.ReadPairs(&pair, c.Count) : connection.WritePairs(&pair, c.Count);
      EXPECT_EQ(done, c.Length != 0) << c.Count;
      if (c.Length) {
        EXPECT_EQ(lengths, std::vector<DWORD>{c.Length}) << c.Count;
      } else {
        EXPECT_TRUE(lengths.empty()) << c.Count;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.Count;
      }
    }
  }
}

TEST_F(LptioTest, UnusableConnectionTransfersNothing) {
  emulation::InjectFault(TFault{.Function = "StartServiceA", .Error = ERROR_FILE_NOT_FOUND});
  TLptPortConnection connection;
  ASSERT_FALSE(connection.IsUsable());
  emulation::ClearTrace();
  PortIoPair pair{0x10, 0x77};
  EXPECT_FALSE(connection.ReadPairs(&pair, 1));
  EXPECT_EQ(pair.Value, 0x77);
  EXPECT_FALSE(connection.WritePairs(&pair, 1));
  EXPECT_EQ(connection.ReadRegister(PortLpt1, RegData), 0);
  EXPECT_FALSE(connection.WriteRegister(PortLpt1, RegData, 0x55));
  for (BYTE port : {PortLpt1, PortLpt2, PortLpt3}) EXPECT_FALSE(connection.ProbePort(port));
  EXPECT_TRUE(TraceWithout(ErrorCalls).empty());
}

class DirectPathTest : public LptioTest {
 protected:
  void SetUp() override {
    LptioTest::SetUp();
    emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
    Connection = std::make_unique<TLptPortConnection>();
    Space = emulation::UseSimulatedIoSpace();
    emulation::ClearTrace();
  }
  void TearDown() override {
    Connection.reset();
    LptioTest::TearDown();
  }
  std::unique_ptr<TLptPortConnection> Connection;
  std::shared_ptr<emulation::TSimulatedIoSpace> Space;
};

TEST_F(DirectPathTest, AddressesMapToTheFixedBases) {
  Space->Poke(0x3BD, 0x01);
  Space->Poke(0x37A, 0x02);
  Space->Poke(0x278, 0x03);
  PortIoPair pairs[] = {{0x11, 0}, {0x22, 0}, {0x30, 0}, {0x05, 0}, {0x42, 0}, {0xF7, 0}};
  EXPECT_TRUE(Connection->ReadPairs(pairs, 6));
  ExpectCalls(TraceText({"InPortByte"}), {"InPortByte(0x3BD)", "InPortByte(0x37A)", "InPortByte(0x278)",
                                          "InPortByte(0x27D)", "InPortByte(0x27A)", "InPortByte(0x27F)"});
  EXPECT_EQ(pairs[0].PortAddress, 0x11);
  EXPECT_EQ(pairs[0].Value, 0x01);
  EXPECT_EQ(pairs[1].Value, 0x02);
  EXPECT_EQ(pairs[2].Value, 0x03);
  EXPECT_EQ(pairs[3].Value, 0xFF);
}

// The high nibble picks the base, the low three bits the register; bit 3 is not looked at.
TEST_F(DirectPathTest, AddressRuleAtNibbleBoundaries) {
  struct TCase {
    BYTE Address;
    WORD Port;
  };
  const TCase cases[] = {{0x00, 0x278}, {0x0F, 0x27F}, {0x10, 0x3BC}, {0x12, 0x3BE}, {0x17, 0x3C3},
                         {0x18, 0x3BC}, {0x1F, 0x3C3}, {0x20, 0x378}, {0x27, 0x37F}, {0x28, 0x378},
                         {0x2F, 0x37F}, {0x30, 0x278}, {0x3F, 0x27F}, {0x40, 0x278}, {0xFF, 0x27F}};
  for (const TCase& c : cases) {
    Space->Poke(c.Port, BYTE(c.Address ^ 0xA5));
    PortIoPair pair{c.Address, 0};
    EXPECT_TRUE(Connection->ReadPairs(&pair, 1));
    EXPECT_EQ(pair.Value, BYTE(c.Address ^ 0xA5)) << std::hex << int(c.Address);
    pair.Value = 0x3C;
    EXPECT_TRUE(Connection->WritePairs(&pair, 1));
    EXPECT_EQ(Space->Peek(c.Port), 0x3C) << std::hex << int(c.Address);
  }
}

TEST_F(DirectPathTest, WritesGoOutInOrderAndLeaveTheArray) {
  PortIoPair pairs[] = {{0x10, 0x12}, {0x22, 0x0C}, {0x30, 0x34}};
  EXPECT_TRUE(Connection->WritePairs(pairs, 3));
  ExpectCalls(TraceText({"OutPortByte"}),
              {"OutPortByte(0x3BC, 0x12)", "OutPortByte(0x37A, 0xC)", "OutPortByte(0x278, 0x34)"});
  EXPECT_EQ(pairs[1].PortAddress, 0x22);
  EXPECT_EQ(pairs[1].Value, 0x0C);
  EXPECT_EQ(Space->Peek(0x37A), 0x0C);
  EXPECT_TRUE(TraceText({"DeviceIoControl"}).empty());
}

// The probe on the driver path against scripted registers.
class ProbeTest : public DriverPathTest {};

TEST_F(ProbeTest, EchoingDataRegisterIsPresentAndRestored) {
  Port.RegisterAt(0x20) = 0x5A;
  EXPECT_TRUE(Connection->ProbePort(PortLpt2));
  EXPECT_EQ(Port.LogText(), (std::vector<std::string>{"R 20", "W 20 00", "R 20", "W 20 55", "R 20", "W 20 AA",
                                                      "R 20", "W 20 5A"}));
  EXPECT_EQ(Port.RegisterAt(0x20), 0x5A);
}

// A byte the probe never read is never written back: on a port another
// program holds the first read fails, and no pattern or restore follows.
TEST_F(ProbeTest, ADataRegisterThatCouldNotBeReadIsNeverWritten) {
  Port.Ports[1].Held = true;
  EXPECT_FALSE(Connection->ProbePort(PortLpt2));
  for (const std::string& call : TraceText({"DeviceIoControl"}))
    EXPECT_FALSE(CallMatches(call, "DeviceIoControl(*, 0x220060, *, *, *, *, *, *)")) << call;
  EXPECT_EQ(TraceText({"DeviceIoControl"}).size(), 3u);  // data, then control and status
}

TEST_F(ProbeTest, EchoFailingAtZeroFallsBackToControl) {
  Port.RegisterAt(0x10) = 0x13;
  Port.Stuck = {0x10};
  Port.RegisterAt(0x12) = 0x0C;
  EXPECT_TRUE(Connection->ProbePort(PortLpt1));
  EXPECT_EQ(Port.LogText(),
            (std::vector<std::string>{"R 10", "W 10 00", "R 10", "W 10 55", "W 10 AA", "W 10 13", "R 12"}));
}

TEST_F(ProbeTest, DeadPortFailsEveryTest) {
  Port.RegisterAt(0x30) = 0x00;
  Port.Stuck = {0x30};
  Port.RegisterAt(0x32) = 0xFF;
  Port.RegisterAt(0x31) = 0xFF;
  EXPECT_FALSE(Connection->ProbePort(PortLpt3));
  EXPECT_EQ(Port.LogText(), (std::vector<std::string>{"R 30", "W 30 00", "R 30", "W 30 55", "R 30", "W 30 AA",
                                                      "W 30 00", "R 32", "R 31"}));
  Port.RegisterAt(0x32) = 0x00;
  Port.RegisterAt(0x31) = 0x00;
  EXPECT_FALSE(Connection->ProbePort(PortLpt3));
}

TEST_F(ProbeTest, StatusAloneCanShowThePort) {
  Port.Stuck = {0x20};
  Port.RegisterAt(0x20) = 0xFF;
  Port.RegisterAt(0x22) = 0xFF;
  Port.RegisterAt(0x21) = 0x7F;
  EXPECT_TRUE(Connection->ProbePort(PortLpt2));
}

TEST_F(ProbeTest, AllOnesPortIsAbsent) {
  for (BYTE reg : {0x30, 0x31, 0x32}) Port.RegisterAt(reg) = 0xFF;
  Port.Stuck = {0x30, 0x31, 0x32};
  EXPECT_FALSE(Connection->ProbePort(PortLpt3));
}

// Each echo pattern on its own, and the values on either side of the two rails.
TEST_F(ProbeTest, EveryPatternAndEveryRailCounts) {
  struct TCase {
    const char* Name;
    BYTE DeadDataLines;  // 0xFF: no echo at all
    BYTE Control;
    BYTE Status;
    bool Present;
  };
  const TCase cases[] = {
      {"echoes", 0x00, 0xFF, 0xFF, true},
      {"fails only 0x55", 0x01, 0xFF, 0xFF, false},
      {"fails only 0xAA", 0x80, 0xFF, 0xFF, false},
      {"fails only 0xAA, control answers", 0x80, 0x0C, 0xFF, true},
      {"control 0x00", 0xFF, 0x00, 0x00, false},
      {"control 0x01", 0xFF, 0x01, 0x00, true},
      {"control 0xFE", 0xFF, 0xFE, 0x00, true},
      {"status 0x01", 0xFF, 0xFF, 0x01, true},
      {"status 0xFE", 0xFF, 0x00, 0xFE, true},
      {"status 0xFF", 0xFF, 0x00, 0xFF, false},
  };
  for (const TCase& c : cases) {
    Port.Ports[1] = {
        .Present = true, .Status = c.Status, .Control = c.Control, .DeadDataLines = c.DeadDataLines};
    EXPECT_EQ(Connection->ProbePort(PortLpt2), c.Present) << c.Name;
  }
}

TEST_F(ProbeTest, ConstructionProbedTheThreePortsInOrder) {
  Connection.reset();
  Port.Stuck = {0x20, 0x21, 0x22};
  Port.RegisterAt(0x20) = Port.RegisterAt(0x21) = Port.RegisterAt(0x22) = 0xFF;
  Connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(Connection->Lpt1Present());
  EXPECT_FALSE(Connection->Lpt2Present());
  EXPECT_TRUE(Connection->Lpt3Present());
  ASSERT_GE(Port.Log.size(), 3u);
  EXPECT_EQ(Port.LogText().front(), "R 10");
  EXPECT_EQ(Port.LogText().back(), "W 30 00");
}

}  // namespace
