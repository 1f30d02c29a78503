// Construction and destruction of the connection: the calls it makes, in order.
#include "lptio_fixture.h"
#include "test_support.h"

#include <filesystem>
#include <memory>

using emulation::TFault;

namespace {

std::string ExecutableFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

std::vector<std::string> Bootstrap(const std::string& create, const std::string& manager,
                                   const std::string& service) {
  return {"GetVersionExA(148)",
          "SetLastError(0)",
          OpenCall,
          R"(LoadLibraryA("ADVAPI32.DLL"))",
          R"(GetProcAddress(*, "OpenSCManagerA"))",
          R"(GetProcAddress(*, "CloseServiceHandle"))",
          R"(GetProcAddress(*, "CreateServiceA"))",
          R"(GetProcAddress(*, "StartServiceA"))",
          R"(GetProcAddress(*, "OpenServiceA"))",
          R"(GetProcAddress(*, "DeleteService"))",
          "OpenSCManagerA(null, null, 0xF003F)",
          "GetModuleFileNameA(null, *, 260)",
          "GetModuleFileNameW(null, *, 260)",
          create,
          "StartServiceA(" + service + ", 0, *)",
          "CloseServiceHandle(" + service + ")",
          "CloseServiceHandle(" + manager + ")",
          "SetLastError(0)",
          OpenCall};
}

std::string CreateCall(const std::string& manager) {
  return "CreateServiceA(" + manager +
         R"(, "lptwdmio", "LPT port direct access service", 0xF01FF, 1, 3, 1, ")" + ExecutableFolder() +
         R"(LPTWDMIO.SYS", null, null, null, null, null))";
}

// Close the device, delete the service entry, release the library; never a stop.
std::vector<std::string> DeletionCalls() {
  return {"CloseHandle(*)",
          "OpenSCManagerA(null, null, 0xF003F)",
          R"(OpenServiceA(*, "lptwdmio", 0xF01FF))",
          "DeleteService(*)",
          "CloseServiceHandle(*)",
          "CloseServiceHandle(*)",
          "FreeLibrary(*)"};
}

// The path's code page conversions are the business of the table below.
std::vector<std::string> FirstCalls(std::size_t count) {
  auto calls = TraceWithout({"WideCharToMultiByte", "MultiByteToWideChar"});
  calls.resize(std::min(count, calls.size()));
  return calls;
}

class ConstructionTest : public LptioTest {
 protected:
  // The first open finds no device; the start request is answered with an
  // error so that no module is loaded; the device is there for the second open.
  void DeviceAppearsAfterStart() {
    RegisterPort();
    emulation::InjectFault(
        TFault{.Function = "CreateFileA", .Error = ERROR_FILE_NOT_FOUND, .Skip = 0, .Times = 1});
    emulation::InjectFault(TFault{.Function = "StartServiceA", .Error = ERROR_SERVICE_ALREADY_RUNNING});
  }

  std::vector<std::string> DestructionCalls(std::unique_ptr<TLptPortConnection>& connection) {
    emulation::ClearTrace();
    connection.reset();
    return TraceWithout(ErrorCalls);
  }
};

TEST_F(ConstructionTest, DevicePresentOnNtOpensOnceAndProbes) {
  RegisterPort();
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(connection->IsUsable());
  ExpectCalls(FirstCalls(3), {"GetVersionExA(148)", "SetLastError(0)", OpenCall});
  EXPECT_TRUE(TraceText({"LoadLibraryA"}).empty());
  EXPECT_EQ(TraceText({"CreateFileA"}).size(), 1u);
  EXPECT_TRUE(connection->Lpt1Present());
  EXPECT_TRUE(connection->Lpt2Present());
  EXPECT_TRUE(connection->Lpt3Present());
  ExpectCalls(DestructionCalls(connection), {"CloseHandle(*)"});
  EXPECT_EQ(Port.OpenSessions, 0);
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
}

TEST_F(ConstructionTest, DeviceAbsentOnNtInstallsStartsAndReopens) {
  DeviceAppearsAfterStart();
  // The driver's path comes from the executable, not the working directory.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path("/");
  auto connection = std::make_unique<TLptPortConnection>();
  std::filesystem::current_path(cwd);

  EXPECT_TRUE(connection->IsUsable());
  ExpectCalls(FirstCalls(19), Bootstrap(CreateCall("0x4"), "0x4", "0x8"));
  EXPECT_TRUE(connection->Lpt1Present());
  ASSERT_TRUE(emulation::Service("lptwdmio"));
  EXPECT_EQ(emulation::Service("lptwdmio")->BinaryPath, ExecutableFolder() + "LPTWDMIO.SYS");
  EXPECT_EQ(emulation::OpenHandleCount(), 1u);  // only the device

  ExpectCalls(DestructionCalls(connection), DeletionCalls());
  EXPECT_FALSE(emulation::Service("lptwdmio"));
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
}

