// LPTIO: the program's one connection to the parallel-port hardware.
#pragma once

#include "wintypes.h"

#include <array>
#include <string>

// A port register named by one byte: port prefix OR register offset.
using PortAddress = BYTE;

constexpr BYTE PortLpt1 = 0x10;
constexpr BYTE PortLpt2 = 0x20;
constexpr BYTE PortLpt3 = 0x30;

constexpr BYTE RegData = 0;
constexpr BYTE RegStatus = 1;
constexpr BYTE RegControl = 2;

// Device control codes of the Windows form: device type 0x22, buffered, any access.
constexpr DWORD LptCtlCode(DWORD function) { return (0x22u << 16) | (function << 2); }
constexpr DWORD IoctlRead = LptCtlCode(0x14);
constexpr DWORD IoctlWrite = LptCtlCode(0x18);
static_assert(IoctlRead == 0x220050 && IoctlWrite == 0x220060);

constexpr const char* DevicePath = "\\\\.\\LptAccessAgent";
constexpr DWORD ScManagerAccess = 0xF003F;
constexpr DWORD ServiceAccess = 0xF01FF;
constexpr const char* ServiceName = "lptwdmio";
constexpr const char* ServiceDisplayName = "LPT port direct access service";

// One {address, value} record of a batch; a batch is a plain array of them
// serving as both input and output of a transfer.
struct PortIoPair {
  ::PortAddress PortAddress;
  BYTE Value;
};
static_assert(sizeof(PortIoPair) == 2, "a pair is two bytes on the wire");

// What the driver says about one port.
struct TLptPortReport {
  bool Present = false;
  bool Simulated = false;  // the driver's simulation, not hardware
  WORD Base = 0;           // the port's I/O base; 0 when the driver does not know it
  bool Held = false;       // another program holds it now
  bool Loopback = false;   // simulated, its inputs wired to D0-D4 by a loopback plug
  BYTE SystemNumber = 0;   // n of the system's own name for it (Windows' LPTn); 0 when none
  DWORD Holder = 0;        // the process holding it, when held and the system can tell
  bool Interrupt = false;  // the system delivers its interrupt: WaitInterrupt serves it
  friend bool operator==(const TLptPortReport&, const TLptPortReport&) = default;
};
// LPT1, LPT2, LPT3, in that order.
using TLptPortReports = std::array<TLptPortReport, 3>;

// What the device at the far end of a simulated port's cable drives on the
// five status inputs: ERR, SEL, PE, ACK, BUSY in bits 0-4, as levels at the
// pins. A line not driven floats high.
struct TLptFarSide {
  BYTE Driven = 0;
  BYTE Levels = 0;
  friend bool operator==(const TLptFarSide&, const TLptFarSide&) = default;
};

struct TLptConnectionOptions {
  // The window's presence test, which writes patterns to every port's data
  // register. Without it presence comes from the driver's port query and
  // opening writes nothing: what a tool that only looks must do.
  bool EchoProbe = true;
  // The folder of LPTWDMIO.SYS (UTF-8) with its trailing separator; empty:
  // the executable's folder.
  std::string DriverFolder;
};

// The path of LPTWDMIO.SYS in driverFolder (UTF-8, with its trailing
// separator; empty: the executable's folder) as the service manager takes
// it: in the system's ANSI code page, through the folder's short (8.3) name
// when its own name has characters outside that code page. Empty when there
// is none: the folder has no short name (8.3 names are off on its volume),
// or the system cannot say where the executable lies.
std::string DriverServicePath(const std::string& driverFolder);

// What a process can learn of its system's family. The version query answers
// as a compatibility mode tells it to: an NT system running the program as
// "Windows 98" reports platform 1. What ntdll.dll is (mapped into every NT
// process, never into a 9x one; which names it exports) no compatibility
// mode changes, and nor do the version numbers ntdll holds itself.
struct TPlatformEvidence {
  bool VersionAnswered = false;  // GetVersionExA succeeded...
  DWORD VersionPlatform = 0;     // ...with this platform id
  bool NtdllMapped = false;
  bool HasNtVersionNumbers = false;  // ntdll exports RtlGetNtVersionNumbers (XP and later)...
  DWORD NtMajorVersion = 0;          // ...and the major version it gives
  bool HasRtlGetVersion = false;     // ntdll exports RtlGetVersion (2000 and later)
};

// Whether the system is of the NT family, where port instructions fault and
// the driver is the only way to the ports. A failed version query counts as
// NT: the direct path's crash is the worse mistake.
bool IsNtFamily(const TPlatformEvidence& evidence);

