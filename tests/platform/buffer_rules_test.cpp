// The emulation at the edges of its buffer, handle and name rules.
#include "emulation_control.h"
#include "winapi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class EdgeTest : public ::testing::Test {
 protected:
  void SetUp() override { emulation::Reset(); }
  void TearDown() override { emulation::Reset(); }
};

// ---- GetModuleFileNameA: a result that fits, one that just fits, cut ones ----

struct TNameCase {
  const char* Name;
  int Slack;  // buffer size = path length + Slack (0 stands for a zero size)
  bool ZeroSize;
};

TEST_F(EdgeTest, ModuleFileNameAtEverySizeAroundThePathLength) {
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  const DWORD length = static_cast<DWORD>(exe.size());
  const TNameCase cases[] = {
      {"two spare", 2, false},  {"room for the terminator", 1, false}, {"exactly the length", 0, false},
      {"one short", -1, false}, {"one byte", 1 - int(length), false},  {"zero", 0, true}};
  for (const TNameCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const DWORD size = c.ZeroSize ? 0 : DWORD(int(length) + c.Slack);
    std::string buffer(length + 8, '#');
    SetLastError(ERROR_BUSY);
    const DWORD result = GetModuleFileNameA(nullptr, buffer.data(), size);
    const bool fits = size > length;
    EXPECT_EQ(GetLastError(), fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
    // A cut result fills the buffer: size - 1 characters, a terminator, and
    // the size as the result.
    EXPECT_EQ(result, fits ? length : size);
    const DWORD kept = fits ? length : (size ? size - 1 : 0);
    EXPECT_EQ(buffer.substr(0, kept), exe.substr(0, kept));
    if (size > 0) {
      EXPECT_EQ(buffer[kept], '\0');
    }
    EXPECT_EQ(buffer.find_first_not_of('#', size), std::string::npos) << "written past the size";
  }
}

TEST_F(EdgeTest, ModuleFileNameRefusesAMissingBufferOrAnotherModule) {
  for (DWORD size : {1u, 10u}) {
    EXPECT_EQ(GetModuleFileNameA(nullptr, nullptr, size), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(GetModuleFileNameA(nullptr, nullptr, 0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char buffer[64];
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1000), buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

// ---- Wide paths and code pages: what reaches the ANSI code page and back ----

TEST_F(EdgeTest, AnsiCodePageKeepsWhatItHasAndMarksTheRest) {
  struct TCase {
    UINT AnsiCodePage;
    std::u16string Text;
    std::string Bytes;
    bool Lossy;  // a character outside the code page became the default
  };
  const TCase cases[] = {
      {1252, u"Caf\u00e9 \u20ac", "Caf\xE9 \x80", false},
      {1252, u"\u041f\u0438", "??", true},
      {CP_UTF8, u"\u041f \U0001F600", "\xD0\x9F \xF0\x9F\x98\x80", false},
      {CP_UTF8, std::u16string(1, char16_t(0xD800)), "\xEF\xBF\xBD", true},  // a half pair
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Bytes);
    emulation::SetAnsiCodePage(c.AnsiCodePage);
    const int length = int(c.Text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, c.Text.data(), length, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(size, int(c.Bytes.size()));
    std::string bytes(std::size_t(size) + 1, '#');
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.Text.data(), length, bytes.data(), size - 1, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.Text.data(), length, bytes.data(), size, nullptr, nullptr),
              size);
    EXPECT_EQ(bytes, c.Bytes + "#");
    BOOL lossy = FALSE;
    if (c.AnsiCodePage == CP_UTF8) {
      // Only the single-byte code pages report a lossy conversion.
      EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.Text.data(), length, nullptr, 0, nullptr, &lossy), 0);
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    } else {
      WideCharToMultiByte(CP_ACP, 0, c.Text.data(), length, nullptr, 0, nullptr, &lossy);
      EXPECT_EQ(lossy != FALSE, c.Lossy);
    }
    // The way back, with its terminating zero (-1): only a lossless text returns.
    std::u16string back(c.Text.size() + 1, u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, c.Bytes.c_str(), -1, back.data(), int(back.size())),
              int(back.size()));
    EXPECT_EQ(back == c.Text + u'\0', !c.Lossy);
  }
}

