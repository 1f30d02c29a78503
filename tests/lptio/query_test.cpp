// The port query: what the driver says about each port, and when nothing is asked.
#include "lptio_fixture.h"

#include <algorithm>
#include <cstring>
#include <memory>

using emulation::TFault;

namespace {

const TLptPortReport Untouched{true, true, 0xBEEF};

class QueryTest : public LptioTest {
 protected:
  std::unique_ptr<TLptPortConnection> Connect() {
    auto connection = std::make_unique<TLptPortConnection>();
    emulation::ClearTrace();
    return connection;
  }
  TLptPortReports Reports{Untouched, Untouched, Untouched};
};

TEST_F(QueryTest, OneRequestWithNoInputAndRoomForTheReply) {
  Port.Ports[0] = {.Present = true, .Simulated = true};
  Port.Ports[1] = {.Present = true, .Base = 0x378};
  Port.Ports[2] = {.Present = false, .Base = 0x278};
  RegisterPort();
  auto connection = Connect();
  const std::size_t accesses = Port.Log.size();
  SetLastError(ERROR_BUSY);
  emulation::ClearTrace();
  EXPECT_TRUE(connection->QueryPorts(Reports));
  ExpectCalls(TraceText(),
              {"SetLastError(0)", "DeviceIoControl(*, 0x220070, null, 0, *, 24, *, null)", "GetLastError()"});
  EXPECT_EQ(Reports[0], (TLptPortReport{true, true, 0}));
  EXPECT_EQ(Reports[1], (TLptPortReport{true, false, 0x378}));
  EXPECT_EQ(Reports[2], (TLptPortReport{false, false, 0}));
  EXPECT_EQ(Port.Log.size(), accesses);  // no register touched
  EXPECT_EQ(GetLastError(), 0u);
}

// The window's connection, whose probe would find no port, is refused as
// busy when every port is another program's; a tool's opens and says who
// holds what. Neither touches a held port.
TEST_F(QueryTest, EveryPortHeldElsewhereMakesTheWindowsConnectionBusy) {
  Port.Ports[0] = {.Present = true, .Held = true, .Holder = 4242};
  Port.Ports[1] = {.Present = true, .Base = 0x378, .SystemNumber = 1, .Held = true};
  Port.Ports[2] = {.Present = false};
  RegisterPort();
  {
    TLptPortConnection window;
    EXPECT_FALSE(window.IsUsable());
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EXPECT_EQ(Port.OpenSessions, 0);
  }
  const TLptPortConnection tool(TLptConnectionOptions{.EchoProbe = false, .DriverFolder = {}});
  ASSERT_TRUE(tool.IsUsable());
  EXPECT_TRUE(tool.Lpt1Present() && tool.Lpt2Present());
  EXPECT_FALSE(tool.Lpt3Present());
  auto connection = Connect();
  ASSERT_FALSE(connection->IsUsable());
  Port.Ports[1].Held = false;  // one port of its own is enough for the window
  connection = Connect();
  ASSERT_TRUE(connection->IsUsable());
  EXPECT_FALSE(connection->Lpt1Present());
  EXPECT_TRUE(connection->Lpt2Present());
  ASSERT_TRUE(connection->QueryPorts(Reports));
  EXPECT_EQ(Reports[0], (TLptPortReport{.Present = true, .Held = true, .Holder = 4242}));
  EXPECT_EQ(Reports[1], (TLptPortReport{.Present = true, .Base = 0x378, .SystemNumber = 1}));
  for (const TPortAccess& access : Port.Log) EXPECT_NE(access.Address & 0xF0, 0x10) << access.Text();
}

TEST_F(QueryTest, AnOlderDriverRefusesAndTheReportsStayAsTheyWere) {
  Port.AnswersQuery = false;
  RegisterPort();
  auto connection = Connect();
  EXPECT_FALSE(connection->QueryPorts(Reports));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  for (const TLptPortReport& report : Reports) EXPECT_EQ(report, Untouched);
  // Transfers go on as before.
  Port.RegisterAt(0x21) = 0x5A;
  EXPECT_EQ(connection->ReadRegister(PortLpt2, RegStatus), 0x5A);
}

TEST_F(QueryTest, AShortReplyIsNoAnswer) {
  emulation::TEmulatedDevice device;
  // Answers every request with at most 8 bytes, two thirds of a port query's reply.
  device.Control = [](void*, DWORD, const void*, DWORD, void* out, DWORD outLength, DWORD* returned) {
    *returned = std::min<DWORD>(outLength, 8);
    std::memset(out, 0x01, *returned);
    return DWORD(ERROR_SUCCESS);
  };
  ASSERT_EQ(emulation::RegisterDevice("LptAccessAgent", device), 0u);
  TLptPortConnection connection;
  EXPECT_FALSE(connection.QueryPorts(Reports));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  for (const TLptPortReport& report : Reports) EXPECT_EQ(report, Untouched);
}

TEST_F(QueryTest, WithoutADriverNothingIsAsked) {
  struct TCase {
    const char* Name;
    emulation::TPlatformFamily Family;
  };
  for (const TCase& c : {TCase{"direct path", emulation::TPlatformFamily::Win9x},
                         TCase{"not usable", emulation::TPlatformFamily::Nt}}) {
    SCOPED_TRACE(c.Name);
    emulation::Reset();
    emulation::SetTracing(true);
    emulation::SetPlatformFamily(c.Family);
    emulation::InjectFault(TFault{.Function = "LoadLibraryA", .Error = ERROR_MOD_NOT_FOUND});
    auto connection = Connect();
    ASSERT_EQ(connection->IsUsable(), c.Family == emulation::TPlatformFamily::Win9x);
    SetLastError(ERROR_BUSY);
    emulation::ClearTrace();
    EXPECT_FALSE(connection->QueryPorts(Reports));
    EXPECT_TRUE(TraceWithout({"GetLastError"}).empty());
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    for (const TLptPortReport& report : Reports) EXPECT_EQ(report, Untouched);
  }
}

}  // namespace