class TLptPortConnection {
 public:
  // Never fails; IsUsable tells the outcome. When not usable, the thread's
  // last error holds the code of the final device-open attempt, or
  // ERROR_BUSY when, with the echo probe, the driver said every port it has
  // is held by another program.
  TLptPortConnection();
  explicit TLptPortConnection(const TLptConnectionOptions& options);
  virtual ~TLptPortConnection();
  TLptPortConnection(const TLptPortConnection&) = delete;
  TLptPortConnection& operator=(const TLptPortConnection&) = delete;

  bool IsUsable() const;
  bool Lpt1Present() const { return FLpt1Present; }
  bool Lpt2Present() const { return FLpt2Present; }
  bool Lpt3Present() const { return FLpt3Present; }
  // True when the driver had to be started but its folder's name could not
  // be handed to the service manager (see DriverServicePath): the failed
  // open's code alone (2) would not say why.
  bool DriverFolderNotAnsi() const { return FDriverFolderNotAnsi; }

  // Batch transfers; on failure the reason is in GetLastError (except when
  // the connection is not usable, which touches nothing).
  bool ReadPairs(PortIoPair* pairs, DWORD count);
  bool WritePairs(PortIoPair* pairs, DWORD count);
  BYTE ReadRegister(BYTE port, BYTE offset);
  bool WriteRegister(BYTE port, BYTE offset, BYTE value);

  // The echo test on the data register, then the looser looks at control
  // and status. A data register that cannot be read is never written.
  bool ProbePort(BYTE port);

  // Asks the driver which ports it serves, whether they are simulated and
  // where they lie. False, with reports untouched, when there is no driver
  // (the connection is not usable, or takes the direct path; nothing is
  // asked) or the driver does not answer, an older one for instance (the
  // reason is then in GetLastError).
  bool QueryPorts(TLptPortReports& reports);

  // The far side of a simulated port's cable: sets it when change is true,
  // and reads it back into side. Holds nothing. False, with the reason in
  // GetLastError, for a port that is not simulated or whose inputs follow a
  // loopback plug (ERROR_NOT_SUPPORTED), or without a driver.
  bool SimulatedInputs(BYTE port, TLptFarSide& side, bool change);

  // Sleeps at most timeoutMs (up to 1000) for the port's interrupt, then
  // sets count to how many came since the last call, which clears them (0
  // ms only does that). Holds the port, as a transfer does. False, with the
  // reason in GetLastError, for a port whose report has no Interrupt
  // (ERROR_NOT_SUPPORTED, also without a driver) or a timeout over the
  // bound (ERROR_INVALID_PARAMETER).
  bool WaitInterrupt(BYTE port, DWORD timeoutMs, DWORD& count);

 private:
  using TOpenSCManagerA = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  using TCloseServiceHandle = BOOL(WINAPI*)(SC_HANDLE);
  using TCreateServiceA = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR,
                                             LPCSTR, LPDWORD, LPCSTR, LPCSTR, LPCSTR);
  using TStartServiceA = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPCSTR*);
  using TOpenServiceA = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, DWORD);
  using TDeleteService = BOOL(WINAPI*)(SC_HANDLE);

  struct TServiceProcs {
    TOpenSCManagerA OpenSCManagerA = nullptr;
    TCloseServiceHandle CloseServiceHandle = nullptr;
    TCreateServiceA CreateServiceA = nullptr;
    TStartServiceA StartServiceA = nullptr;
    TOpenServiceA OpenServiceA = nullptr;
    TDeleteService DeleteService = nullptr;
  };

  HANDLE OpenDevice();
  void FindPorts(bool echoProbe);
  void BootstrapDriver(const std::string& driverFolder);
  bool ResolveServiceProcs();
  void StartDriverService(SC_HANDLE manager, const std::string& driverFolder);
  void DeleteDriverService();
  bool AcceptBatch(const PortIoPair* pairs, DWORD count);
  bool DriverRequest(DWORD code, PortIoPair* pairs, DWORD count);
  static WORD DirectPortBase(PortAddress address);
  static WORD DirectPortAddress(PortAddress address);
  BYTE PortIn(WORD address);
  void PortOut(WORD address, BYTE value);

  HANDLE DeviceHandle = nullptr;
  bool IsNt = false;
  bool StartedService = false;
  HMODULE ServiceLibrary = nullptr;
  std::string DriverPath;
  LPCSTR StartArgVector = nullptr;
  TServiceProcs Procs;
  bool FLpt1Present = false;
  bool FLpt2Present = false;
  bool FLpt3Present = false;
  bool FDriverFolderNotAnsi = false;
};
