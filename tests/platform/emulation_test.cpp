// The emulated system services: Windows semantics and error codes.
#include "emulation_control.h"
#include "test_support.h"
#include "winapi.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

using emulation::TEmulatedDevice;
using emulation::TFault;

namespace {

class EmulationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulation::Reset();
    emulation::SetTracing(true);
  }
  void TearDown() override { emulation::Reset(); }

  // A device whose sessions point at Marker and whose calls are counted.
  TEmulatedDevice CountingDevice(DWORD openStatus = ERROR_SUCCESS) {
    TEmulatedDevice device;
    device.Open = [this, openStatus](void** session) {
      *session = &Marker;
      return openStatus;
    };
    device.Control = [this](void* session, DWORD code, const void*, DWORD inLength, void*, DWORD,
                            DWORD* returned) {
      EXPECT_EQ(session, &Marker);
      *returned = inLength;
      return code;  // the test chooses the status through the code
    };
    device.Close = [this](void* session) {
      EXPECT_EQ(session, &Marker);
      ++Closes;
    };
    return device;
  }
  HANDLE Open(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  }

  int Marker = 0;
  int Closes = 0;
};

TEST_F(EmulationTest, DeviceNamespaceOpensRegisteredDevicesInAnyCase) {
  ASSERT_EQ(emulation::RegisterDevice("Dev1", CountingDevice()), ERROR_SUCCESS);
  EXPECT_EQ(emulation::RegisterDevice("DEV1", CountingDevice()), ERROR_ALREADY_EXISTS);
  SetLastError(ERROR_BUSY);
  HANDLE handle = Open(R"(\\.\dev1)");
  EXPECT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(Closes, 1);
}