TEST_F(EdgeTest, OnlyTheServiceLibraryLoadsNotItsNearNames) {
  for (const char* name : {"ADVAPI3", "ADVAPI32.DL", "ADVAPI32.DLLX", "XADVAPI32.DLL", "ADVAPI32 ", ""}) {
    EXPECT_EQ(LoadLibraryA(name), nullptr) << '"' << name << '"';
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  }
}

// ---- DeviceIoControl: buffers, lengths and the byte count ----

struct TSeen {
  int Calls = 0;
  const void* In = nullptr;
  DWORD InLength = 0;
  void* Out = nullptr;
  DWORD OutLength = 0;
};

class IoControlTest : public EdgeTest {
 protected:
  void SetUp() override {
    EdgeTest::SetUp();
    emulation::TEmulatedDevice device;
    device.Control = [this](void*, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                            DWORD* returned) {
      Seen = {Seen.Calls + 1, in, inLength, out, outLength};
      *returned = DeviceCount;
      return code;  // the request's code is the device's answer
    };
    emulation::RegisterDevice("Edge", std::move(device));
    Device = CreateFileA(R"(\\.\Edge)", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Device, INVALID_HANDLE_VALUE);
  }

  TSeen Seen;
  DWORD DeviceCount = 0;
  HANDLE Device = INVALID_HANDLE_VALUE;
};

constexpr DWORD Untouched = 0xA5A5A5A5;

struct TIoCase {
  const char* Name;
  bool InBuffer;
  DWORD InLength;
  bool OutBuffer;
  DWORD OutLength;
  bool Shared;
  bool Count;
  bool Overlapped;
  DWORD Error;  // ERROR_SUCCESS: the call reaches the device
};

TEST_F(IoControlTest, MalformedCallsNeverReachTheDeviceAndOthersPassUnchanged) {
  const TIoCase cases[] = {
      {"no buffers, no lengths", false, 0, false, 0, false, true, false, ERROR_SUCCESS},
      {"buffers of length zero", true, 0, true, 0, false, true, false, ERROR_SUCCESS},
      {"odd lengths", true, 3, true, 5, false, true, false, ERROR_SUCCESS},
      {"one shared buffer", true, 6, true, 6, true, true, false, ERROR_SUCCESS},
      {"input length without a buffer", false, 1, true, 2, false, true, false, ERROR_INVALID_PARAMETER},
      {"output length without a buffer", true, 2, false, 1, false, true, false, ERROR_INVALID_PARAMETER},
      {"no byte count", true, 2, true, 2, false, false, false, ERROR_INVALID_PARAMETER},
      {"an overlapped record", true, 2, true, 2, false, true, true, ERROR_INVALID_PARAMETER},
  };
  for (const TIoCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<BYTE> in(8, 0x11), out(8, 0x22);
    OVERLAPPED overlapped{};
    BYTE* inPointer = c.InBuffer ? in.data() : nullptr;
    BYTE* outPointer = c.Shared ? inPointer : c.OutBuffer ? out.data() : nullptr;
    DWORD returned = Untouched;
    Seen = {};
    DeviceCount = c.InLength;
    const BOOL ok = DeviceIoControl(Device, ERROR_SUCCESS, inPointer, c.InLength, outPointer, c.OutLength,
                                    c.Count ? &returned : nullptr, c.Overlapped ? &overlapped : nullptr);
    EXPECT_EQ(ok, c.Error == ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), c.Error);
    if (c.Error != ERROR_SUCCESS) {
      EXPECT_EQ(Seen.Calls, 0);
      EXPECT_EQ(returned, Untouched);
      continue;
    }
    EXPECT_EQ(Seen.Calls, 1);
    EXPECT_EQ(Seen.In, inPointer);
    EXPECT_EQ(Seen.InLength, c.InLength);
    EXPECT_EQ(Seen.Out, outPointer);
    EXPECT_EQ(Seen.OutLength, c.OutLength);
    EXPECT_EQ(returned, c.InLength);
  }
}

