// LPTWDMIO.SYS: serves \Device\LptAccessAgent (\\.\LptAccessAgent to
// programs) to SYSTEM and administrators only. Each open is a session: it
// finds the machine's LPT ports through the parallel port driver and holds
// each from the first batch that touches it until it ends; a machine without
// any gets the simulated bank the Linux module serves, held port by port in
// the same way. Which requests are valid is request_rules.h's to say.
#include <new>

#include "device_security.h"
#include "kernel.h"
#include "kernel_rules.h"
#include "parallel_ports.h"
#include "simulated_bank.h"

namespace lptwdmio::kernel {

namespace {

const WCHAR DeviceName[] = L"\\Device\\LptAccessAgent";
const WCHAR LinkName[] = L"\\DosDevices\\LptAccessAgent";

// Lives in the device extension, from DriverEntry to unload.
struct TDeviceState {
  // Guards the holders and the simulated ports; a batch runs whole under
  // it. Nothing under it waits on another driver.
  FAST_MUTEX Lock;
  THardwareHolders Holders;
  TSimulatedPorts Simulated;  // latches outlive a session, as a port's registers do
  LONG SaidSimulated = 0;
};

// Chosen once by the kernel's version; see HasNoExecutePool.
POOL_TYPE SessionPool = NonPagedPool;

class TLock {
 public:
  explicit TLock(TDeviceState& state) : Mutex_(state.Lock) { ExAcquireFastMutex(&Mutex_); }
  ~TLock() { ExReleaseFastMutex(&Mutex_); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  FAST_MUTEX& Mutex_;
};

// One per open of the device, in the file object's FsContext.
struct TSession {
  TSession(TDeviceState& state, uint32_t process, bool mayWrite)
      : Hardware(state.Holders, process), Simulated(state.Simulated, process), MayWrite(mayWrite) {}

  // Frees what the session holds and lets go of the port devices, at
  // cleanup and again, finding nothing left, at close (Wine sends no
  // cleanup). A request still under way on another thread then finds the
  // session ended before it touches a port.
  void End(TDeviceState& state) {
    {
      TLock lock(state);
      Ended = true;
      Hardware.Free();
      Simulated.Release();
    }
    Hardware.Close();
  }

  // Runs body on the session's bank under the device's lock, unless the
  // session has ended.
  template <typename Body>
  DWORD WithBank(TDeviceState& state, Body body) {
    TLock lock(state);
    return Ended ? ERROR_INVALID_HANDLE : body(*Bank);
  }

