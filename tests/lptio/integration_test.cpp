// The connection against the real driver module, started from beside the
// executable the way the program does it, on the module's simulated ports.
#include "LPTIO.h"
#include "emulation_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
    emulation::Reset();
    Connection = std::make_unique<TLptPortConnection>();
    ASSERT_TRUE(Connection->IsUsable()) << "error " << GetLastError();
  }
  void TearDown() override {
    Connection.reset();
    emulation::Reset();
    ::unsetenv("LPTWDMIO_BACKEND");
  }
  std::array<BYTE, 3> Registers(BYTE port) {
    PortIoPair pairs[] = {
        {BYTE(port | RegData), 0}, {BYTE(port | RegStatus), 0}, {BYTE(port | RegControl), 0}};
    EXPECT_TRUE(Connection->ReadPairs(pairs, 3)) << GetLastError();
    return {pairs[0].Value, pairs[1].Value, pairs[2].Value};
  }
  std::unique_ptr<TLptPortConnection> Connection;
};

TEST_F(IntegrationTest, DefaultSetUpStartsTheDriverBesideTheExecutable) {
  EXPECT_TRUE(Connection->Lpt1Present());
  EXPECT_TRUE(Connection->Lpt2Present());
  EXPECT_FALSE(Connection->Lpt3Present());
  const auto service = emulation::Service("lptwdmio");
  ASSERT_TRUE(service);
  EXPECT_TRUE(service->Running);
  const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  EXPECT_EQ(service->BinaryPath, (folder / "LPTWDMIO.SYS").string());
  EXPECT_EQ(Registers(PortLpt1), (std::array<BYTE, 3>{0x00, 0x87, 0xCC}));
  EXPECT_EQ(Registers(PortLpt2), (std::array<BYTE, 3>{0x00, 0x7F, 0xCC}));
}

TEST_F(IntegrationTest, TheDriverSaysItsPortsAreSimulated) {
  TLptPortReports reports{};
  ASSERT_TRUE(Connection->QueryPorts(reports)) << GetLastError();
  EXPECT_TRUE(reports[0].Present && reports[0].Simulated);
  EXPECT_TRUE(reports[1].Present && reports[1].Simulated);
  EXPECT_FALSE(reports[2].Present || reports[2].Simulated);
  for (const TLptPortReport& report : reports) EXPECT_EQ(report.Base, 0);
}

TEST_F(IntegrationTest, DestructionDeletesTheServiceAndLeavesTheDriverRunning) {
  Connection.reset();
  const auto service = emulation::Service("lptwdmio");
  ASSERT_TRUE(service);
  EXPECT_TRUE(service->Deleted);
  EXPECT_TRUE(service->Running);
  EXPECT_EQ(emulation::LoadedDriverCount(), 1);
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
  // A later connection finds the device at the first open.
  emulation::SetTracing(true);
  Connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(Connection->IsUsable());
  for (const auto& call : emulation::Trace()) EXPECT_NE(call.Function, "LoadLibraryA");
}

TEST_F(IntegrationTest, LoopbackPlugAnswersWrites) {
  EXPECT_TRUE(Connection->WriteRegister(PortLpt1, RegData, 0x1F));
  EXPECT_EQ(Connection->ReadRegister(PortLpt1, RegStatus), 0x7F);
  EXPECT_TRUE(Connection->WriteRegister(PortLpt1, RegData, 0x10));
  EXPECT_EQ(Connection->ReadRegister(PortLpt1, RegStatus), 0x07);
  EXPECT_TRUE(Connection->WriteRegister(PortLpt2, RegControl, 0x05));
  EXPECT_EQ(Connection->ReadRegister(PortLpt2, RegControl), 0xC5);
}

TEST_F(IntegrationTest, DriverRefusesRegistersOutsideTheThreePorts) {
  Connection->WriteRegister(PortLpt1, RegData, 0x01);
  PortIoPair pairs[] = {{0x10, 0x00}, {0x13, 0x00}};
  EXPECT_FALSE(Connection->WritePairs(pairs, 2));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Connection->ReadRegister(PortLpt1, RegData), 0x01);
  PortIoPair odd{0x40, 0};
  EXPECT_FALSE(Connection->ReadPairs(&odd, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Ports another program holds, through the real module: the window's
// start-up waits once, then passes over them without writing to them; with
// every port held it is refused as busy.
TEST_F(IntegrationTest, TheWindowWaitsOnceForPortsHeldElsewhereAndWritesNone) {
  Connection.reset();
  ::setenv("LPTWDMIO_WAIT_MS", "20", 1);
  TLptPortConnection holder(TLptConnectionOptions{.EchoProbe = false, .DriverFolder = {}});
  ASSERT_TRUE(holder.WriteRegister(PortLpt1, RegData, 0x3C));
  {
    TLptPortConnection window;
    ASSERT_TRUE(window.IsUsable());
    EXPECT_FALSE(window.Lpt1Present());
    EXPECT_TRUE(window.Lpt2Present());
    EXPECT_EQ(window.ReadRegister(PortLpt1, RegData), 0);  // busy: no reading
  }
  EXPECT_EQ(holder.ReadRegister(PortLpt1, RegData), 0x3C);
  ASSERT_TRUE(holder.WriteRegister(PortLpt2, RegData, 0x00));
  TLptPortConnection window;
  EXPECT_FALSE(window.IsUsable());
  EXPECT_EQ(GetLastError(), ERROR_BUSY);
  ::unsetenv("LPTWDMIO_WAIT_MS");
}

}  // namespace