TEST_F(ConstructionTest, InstalledServiceIsOpenedStartedAndDeletedAtTheEnd) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  CloseServiceHandle(CreateServiceA(
      manager, "lptwdmio", "elsewhere", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
      SERVICE_ERROR_NORMAL, "/nonexistent/LPTWDMIO.SYS", nullptr, nullptr, nullptr, nullptr, nullptr));
  CloseServiceHandle(manager);
  emulation::ClearTrace();
  DeviceAppearsAfterStart();

  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(connection->IsUsable());
  auto expected = Bootstrap(CreateCall("*"), "*", "*");
  expected.insert(expected.begin() + 14, R"(OpenServiceA(*, "lptwdmio", 0xF01FF))");
  ExpectCalls(FirstCalls(20), expected);

  // Deleted although this connection did not create it.
  ExpectCalls(DestructionCalls(connection), DeletionCalls());
  EXPECT_FALSE(emulation::Service("lptwdmio"));
}

TEST_F(ConstructionTest, FailedSecondOpenLeavesItsCodeAndTouchesNoPort) {
  emulation::InjectFault(TFault{.Function = "StartServiceA", .Error = ERROR_FILE_NOT_FOUND});
  emulation::InjectFault(TFault{.Function = "CreateFileA", .Error = ERROR_ACCESS_DENIED, .Skip = 1});
  TLptPortConnection connection;
  EXPECT_FALSE(connection.IsUsable());
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(connection.Lpt1Present());
  EXPECT_FALSE(connection.Lpt2Present());
  EXPECT_FALSE(connection.Lpt3Present());
  EXPECT_TRUE(TraceText({"DeviceIoControl", "InPortByte", "OutPortByte"}).empty());
  EXPECT_EQ(TraceText({"CreateFileA"}).size(), 2u);
}

TEST_F(ConstructionTest, NineXWithoutDeviceTakesTheDirectPath) {
  emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(connection->IsUsable());
  EXPECT_EQ(TraceText({"CreateFileA"}).size(), 1u);
  EXPECT_TRUE(TraceText({"LoadLibraryA", "OpenSCManagerA", "CreateServiceA"}).empty());
  EXPECT_TRUE(TraceText({"DeviceIoControl"}).empty());
  // All three ports are probed through their data registers (simulated memory echoes).
  const auto reads = TraceText({"InPortByte"});
  for (const char* data : {"InPortByte(0x3BC)", "InPortByte(0x378)", "InPortByte(0x278)"})
    EXPECT_NE(std::find(reads.begin(), reads.end(), data), reads.end()) << data;
  EXPECT_TRUE(connection->Lpt1Present() && connection->Lpt2Present() && connection->Lpt3Present());
  EXPECT_TRUE(DestructionCalls(connection).empty());
}

TEST_F(ConstructionTest, NineXWithDeviceUsesTheDriver) {
  emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
  RegisterPort();
  TLptPortConnection connection;
  EXPECT_TRUE(connection.IsUsable());
  EXPECT_FALSE(TraceText({"DeviceIoControl"}).empty());
  EXPECT_TRUE(TraceText({"InPortByte", "OutPortByte"}).empty());
}

// Started on NT in the "Windows 98" compatibility mode, the program must not
// take the direct path: its port instructions fault there. It installs and
// starts the driver as on NT and goes through it.
TEST_F(ConstructionTest, NtInTheWindows98ModeStartsTheDriverAndNeverTouchesThePorts) {
  emulation::SetPlatformFamily(emulation::TPlatformFamily::NtAsWin98);
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(connection->IsUsable());
  EXPECT_EQ(TraceText({"StartServiceA"}).size(), 1u);
  EXPECT_FALSE(TraceText({"DeviceIoControl"}).empty());
  EXPECT_TRUE(TraceText({"InPortByte", "OutPortByte"}).empty());
  ExpectCalls(DestructionCalls(connection), DeletionCalls());
}

// What each system tells a process, and which family that makes it.
TEST(PlatformFamily, FollowsNtdllWhereTheVersionQuerySays9x) {
  constexpr DWORD Nt = VER_PLATFORM_WIN32_NT, Win9x = VER_PLATFORM_WIN32_WINDOWS;
  struct TCase {
    const char* System;
    TPlatformEvidence Evidence;
    bool Nt;
  };
  const TCase cases[] = {
      {"NT, any version", {true, Nt, false, false, 0, false}, true},
      {"version query failed", {false, 0, false, false, 0, false}, true},
      {"95, 98, ME: no ntdll", {true, Win9x, false, false, 0, false}, false},
      {"Win32s", {true, VER_PLATFORM_WIN32s, false, false, 0, false}, false},
      {"9x with some ntdll.dll loaded", {true, Win9x, true, false, 0, false}, false},
      {"2000 in the 98 mode", {true, Win9x, true, false, 0, true}, true},
      {"XP in the 98 mode", {true, Win9x, true, true, 5, true}, true},
      {"10 in the 98 mode", {true, Win9x, true, true, 10, true}, true},
      {"Wine as win98", {true, Win9x, true, true, 4, true}, false},
  };
  for (const TCase& c : cases) EXPECT_EQ(IsNtFamily(c.Evidence), c.Nt) << c.System;
}