  TParallelPorts Hardware;
  TSimulatedBank Simulated;
  TPortBank* Bank = nullptr;
  bool MayWrite;
  bool Ended = false;  // under the lock
};

TDeviceState& StateOf(PDEVICE_OBJECT device) { return *static_cast<TDeviceState*>(device->DeviceExtension); }

TSession* SessionOf(PIRP irp) {
  return static_cast<TSession*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS StatusOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS: return STATUS_SUCCESS;
    case ERROR_INVALID_FUNCTION: return STATUS_INVALID_DEVICE_REQUEST;
    case ERROR_BUSY: return STATUS_DEVICE_BUSY;
    case ERROR_NOT_SUPPORTED: return STATUS_NOT_SUPPORTED;
    case ERROR_INVALID_PARAMETER: return STATUS_INVALID_PARAMETER;
    case ERROR_INVALID_HANDLE: return STATUS_INVALID_HANDLE;
    default: return STATUS_IO_DEVICE_ERROR;
  }
}

// The access the open asked for and was granted; under Wine there is none
// to read. Taken at the open, not per request: XP's kernel does not export
// IoValidateDeviceIoControlAccess, and Wine's is a stub that faults.
bool GrantsWrite(PIO_STACK_LOCATION stack) {
  const PIO_SECURITY_CONTEXT context = stack->Parameters.Create.SecurityContext;
  return OpenMayWrite(context != nullptr, context ? uint32_t(context->DesiredAccess) : 0);
}

NTSTATUS OpenSession(TDeviceState& state, PIO_STACK_LOCATION stack) {
  // The device has no files below it.
  if (stack->FileObject->FileName.Length) return STATUS_OBJECT_NAME_NOT_FOUND;
  void* block = ExAllocatePoolWithTag(SessionPool, sizeof(TSession), PoolTag);
  if (!block) return STATUS_INSUFFICIENT_RESOURCES;
  // Opens come in the opening process's own context.
  auto* session = new (block) TSession(state, HandleToULong(PsGetCurrentProcessId()), GrantsWrite(stack));
  if (session->Hardware.Find()) {
    session->Bank = &session->Hardware;
  } else {
    session->Bank = &session->Simulated;
    if (InterlockedExchange(&state.SaidSimulated, 1) == 0)
      DbgPrint("LPTWDMIO: no parallel port on this machine; serving simulated ports\n");
  }
  stack->FileObject->FsContext = session;
  return STATUS_SUCCESS;
}

void CloseSession(TDeviceState& state, PFILE_OBJECT file) {
  auto* session = static_cast<TSession*>(file->FsContext);
  if (!session) return;
  file->FsContext = nullptr;
  session->End(state);
  session->~TSession();
  ExFreePoolWithTag(session, PoolTag);
}

NTSTATUS ServeQuery(TDeviceState& state, TSession& session, PIRP irp, UCHAR* buffer) {
  TPortQueryReply reply;
  const DWORD error = session.WithBank(state, [&reply](TPortBank& bank) {
    reply = DescribePorts(bank);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) return Complete(irp, StatusOf(error));
  RtlCopyMemory(buffer, &reply, sizeof reply);
  return Complete(irp, STATUS_SUCCESS, sizeof reply);
}

NTSTATUS ServeSimulatedInputs(TDeviceState& state, TSession& session, PIRP irp, UCHAR* buffer) {
  TSimulatedInputs inputs;
  RtlCopyMemory(&inputs, buffer, sizeof inputs);
  if (!IsValidSimulatedInputs(inputs)) return Complete(irp, STATUS_INVALID_PARAMETER);
  const DWORD error =
      session.WithBank(state, [&inputs](TPortBank& bank) { return bank.SimulatedInputs(inputs); });
  if (error != ERROR_SUCCESS) return Complete(irp, StatusOf(error));
  RtlCopyMemory(buffer, &inputs, sizeof inputs);
  return Complete(irp, STATUS_SUCCESS, sizeof inputs);
}

// Under the device's lock, as every request; no bank of this driver has an
// interrupt to wait on, so it is refused before it could sleep there.
NTSTATUS ServeInterruptWait(TDeviceState& state, TSession& session, PIRP irp, UCHAR* buffer) {
  TInterruptWait wait;
  RtlCopyMemory(&wait, buffer, sizeof wait);
  uint8_t reply[4];
  const DWORD error = session.WithBank(
      state, [&](TPortBank& bank) { return lptwdmio::ServeInterruptWait(bank, wait, reply); });
  if (error != ERROR_SUCCESS) return Complete(irp, StatusOf(error));
  RtlCopyMemory(buffer, reply, sizeof reply);
  return Complete(irp, STATUS_SUCCESS, sizeof reply);
}

NTSTATUS ServeBatch(TDeviceState& state, TSession& session, PIRP irp, bool read, UCHAR* pairs, ULONG length) {
  if (!AreValidPairs(pairs, length)) return Complete(irp, STATUS_INVALID_PARAMETER);
  const DWORD error =
      session.WithBank(state, [=](TPortBank& bank) { return TransferPairs(bank, read, pairs, length); });
  return error == ERROR_SUCCESS ? Complete(irp, STATUS_SUCCESS, length) : Complete(irp, StatusOf(error));
}

// Buffered requests: the I/O manager's system buffer is our private copy of
// the input and becomes the output, so nothing the caller does meanwhile
// can change a request after it was checked.
NTSTATUS Control(TDeviceState& state, TSession& session, PIRP irp) {
  const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
  const DWORD refused = VerdictError(CheckRequestShape(code, inLength ? buffer : nullptr, inLength,
                                                       outLength ? buffer : nullptr, outLength));
  if (refused != ERROR_SUCCESS) return Complete(irp, StatusOf(refused));
  if (NeedsWriteAccess(code, buffer) && !session.MayWrite) return Complete(irp, STATUS_ACCESS_DENIED);
  if (code == IoctlQueryPorts) return ServeQuery(state, session, irp, buffer);
  if (code == IoctlSimulatedInputs) return ServeSimulatedInputs(state, session, irp, buffer);
  if (code == IoctlInterruptWait) return ServeInterruptWait(state, session, irp, buffer);
  return ServeBatch(state, session, irp, code == IoctlBatchRead, buffer, inLength);
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
  return Complete(irp, OpenSession(StateOf(device), IoGetCurrentIrpStackLocation(irp)));
}

// The last handle has gone: the session's ports are free for others now,
// whatever references to the file object remain.
NTSTATUS NTAPI DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
  if (TSession* session = SessionOf(irp)) session->End(StateOf(device));
  return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
  CloseSession(StateOf(device), IoGetCurrentIrpStackLocation(irp)->FileObject);
  return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
  TSession* session = SessionOf(irp);
  if (!session) return Complete(irp, STATUS_INVALID_HANDLE);
  return Control(StateOf(device), *session, irp);
}

void DeleteDevice(PDEVICE_OBJECT device) {
  StateOf(device).~TDeviceState();
  IoDeleteDevice(device);
}

void NTAPI Unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, LinkName);
  IoDeleteSymbolicLink(&link);
  if (PDEVICE_OBJECT device = driver->DeviceObject) DeleteDevice(device);
}

// Replaces the device's default access list, which lets every local user
// open it, before the first open can come.
NTSTATUS RestrictToAdministrators(PDEVICE_OBJECT device) {
  HANDLE handle = nullptr;
  NTSTATUS status =
      ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, nullptr, WRITE_DAC, nullptr, KernelMode, &handle);
  if (!NT_SUCCESS(status)) return status;
  TDeviceSecurity security = DeviceSecurity();
  status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, security.Bytes);
  ZwClose(handle);
  return status;
}

void ChooseSessionPool() {
  RTL_OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (NT_SUCCESS(RtlGetVersion(&version)) && HasNoExecutePool(version.dwMajorVersion, version.dwMinorVersion))
    SessionPool = NonPagedPoolNx;
}

}  // namespace

}  // namespace lptwdmio::kernel

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  using namespace lptwdmio::kernel;
  ChooseSessionPool();
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, DeviceName);
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, sizeof(TDeviceState), &name, FILE_DEVICE_UNKNOWN,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  auto* state = new (device->DeviceExtension) TDeviceState;
  ExInitializeFastMutex(&state->Lock);
  // A device anyone could open is worse than none.
  status = RestrictToAdministrators(device);
  if (!NT_SUCCESS(status)) {
    DeleteDevice(device);
    return status;
  }
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, LinkName);
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    DeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
  driver->DriverUnload = Unload;
  device->Flags |= DO_BUFFERED_IO;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}