TEST_F(IoControlTest, ARefusedRequestReportsTheDevicesCount) {
  BYTE buffer[4] = {};
  DWORD returned = Untouched;
  EXPECT_FALSE(DeviceIoControl(Device, ERROR_IO_DEVICE, buffer, 4, buffer, 4, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_EQ(returned, 0u);
  DeviceCount = 2;  // a partial transfer, as ERROR_MORE_DATA reports one
  EXPECT_FALSE(DeviceIoControl(Device, ERROR_IO_DEVICE, buffer, 4, buffer, 4, &returned, nullptr));
  EXPECT_EQ(returned, 2u);
}

// ---- the handle table: values, neighbours, kinds ----

TEST_F(IoControlTest, OnlyTheExactHandleOfTheRightKindIsAccepted) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  HANDLE closed = CreateFileA(R"(\\.\Edge)", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(CloseHandle(closed));
  const auto value = reinterpret_cast<std::uintptr_t>(Device);
  const HANDLE wrong[] = {reinterpret_cast<HANDLE>(value + 1),
                          reinterpret_cast<HANDLE>(value - 1),
                          reinterpret_cast<HANDLE>(value + 64),
                          closed,
                          nullptr,
                          INVALID_HANDLE_VALUE,
                          reinterpret_cast<HANDLE>(manager)};
  for (HANDLE handle : wrong) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(handle));
    BYTE buffer[2] = {};
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(handle, ERROR_SUCCESS, buffer, 2, buffer, 2, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(Seen.Calls, 0);
  // Service calls refuse a device handle, and a manager where a service belongs.
  const auto device = reinterpret_cast<SC_HANDLE>(Device);
  EXPECT_FALSE(CloseServiceHandle(device));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenServiceA(device, "edge", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(StartServiceA(manager, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DeleteService(manager));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseServiceHandle(manager));
  EXPECT_TRUE(CloseHandle(Device));
}

TEST_F(EdgeTest, HandleValuesAreMultiplesOfFourAndNeverReused) {
  emulation::RegisterDevice("Edge", {});
  std::vector<std::uintptr_t> seen;
  for (int i = 0; i < 6; ++i) {
    HANDLE handle = CreateFileA(R"(\\.\Edge)", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    EXPECT_NE(value, 0u);
    EXPECT_EQ(value % 4, 0u);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), value), 0);
    seen.push_back(value);
    if (i % 2) CloseHandle(handle);  // a freed value must not come back
  }
  EXPECT_EQ(emulation::OpenHandleCount(), 3u);
}

// ---- service names ----

TEST_F(EdgeTest, ServiceNamesUpTo256CharactersWithoutSlashes) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  const std::string longest(256, 's'), tooLong(257, 't');
  struct TCase {
    const char* Label;
    const char* Name;
    DWORD Error;
  } cases[] = {{"empty", "", ERROR_INVALID_NAME},
               {"null", nullptr, ERROR_INVALID_NAME},
               {"256 characters", longest.c_str(), ERROR_SUCCESS},
               {"257 characters", tooLong.c_str(), ERROR_INVALID_NAME},
               {"one character", "x", ERROR_SUCCESS},
               {"a space inside", "two words", ERROR_SUCCESS},
               {"leading slash", "/svc", ERROR_INVALID_NAME},
               {"trailing backslash", "svc\\", ERROR_INVALID_NAME},
               {"slash inside", "a/b", ERROR_INVALID_NAME}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    SC_HANDLE service = CreateServiceA(manager, c.Name, nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "/x/LPTWDMIO.SYS", nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(service != nullptr, c.Error == ERROR_SUCCESS);
    if (!service) {
      EXPECT_EQ(GetLastError(), c.Error);
      EXPECT_EQ(OpenServiceA(manager, c.Name, SERVICE_ALL_ACCESS), nullptr);
      EXPECT_EQ(GetLastError(), c.Error);
      continue;
    }
    CloseServiceHandle(service);
    ASSERT_TRUE(emulation::Service(c.Name));
    EXPECT_EQ(emulation::Service(c.Name)->DisplayName, c.Name);  // no display name: the service name
    SC_HANDLE again = OpenServiceA(manager, c.Name, SERVICE_ALL_ACCESS);
    EXPECT_NE(again, nullptr);
    CloseServiceHandle(again);
  }
  CloseServiceHandle(manager);
}

TEST_F(EdgeTest, AServiceNeedsABinaryPath) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(
        CreateServiceA(manager, "svc", "svc", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                       SERVICE_ERROR_NORMAL, path, nullptr, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_FALSE(emulation::Service("svc"));
  CloseServiceHandle(manager);
}

}  // namespace