TEST_F(ConstructionTest, UnreachableManagerMeansNoServiceCallEitherWay) {
  emulation::InjectFault(TFault{.Function = "OpenSCManagerA", .Error = ERROR_ACCESS_DENIED});
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_FALSE(connection->IsUsable());
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(TraceText({"CreateServiceA", "OpenServiceA", "StartServiceA"}).empty());
  ExpectCalls(DestructionCalls(connection), {"FreeLibrary(*)"});
}

TEST_F(ConstructionTest, MissingLibrarySkipsStraightToTheSecondOpen) {
  emulation::InjectFault(TFault{.Function = "LoadLibraryA", .Error = ERROR_MOD_NOT_FOUND});
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(TraceText({"GetProcAddress", "OpenSCManagerA"}).empty());
  EXPECT_EQ(TraceText({"CreateFileA"}).size(), 2u);
  EXPECT_TRUE(DestructionCalls(connection).empty());
}

TEST_F(ConstructionTest, MissingProcedureCountsAsUnreachableManager) {
  emulation::InjectFault(
      TFault{.Function = "GetProcAddress", .Error = ERROR_PROC_NOT_FOUND, .Match = "DeleteService"});
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_EQ(TraceText({"GetProcAddress"}).size(), 6u);
  EXPECT_TRUE(TraceText({"OpenSCManagerA"}).empty());
  EXPECT_EQ(TraceText({"CreateFileA"}).size(), 2u);
  ExpectCalls(DestructionCalls(connection), {"FreeLibrary(*)"});
}

TEST_F(ConstructionTest, FailedCreateAndOpenMakeNoStartAndNoDeletion) {
  emulation::InjectFault(TFault{.Function = "CreateServiceA", .Error = ERROR_ACCESS_DENIED});
  emulation::InjectFault(TFault{.Function = "OpenServiceA", .Error = ERROR_SERVICE_DOES_NOT_EXIST});
  auto connection = std::make_unique<TLptPortConnection>();
  EXPECT_TRUE(TraceText({"StartServiceA"}).empty());
  EXPECT_EQ(TraceText({"CloseServiceHandle"}).size(), 1u);  // the manager
  ExpectCalls(DestructionCalls(connection), {"FreeLibrary(*)"});
}

TEST_F(ConstructionTest, DeletionIsSkippedQuietlyWhenTheManagerRefusesAtTheEnd) {
  DeviceAppearsAfterStart();
  emulation::InjectFault(TFault{.Function = "OpenSCManagerA", .Error = ERROR_ACCESS_DENIED, .Skip = 1});
  auto connection = std::make_unique<TLptPortConnection>();
  ExpectCalls(DestructionCalls(connection),
              {"CloseHandle(*)", "OpenSCManagerA(null, null, 0xF003F)", "FreeLibrary(*)"});
}

TEST_F(ConstructionTest, FailedVersionQueryIsTakenAsNt) {
  emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
  emulation::InjectFault(TFault{.Function = "GetVersionExA", .Error = ERROR_INVALID_PARAMETER});
  emulation::InjectFault(TFault{.Function = "LoadLibraryA", .Error = ERROR_MOD_NOT_FOUND});
  TLptPortConnection connection;
  EXPECT_FALSE(connection.IsUsable());
  EXPECT_TRUE(TraceText({"InPortByte", "OutPortByte"}).empty());
}

// The service manager takes an ANSI path: a folder named outside the ANSI
// code page (here Windows-1252, with no 8.3 names on Linux) gets no service,
// and the connection says why its second open failed.
TEST_F(ConstructionTest, DriverFolderReachesTheServiceManagerInTheAnsiCodePage) {
  struct TCase {
    UINT CodePage;
    std::string Folder;  // UTF-8
    std::string Path;    // as the service gets it; empty: no service
  };
  const TCase cases[] = {
      {CP_UTF8, "Пинларк", "Пинларк/LPTWDMIO.SYS"},
      {CP_UTF8, "\xE9t\xE9", "\xE9t\xE9/LPTWDMIO.SYS"},  // not UTF-8: the name's own bytes
      {1252, "Café €", "Caf\xE9 \x80/LPTWDMIO.SYS"},
      {1252, "Пинларк", ""},
  };
  const pinlark::testsupport::TTempDir temp;
  const std::filesystem::path root = temp.Path();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Folder + " in code page " + std::to_string(c.CodePage));
    emulation::Reset();
    emulation::SetAnsiCodePage(c.CodePage);
    const std::string folder = (root / c.Folder).string() + "/";
    std::filesystem::create_directories(folder);
    {
      TLptPortConnection connection(TLptConnectionOptions{.EchoProbe = false, .DriverFolder = folder});
      EXPECT_FALSE(connection.IsUsable());
      EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
      EXPECT_EQ(connection.DriverFolderNotAnsi(), c.Path.empty());
      const auto service = emulation::Service("lptwdmio");
      ASSERT_EQ(service.has_value(), !c.Path.empty());
      if (service) {
        EXPECT_EQ(service->BinaryPath, root.string() + "/" + c.Path);
      }
    }
  }
}

}  // namespace
