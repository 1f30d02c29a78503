// Control of the emulated system services, for tests and hardware rigs only.
// Production code talks to winapi.h and never includes this header.
#pragma once

#include "winapi.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace emulation {

// NtAsWin98: an NT system running the program in its "Windows 98"
// compatibility mode, whose version query answers as Windows 98 while ntdll
// is mapped and tells its own version.
enum class TPlatformFamily { Nt, Win9x, NtAsWin98 };

// A device in the "\\.\NAME" namespace. Open may refuse with a Windows error
// code; the session pointer it sets is handed to Control and Close.
struct TEmulatedDevice {
  std::function<DWORD(void** session)> Open;
  std::function<DWORD(void* session, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                      DWORD* returned)>
      Control;
  std::function<void(void* session)> Close;
};

// Makes a call fail with Error instead of running. Match, when set, must equal
// one of the call's traced arguments (strings may be given without quotes).
// The first Skip matching calls still run; Times limits the failures (0: all).
struct TFault {
  std::string Function = {};
  DWORD Error = 0;
  std::string Match = {};
  unsigned Skip = 0;
  unsigned Times = 0;
};

// How the trace shows a pointer argument: hex address, or null.
std::string FormatPointer(const void* pointer);

struct TTraceEntry {
  std::string Function = {};
  std::vector<std::string> Args;
  std::string Text() const;  // Function(arg, arg, ...)
};

struct TServiceInfo {
  std::string Name;
  std::string DisplayName;
  DWORD ServiceType = 0;
  DWORD StartType = 0;
  DWORD ErrorControl = 0;
  std::string BinaryPath;
  bool Running = false;
  bool Deleted = false;
};

// Byte-wide processor I/O space behind InPortByte/OutPortByte.
class TIoSpace {
 public:
  virtual ~TIoSpace() = default;
  virtual BYTE In(WORD port) = 0;
  virtual void Out(WORD port, BYTE value) = 0;
};

// Plain memory of 64K ports; ports never written read as a floating bus (0xFF).
class TSimulatedIoSpace : public TIoSpace {
 public:
  TSimulatedIoSpace();
  BYTE In(WORD port) override;
  void Out(WORD port, BYTE value) override;
  BYTE Peek(WORD port) const;
  void Poke(WORD port, BYTE value);

 private:
  std::vector<BYTE> Ports_;
};

// Back to the start state: NT family, UTF-8 as the ANSI code page, no
// devices, handles, drivers, services, faults or trace (tracing off), a fresh
// simulated I/O space, last error 0 on this thread.
void Reset();

void SetPlatformFamily(TPlatformFamily family);
TPlatformFamily PlatformFamily();

// What CP_ACP converts to: 65001 (UTF-8, as Linux names files; the start
// state) or 1252 (a Western Windows). Only the text conversions follow it.
void SetAnsiCodePage(UINT codePage);

// Fails with ERROR_ALREADY_EXISTS when the name is taken.
DWORD RegisterDevice(const std::string& name, TEmulatedDevice device);
bool DeviceRegistered(const std::string& name);

void InjectFault(TFault fault);
void ClearFaults();

// The call trace is off at start and after Reset, so that a long-running
// program does not accumulate it.
void SetTracing(bool on);
std::vector<TTraceEntry> Trace();
void ClearTrace();

std::optional<TServiceInfo> Service(const std::string& name);
std::size_t OpenHandleCount();
int LoadedDriverCount();

void SelectIoSpace(std::shared_ptr<TIoSpace> space);
// Installs a fresh simulated I/O space and returns it.
std::shared_ptr<TSimulatedIoSpace> UseSimulatedIoSpace();
// The machine's own ports through ioperm and the x86 port instructions. Gets
// access to the three LPT ranges up front; null with a Windows error code in
// error when that is refused (not root) or the processor has no port I/O.
std::shared_ptr<TIoSpace> OpenRealIoSpace(DWORD& error);

}  // namespace emulation
