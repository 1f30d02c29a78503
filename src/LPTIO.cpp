#include "LPTIO.h"

#include "request_rules.h"
#include "winapi.h"

#include <algorithm>
#include <optional>

static_assert(IoctlRead == lptwdmio::IoctlBatchRead && IoctlWrite == lptwdmio::IoctlBatchWrite);

namespace {

constexpr const char* DriverFileName = "LPTWDMIO.SYS";
constexpr const char* ServiceLibraryName = "ADVAPI32.DLL";

// The largest batch whose byte length (2n) still fits a DWORD.
constexpr DWORD MaxBatchPairs = 0x7FFFFFFF;

// Long enough for any path Windows hands out.
constexpr DWORD MaxModulePath = 32768;

constexpr BYTE EchoPatterns[] = {0x00, 0x55, 0xAA};

using TWideString = std::basic_string<WCHAR>;

// The folder of the running executable with its trailing separator, from
// GetModuleFileNameA or GetModuleFileNameW, or nothing when the system cannot
// say where it lies.
template <typename Char, typename Query>
std::optional<std::basic_string<Char>> ExecutableFolder(Query query) {
  std::basic_string<Char> path(MAX_PATH, Char(0));
  for (;;) {
    const DWORD length = query(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= MaxModulePath) return std::nullopt;
    path.resize(path.size() * 2);
  }
  const auto separator =
      std::find_if(path.rbegin(), path.rend(), [](Char c) { return c == Char('\\') || c == Char('/'); });
  if (separator == path.rend()) return std::nullopt;
  path.erase(separator.base(), path.end());
  return path;
}

TWideString Widened(UINT codePage, const std::string& text) {
  const int length = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
  TWideString wide(std::size_t(std::max(length, 0)), WCHAR(0));
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

// The text in the system's ANSI code page, when that has every character of
// it: a character outside it comes back as '?' or a look-alike, so the text
// must survive the way back unchanged.
std::optional<std::string> InAnsi(const TWideString& text) {
  if (text.empty()) return std::nullopt;
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string ansi(std::size_t(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), ansi.data(), length, nullptr, nullptr);
  if (Widened(CP_ACP, ansi) != text) return std::nullopt;
  return ansi;
}

// The path's short (8.3) form; empty when the system gives none.
TWideString ShortForm(const TWideString& path) {
  const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (size == 0) return {};
  TWideString shorter(size, WCHAR(0));
  const DWORD length = GetShortPathNameW(path.c_str(), shorter.data(), size);
  if (length == 0 || length >= size) return {};
  shorter.resize(length);
  return shorter;
}

template <typename T>
T ResolveProc(HMODULE library, const char* name) {
  // Through the generic function pointer type, which converts to any other
  // without the compiler objecting.
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// Both rails are what an absent port or an unusable connection reads.
bool IsRailValue(BYTE value) { return value == 0x00 || value == 0xFF; }

// Every port the driver has is held by another program: the window would
// open with no port at all, so the connection is refused as busy instead.
bool AllHeld(const TLptPortReports& reports) {
  bool any = false;
  for (const TLptPortReport& report : reports) {
    if (report.Present && !report.Held) return false;
    any = any || report.Present;
  }
  return any;
}

using TRtlGetNtVersionNumbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);

// The version query, and when it answers 9x, what ntdll says: only a
// compatibility mode makes an NT system answer so.
TPlatformEvidence PlatformEvidence() {
  TPlatformEvidence evidence;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  evidence.VersionAnswered = GetVersionExA(&version) != FALSE;
  evidence.VersionPlatform = version.dwPlatformId;
  if (!evidence.VersionAnswered || version.dwPlatformId == VER_PLATFORM_WIN32_NT) return evidence;
  // Looked up, never loaded: loading a DLL of that name on 9x would prove nothing.
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  evidence.NtdllMapped = ntdll != nullptr;
  if (!ntdll) return evidence;
  if (const auto numbers = ResolveProc<TRtlGetNtVersionNumbers>(ntdll, "RtlGetNtVersionNumbers")) {
    DWORD minor = 0, build = 0;
    numbers(&evidence.NtMajorVersion, &minor, &build);
    evidence.HasNtVersionNumbers = true;
  }
  evidence.HasRtlGetVersion = GetProcAddress(ntdll, "RtlGetVersion") != nullptr;
  return evidence;
}

}  // namespace

bool IsNtFamily(const TPlatformEvidence& evidence) {
  if (!evidence.VersionAnswered || evidence.VersionPlatform == VER_PLATFORM_WIN32_NT) return true;
  // 95, 98 and ME map no ntdll.dll; NT 4 and older, which have one, have no
  // compatibility modes either, so their version query is the truth.
  if (!evidence.NtdllMapped) return false;
  // XP and later: ntdll's own numbers. Below 5 only a system that presents
  // itself as 9x throughout gives (Wine set to win98 does).
  if (evidence.HasNtVersionNumbers) return evidence.NtMajorVersion >= 5;
  // 2000: its RtlGetVersion reports what the compatibility mode sets, but no
  // 9x ntdll exports it at all.
  return evidence.HasRtlGetVersion;
}

// The service manager takes an ANSI path. The ANSI name is taken as it is
// when it names what the wide name does (on Windows a character outside the
// code page became '?' or a look-alike in it; elsewhere it holds the very
// bytes of the name), else the name in the ANSI code page, else the short
// name's. With none there is no path at all: a relative one would depend on
// the working directory.
std::string DriverServicePath(const std::string& driverFolder) {
  const bool own = driverFolder.empty();
  const std::optional<std::string> ansi = own ? ExecutableFolder<char>(GetModuleFileNameA) : driverFolder;
  const std::optional<TWideString> wide =
      own ? ExecutableFolder<WCHAR>(GetModuleFileNameW) : Widened(CP_UTF8, driverFolder);
  if (!ansi || !wide) return {};
  std::optional<std::string> path;
  if (Widened(CP_ACP, *ansi) == *wide) path = ansi;
  if (!path) path = InAnsi(*wide);
  if (!path) path = InAnsi(ShortForm(*wide));
  return path ? *path + DriverFileName : std::string();
}

TLptPortConnection::TLptPortConnection() : TLptPortConnection(TLptConnectionOptions{}) {}

TLptPortConnection::TLptPortConnection(const TLptConnectionOptions& options) {
  DeviceHandle = INVALID_HANDLE_VALUE;
  StartedService = false;
  ServiceLibrary = nullptr;

  IsNt = IsNtFamily(PlatformEvidence());

  DeviceHandle = OpenDevice();
  if (DeviceHandle == INVALID_HANDLE_VALUE && IsNt) {
    BootstrapDriver(options.DriverFolder);
    DeviceHandle = OpenDevice();
  }
  if (IsUsable()) FindPorts(options.EchoProbe);
}

void TLptPortConnection::FindPorts(bool echoProbe) {
  TLptPortReports reports;
  const bool answered = QueryPorts(reports);
  if (answered && echoProbe && AllHeld(reports)) {
    CloseHandle(DeviceHandle);
    DeviceHandle = INVALID_HANDLE_VALUE;
    SetLastError(ERROR_BUSY);
    return;
  }
  if (echoProbe || !answered) {
    // Without a driver to ask (the direct path), a tool takes what the probe finds.
    FLpt1Present = ProbePort(PortLpt1);
    FLpt2Present = ProbePort(PortLpt2);
    FLpt3Present = ProbePort(PortLpt3);
    return;
  }
  FLpt1Present = reports[0].Present;
  FLpt2Present = reports[1].Present;
  FLpt3Present = reports[2].Present;
}

TLptPortConnection::~TLptPortConnection() {
  if (DeviceHandle != INVALID_HANDLE_VALUE) CloseHandle(DeviceHandle);
  if (StartedService && IsNt && ServiceLibrary) DeleteDriverService();
  if (ServiceLibrary) FreeLibrary(ServiceLibrary);
}

bool TLptPortConnection::IsUsable() const { return !(DeviceHandle == INVALID_HANDLE_VALUE && IsNt); }

HANDLE TLptPortConnection::OpenDevice() {
  SetLastError(0);
  return CreateFileA(DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void TLptPortConnection::BootstrapDriver(const std::string& driverFolder) {
  ServiceLibrary = LoadLibraryA(ServiceLibraryName);
  if (!ServiceLibrary || !ResolveServiceProcs()) return;
  SC_HANDLE manager = Procs.OpenSCManagerA(nullptr, nullptr, ScManagerAccess);
  if (!manager) return;
  StartDriverService(manager, driverFolder);
  Procs.CloseServiceHandle(manager);
}

bool TLptPortConnection::ResolveServiceProcs() {
  Procs.OpenSCManagerA = ResolveProc<TOpenSCManagerA>(ServiceLibrary, "OpenSCManagerA");
  Procs.CloseServiceHandle = ResolveProc<TCloseServiceHandle>(ServiceLibrary, "CloseServiceHandle");
  Procs.CreateServiceA = ResolveProc<TCreateServiceA>(ServiceLibrary, "CreateServiceA");
  Procs.StartServiceA = ResolveProc<TStartServiceA>(ServiceLibrary, "StartServiceA");
  Procs.OpenServiceA = ResolveProc<TOpenServiceA>(ServiceLibrary, "OpenServiceA");
  Procs.DeleteService = ResolveProc<TDeleteService>(ServiceLibrary, "DeleteService");
  return Procs.OpenSCManagerA && Procs.CloseServiceHandle && Procs.CreateServiceA && Procs.StartServiceA &&
         Procs.OpenServiceA && Procs.DeleteService;
}

void TLptPortConnection::StartDriverService(SC_HANDLE manager, const std::string& driverFolder) {
  DriverPath = DriverServicePath(driverFolder);
  if (DriverPath.empty()) {
    FDriverFolderNotAnsi = true;
    return;
  }
  SC_HANDLE service = Procs.CreateServiceA(manager, ServiceName, ServiceDisplayName, ServiceAccess,
                                           SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                           DriverPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!service) service = Procs.OpenServiceA(manager, ServiceName, ServiceAccess);
  if (!service) return;
  StartArgVector = nullptr;
  Procs.StartServiceA(service, 0, &StartArgVector);
  StartedService = true;
  Procs.CloseServiceHandle(service);
}

// Deletes the entry only; the driver is never asked to stop.
void TLptPortConnection::DeleteDriverService() {
  SC_HANDLE manager = Procs.OpenSCManagerA(nullptr, nullptr, ScManagerAccess);
  if (!manager) return;
  if (SC_HANDLE service = Procs.OpenServiceA(manager, ServiceName, ServiceAccess)) {
    Procs.DeleteService(service);
    Procs.CloseServiceHandle(service);
  }
  Procs.CloseServiceHandle(manager);
}

bool TLptPortConnection::AcceptBatch(const PortIoPair* pairs, DWORD count) {
  if (!IsUsable()) return false;
  if (!pairs || count == 0 || count > MaxBatchPairs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

// One request for the whole batch, the array as both input and output; the
// last error, cleared first, is the verdict.
bool TLptPortConnection::DriverRequest(DWORD code, PortIoPair* pairs, DWORD count) {
  const DWORD length = count * DWORD(sizeof(PortIoPair));
  DWORD returned = 0;
  SetLastError(0);
  DeviceIoControl(DeviceHandle, code, pairs, length, pairs, length, &returned, nullptr);
  return GetLastError() == 0;
}

bool TLptPortConnection::ReadPairs(PortIoPair* pairs, DWORD count) {
  if (!AcceptBatch(pairs, count)) return false;
  if (DeviceHandle != INVALID_HANDLE_VALUE) return DriverRequest(IoctlRead, pairs, count);
  for (DWORD i = 0; i < count; ++i) pairs[i].Value = PortIn(DirectPortAddress(pairs[i].PortAddress));
  return true;
}

bool TLptPortConnection::WritePairs(PortIoPair* pairs, DWORD count) {
  if (!AcceptBatch(pairs, count)) return false;
  if (DeviceHandle != INVALID_HANDLE_VALUE) return DriverRequest(IoctlWrite, pairs, count);
  for (DWORD i = 0; i < count; ++i) PortOut(DirectPortAddress(pairs[i].PortAddress), pairs[i].Value);
  return true;
}

BYTE TLptPortConnection::ReadRegister(BYTE port, BYTE offset) {
  PortIoPair pair{BYTE(port | offset), 0};
  ReadPairs(&pair, 1);
  return pair.Value;
}

bool TLptPortConnection::WriteRegister(BYTE port, BYTE offset, BYTE value) {
  PortIoPair pair{BYTE(port | offset), value};
  return WritePairs(&pair, 1);
}

bool TLptPortConnection::ProbePort(BYTE port) {
  PortIoPair saved{BYTE(port | RegData), 0};
  // A byte that was never read is never written back: when the first read
  // fails (a port another program holds), the data register is left alone.
  if (ReadPairs(&saved, 1)) {
    bool echoes = true;
    // Every pattern is written even after a failed echo, so the traffic of a
    // probe does not depend on where it failed.
    for (BYTE pattern : EchoPatterns) {
      WriteRegister(port, RegData, pattern);
      if (echoes) echoes = ReadRegister(port, RegData) == pattern;
    }
    WriteRegister(port, RegData, saved.Value);
    if (echoes) return true;
  }
  if (!IsRailValue(ReadRegister(port, RegControl))) return true;
  return !IsRailValue(ReadRegister(port, RegStatus));
}

// The reply is little-endian on the wire whatever the host's byte order.
bool TLptPortConnection::QueryPorts(TLptPortReports& reports) {
  if (DeviceHandle == INVALID_HANDLE_VALUE) return false;
  constexpr DWORD EntrySize = sizeof(lptwdmio::TPortQueryEntry);
  BYTE reply[sizeof(lptwdmio::TPortQueryReply)] = {};
  DWORD returned = 0;
  SetLastError(0);
  DeviceIoControl(DeviceHandle, lptwdmio::IoctlQueryPorts, nullptr, 0, reply, sizeof reply, &returned,
                  nullptr);
  if (GetLastError() != 0) return false;
  if (returned != sizeof reply) {
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
  for (std::size_t slot = 0; slot < reports.size(); ++slot) {
    const BYTE* entry = reply + slot * EntrySize;
    const BYTE flags = entry[0];
    TLptPortReport& report = reports[slot];
    report.Present = (flags & lptwdmio::PortPresent) != 0;
    report.Simulated = (flags & lptwdmio::PortSimulated) != 0;
    report.Base = (flags & lptwdmio::PortBaseKnown) ? WORD(entry[2] | (entry[3] << 8)) : WORD(0);
    report.Held = (flags & lptwdmio::PortHeld) != 0;
    report.Loopback = (flags & lptwdmio::PortLoopback) != 0;
    report.Interrupt = (flags & lptwdmio::PortInterrupt) != 0;
    report.SystemNumber = entry[1];
    report.Holder =
        report.Held ? DWORD(entry[4] | (entry[5] << 8) | (entry[6] << 16) | (DWORD(entry[7]) << 24)) : 0;
  }
  return true;
}

bool TLptPortConnection::SimulatedInputs(BYTE port, TLptFarSide& side, bool change) {
  if (!IsUsable()) return false;
  if (DeviceHandle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_NOT_SUPPORTED);  // the direct path has no simulation
    return false;
  }
  BYTE record[sizeof(lptwdmio::TSimulatedInputs)] = {BYTE(lptwdmio::SlotOfAddress(port)),
                                                     BYTE(change ? 1 : 0), side.Driven, side.Levels};
  DWORD returned = 0;
  SetLastError(0);
  DeviceIoControl(DeviceHandle, lptwdmio::IoctlSimulatedInputs, record, sizeof record, record, sizeof record,
                  &returned, nullptr);
  if (GetLastError() != 0) return false;
  side = {record[2], record[3]};
  return true;
}

bool TLptPortConnection::WaitInterrupt(BYTE port, DWORD timeoutMs, DWORD& count) {
  if (!IsUsable()) return false;
  if (DeviceHandle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_NOT_SUPPORTED);  // the direct path has no interrupt to wait on
    return false;
  }
  if (timeoutMs > lptwdmio::MaxInterruptWaitMs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  BYTE record[sizeof(lptwdmio::TInterruptWait)] = {BYTE(lptwdmio::SlotOfAddress(port)), 0, BYTE(timeoutMs),
                                                   BYTE(timeoutMs >> 8)};
  BYTE reply[4] = {};
  DWORD returned = 0;
  SetLastError(0);
  DeviceIoControl(DeviceHandle, lptwdmio::IoctlInterruptWait, record, sizeof record, reply, sizeof reply,
                  &returned, nullptr);
  if (GetLastError() != 0) return false;
  count = DWORD(reply[0] | (reply[1] << 8) | (reply[2] << 16) | (DWORD(reply[3]) << 24));
  return true;
}

WORD TLptPortConnection::DirectPortBase(PortAddress address) {
  switch (address >> 4) {
    case 1: return 0x3BC;
    case 2: return 0x378;
    default: return 0x278;
  }
}

WORD TLptPortConnection::DirectPortAddress(PortAddress address) {
  return WORD(DirectPortBase(address) + (address & 7));
}

BYTE TLptPortConnection::PortIn(WORD address) { return InPortByte(address); }

void TLptPortConnection::PortOut(WORD address, BYTE value) { OutPortByte(address, value); }