TEST_F(EmulationTest, AnythingElseIsNotFound) {
  emulation::RegisterDevice("Dev1", CountingDevice());
  for (const char* name : {R"(\\.\Dev2)", R"(C:\Dev1)", "Dev1", "/etc/hostname", R"(\\.\)"}) {
    EXPECT_EQ(Open(name), INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
  }
  EXPECT_EQ(Open(nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(EmulationTest, DeviceMayRefuseAnOpenWithItsOwnCode) {
  emulation::RegisterDevice("Locked", CountingDevice(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Open(R"(\\.\Locked)"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
}

TEST_F(EmulationTest, HandlesAreDistinctAndCloseOnce) {
  emulation::RegisterDevice("Dev1", CountingDevice());
  std::set<HANDLE> handles;
  for (int i = 0; i < 3; ++i) handles.insert(Open(R"(\\.\Dev1)"));
  EXPECT_EQ(handles.size(), 3u);
  EXPECT_FALSE(handles.count(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(handles.count(nullptr));
  for (HANDLE handle : handles) EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(Closes, 3);
  EXPECT_FALSE(CloseHandle(*handles.begin()));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(EmulationTest, DeviceStatusBecomesTheLastError) {
  emulation::RegisterDevice("Dev1", CountingDevice());
  HANDLE handle = Open(R"(\\.\Dev1)");
  BYTE buffer[4] = {};
  DWORD returned = 99;
  EXPECT_FALSE(DeviceIoControl(handle, ERROR_IO_DEVICE, buffer, 4, buffer, 4, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  SetLastError(ERROR_BUSY);
  EXPECT_TRUE(DeviceIoControl(handle, ERROR_SUCCESS, buffer, 4, buffer, 4, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(returned, 4u);
  // Malformed calls never reach the device.
  EXPECT_FALSE(DeviceIoControl(handle, ERROR_SUCCESS, buffer, 4, buffer, 4, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(DeviceIoControl(handle, ERROR_SUCCESS, nullptr, 4, buffer, 4, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(DeviceIoControl(INVALID_HANDLE_VALUE, 0, buffer, 4, buffer, 4, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(handle);
}

// A request in progress keeps its session: closing the handle meanwhile
// neither waits for the request nor closes the session under it.
TEST_F(EmulationTest, RequestInProgressOutlivesItsHandle) {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false, released = false;
  std::atomic<int> closes{0};
  TEmulatedDevice device;
  device.Control = [&](void*, DWORD, const void*, DWORD, void*, DWORD, DWORD*) -> DWORD {
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return released; });
    return closes == 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  };
  device.Close = [&](void*) { ++closes; };
  emulation::RegisterDevice("Slow", std::move(device));
  HANDLE handle = Open(R"(\\.\Slow)");
  BOOL result = FALSE;
  std::thread request([&] {
    BYTE buffer[2] = {};
    DWORD returned = 0;
    result = DeviceIoControl(handle, 1, buffer, 2, buffer, 2, &returned, nullptr);
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return entered; }));
  }
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(closes, 0);
  {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
  }
  changed.notify_all();
  request.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
}

TEST_F(EmulationTest, LastErrorBelongsToEachThread) {
  SetLastError(42);
  DWORD seen = 1;
  std::thread other([&] {
    seen = GetLastError();
    SetLastError(7);
  });
  other.join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 42u);
}

TEST_F(EmulationTest, VersionQueryReportsTheChosenFamily) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  info.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(EmulationTest, ModuleFileNameIsTheExecutableAndTruncatesLikeWindows) {
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  char path[4096];
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), exe.size());
  EXPECT_EQ(std::string(path), exe);
  char small[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(small), exe.substr(0, 4));
}

TEST_F(EmulationTest, ServiceLibraryExportsTheSixFunctionsByName) {
  HMODULE library = LoadLibraryA("advapi32.DLL");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(LoadLibraryA("ADVAPI32"), library);
  auto open = reinterpret_cast<SC_HANDLE (*)(LPCSTR, LPCSTR, DWORD)>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "OpenSCManagerA")));
  ASSERT_NE(open, nullptr);
  SC_HANDLE manager = open(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  EXPECT_NE(manager, nullptr);
  CloseServiceHandle(manager);
  for (const char* name :
       {"CloseServiceHandle", "CreateServiceA", "StartServiceA", "OpenServiceA", "DeleteService"})
    EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
  for (const char* name : {"ControlService", "openscmanagera"}) {
    EXPECT_EQ(GetProcAddress(library, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  }
  EXPECT_EQ(GetProcAddress(library, reinterpret_cast<LPCSTR>(5)), nullptr);  // an ordinal
  EXPECT_TRUE(FreeLibrary(library));
  EXPECT_TRUE(FreeLibrary(library));
  EXPECT_EQ(GetProcAddress(library, "DeleteService"), nullptr);
  EXPECT_FALSE(FreeLibrary(library));
  EXPECT_EQ(LoadLibraryA("KERNEL33.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

class ServiceManagerTest : public EmulationTest {
 protected:
  void SetUp() override {
    EmulationTest::SetUp();
    Manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(Manager, nullptr);
  }
  void TearDown() override {
    CloseServiceHandle(Manager);
    EmulationTest::TearDown();
  }
  SC_HANDLE Create(const std::string& path, const char* name = "testsvc") {
    return CreateServiceA(Manager, name, "Test service", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                          SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr,
                          nullptr, nullptr);
  }
  SC_HANDLE Manager = nullptr;
};

TEST_F(ServiceManagerTest, CreateOnceOpenWhatExists) {
  SC_HANDLE service = Create(TEST_DRIVER_PATH);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(Create(TEST_DRIVER_PATH), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
  SC_HANDLE again = OpenServiceA(Manager, "TESTSVC", SERVICE_ALL_ACCESS);
  EXPECT_NE(again, nullptr);
  EXPECT_EQ(OpenServiceA(Manager, "other", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_EQ(OpenServiceA(nullptr, "testsvc", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  const auto info = emulation::Service("testsvc");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->BinaryPath, TEST_DRIVER_PATH);
  EXPECT_FALSE(info->Running);
  CloseServiceHandle(again);
  CloseServiceHandle(service);
}

TEST_F(ServiceManagerTest, StartLoadsTheDriverWhichRegistersItsDevice) {
  SC_HANDLE service = Create(TEST_DRIVER_PATH);
  EXPECT_FALSE(emulation::DeviceRegistered("EmuTestDevice"));
  ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
  EXPECT_TRUE(emulation::Service("testsvc")->Running);
  HANDLE device = Open(R"(\\.\EmuTestDevice)");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  BYTE in[3] = {1, 2, 3}, out[3] = {};
  DWORD returned = 0;
  EXPECT_TRUE(DeviceIoControl(device, 1, in, 3, out, 3, &returned, nullptr));
  EXPECT_EQ(out[2], 3);
  EXPECT_FALSE(DeviceIoControl(device, 0x99, in, 3, out, 3, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  CloseHandle(device);
  EXPECT_FALSE(StartServiceA(service, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  EXPECT_EQ(emulation::LoadedDriverCount(), 1);
  CloseServiceHandle(service);
}

TEST_F(ServiceManagerTest, StartFailuresLeaveNothingBehind) {
  const pinlark::testsupport::TTempDir folder;
  const std::string text = (folder / "not-a-module.SYS").string();
  std::ofstream(text) << "text";
  struct TCase {
    std::string Path;
    DWORD Error;
  } cases[] = {{"/nonexistent/LPTWDMIO.SYS", ERROR_FILE_NOT_FOUND},
               {text, ERROR_BAD_EXE_FORMAT},
               {TEST_DRIVER_FAILS_PATH, ERROR_ACCESS_DENIED}};
  int n = 0;
  for (const TCase& c : cases) {
    const std::string name = "svc" + std::to_string(n++);
    SC_HANDLE service = Create(c.Path, name.c_str());
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), c.Error) << c.Path;
    EXPECT_FALSE(emulation::Service(name)->Running);
    CloseServiceHandle(service);
  }
  std::filesystem::remove(text);
  EXPECT_FALSE(emulation::DeviceRegistered("EmuTestDevice"));
  EXPECT_EQ(emulation::LoadedDriverCount(), 0);
}

TEST_F(ServiceManagerTest, DeletingARunningDriverOnlyMarksIt) {
  SC_HANDLE service = Create(TEST_DRIVER_PATH);
  StartServiceA(service, 0, nullptr);
  EXPECT_TRUE(DeleteService(service));
  EXPECT_FALSE(DeleteService(service));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  CloseServiceHandle(service);
  const auto info = emulation::Service("testsvc");
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->Deleted);
  EXPECT_TRUE(info->Running);
  EXPECT_TRUE(emulation::DeviceRegistered("EmuTestDevice"));
  EXPECT_EQ(Create(TEST_DRIVER_PATH), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
}

TEST_F(ServiceManagerTest, DeletedStoppedServiceGoesWithItsLastHandle) {
  SC_HANDLE service = Create(TEST_DRIVER_PATH);
  SC_HANDLE second = OpenServiceA(Manager, "testsvc", SERVICE_ALL_ACCESS);
  EXPECT_TRUE(DeleteService(service));
  CloseServiceHandle(service);
  EXPECT_TRUE(emulation::Service("testsvc"));
  CloseServiceHandle(second);
  EXPECT_FALSE(emulation::Service("testsvc"));
  EXPECT_NE(Create(TEST_DRIVER_PATH), nullptr);
}

TEST_F(ServiceManagerTest, ResetClosesSessionsAndUnloadsDrivers) {
  emulation::RegisterDevice("Dev1", CountingDevice());
  Open(R"(\\.\Dev1)");
  SC_HANDLE service = Create(TEST_DRIVER_PATH);
  StartServiceA(service, 0, nullptr);
  Open(R"(\\.\EmuTestDevice)");
  emulation::Reset();
  Manager = nullptr;
  EXPECT_EQ(Closes, 1);
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
  EXPECT_EQ(emulation::LoadedDriverCount(), 0);
  EXPECT_FALSE(emulation::DeviceRegistered("EmuTestDevice"));
  EXPECT_FALSE(emulation::Service("testsvc"));
}

TEST_F(EmulationTest, FaultsHitTheChosenCallsAndAreTraced) {
  emulation::RegisterDevice("Dev1", CountingDevice());
  emulation::InjectFault(TFault{.Function = "CreateFileA", .Error = ERROR_BUSY, .Skip = 1, .Times = 1});
  HANDLE first = Open(R"(\\.\Dev1)");
  EXPECT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(R"(\\.\Dev1)"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_BUSY);
  HANDLE third = Open(R"(\\.\Dev1)");
  EXPECT_NE(third, INVALID_HANDLE_VALUE);
  const auto trace = emulation::Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.front().Text(), R"(CreateFileA("\\.\Dev1", 0xC0000000, 0, null, 3, 0x80, null))");
  CloseHandle(first);
  CloseHandle(third);
}

TEST_F(EmulationTest, TraceIsKeptOnlyWhenAskedFor) {
  emulation::Reset();  // as a program starts: nothing may pile up while it runs
  SetLastError(1);
  EXPECT_TRUE(emulation::Trace().empty());
  emulation::SetTracing(true);
  SetLastError(2);
  ASSERT_EQ(emulation::Trace().size(), 1u);
  EXPECT_EQ(emulation::Trace()[0].Text(), "SetLastError(2)");
}

TEST_F(EmulationTest, FaultsMatchArgumentsWhileTheTraceIsOff) {
  emulation::SetTracing(false);
  HMODULE library = LoadLibraryA("ADVAPI32.DLL");
  emulation::InjectFault(TFault{.Function = "GetProcAddress", .Error = ERROR_BUSY, .Match = "DeleteService"});
  EXPECT_EQ(GetProcAddress(library, "DeleteService"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BUSY);
  EXPECT_NE(GetProcAddress(library, "OpenServiceA"), nullptr);
  EXPECT_TRUE(emulation::Trace().empty());
  FreeLibrary(library);
}

TEST_F(EmulationTest, FaultMatchNarrowsToOneArgument) {
  HMODULE library = LoadLibraryA("ADVAPI32.DLL");
  emulation::InjectFault(
      TFault{.Function = "GetProcAddress", .Error = ERROR_PROC_NOT_FOUND, .Match = "DeleteService"});
  EXPECT_EQ(GetProcAddress(library, "DeleteService"), nullptr);
  EXPECT_NE(GetProcAddress(library, "OpenServiceA"), nullptr);
  FreeLibrary(library);
}

TEST_F(EmulationTest, PortInstructionsReachTheSelectedIoSpace) {
  EXPECT_EQ(InPortByte(0x379), 0xFF);  // nothing written: floating bus
  OutPortByte(0x378, 0x5A);
  EXPECT_EQ(InPortByte(0x378), 0x5A);

  class TRecordingSpace : public emulation::TIoSpace {
   public:
    BYTE In(WORD port) override { return BYTE(port); }
    void Out(WORD port, BYTE value) override { Last = (port << 8) | value; }
    unsigned Last = 0;
  };
  auto space = std::make_shared<TRecordingSpace>();
  emulation::SelectIoSpace(space);
  EXPECT_EQ(InPortByte(0x3BD), 0xBD);
  OutPortByte(0x27A, 0x0C);
  EXPECT_EQ(space->Last, 0x27A0Cu);
  emulation::Reset();
  EXPECT_EQ(InPortByte(0x378), 0xFF);
}

}  // namespace
