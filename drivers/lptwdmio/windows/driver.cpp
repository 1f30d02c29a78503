// LPTWDMIO.SYS: serves \Device\LptAccessAgent (\\.\LptAccessAgent to
// programs). Each open holds the machine's LPT ports through the parallel
// port driver; a machine without any gets the simulated bank the Linux
// module serves. Which requests are valid is request_rules.h's to say.
#include <new>

#include "kernel.h"
#include "parallel_ports.h"
#include "simulated_bank.h"

namespace lptwdmio::kernel {

namespace {

const WCHAR DeviceName[] = L"\\Device\\LptAccessAgent";
const WCHAR LinkName[] = L"\\DosDevices\\LptAccessAgent";

// Lives in the device extension, from DriverEntry to unload.
struct TDeviceState {
  FAST_MUTEX Lock;  // a batch runs whole; another open's never interleaves
  TParallelPorts Ports;
  TSimulatedPorts Simulated;  // latches outlive an open, as a port's registers do
  bool UseHardware = false;
};

// One per open of the device: the ports it holds, or a view of the shared simulation.
struct TSession {
  explicit TSession(TDeviceState& state) : Held(state.Ports), Simulated(state.Simulated) {}
  THeldPorts Held;
  TSimulatedBank Simulated;
  TPortBank* Bank = nullptr;
};

TDeviceState& StateOf(PDEVICE_OBJECT device) { return *static_cast<TDeviceState*>(device->DeviceExtension); }

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS OpenSession(TDeviceState& state, PFILE_OBJECT file) {
  void* block = ExAllocatePoolWithTag(NonPagedPool, sizeof(TSession), PoolTag);
  if (!block) return STATUS_INSUFFICIENT_RESOURCES;
  auto* session = new (block) TSession(state);
  if (!state.UseHardware) {
    session->Bank = &session->Simulated;
  } else if (session->Held.Allocate()) {
    session->Bank = &session->Held;
  } else {
    session->~TSession();
    ExFreePoolWithTag(block, PoolTag);
    return STATUS_DEVICE_BUSY;  // every port is another program's
  }
  file->FsContext = session;
  return STATUS_SUCCESS;
}

void CloseSession(PFILE_OBJECT file) {
  auto* session = static_cast<TSession*>(file->FsContext);
  if (!session) return;
  file->FsContext = nullptr;
  session->~TSession();
  ExFreePoolWithTag(session, PoolTag);
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
  switch (CheckRequestShape(code, inLength ? buffer : nullptr, inLength, outLength ? buffer : nullptr,
                            outLength)) {
    case TRequestVerdict::UnknownCode: return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    case TRequestVerdict::InvalidParameter: return Complete(irp, STATUS_INVALID_PARAMETER);
    case TRequestVerdict::Accept: break;
  }
  if (code == IoctlQueryPorts) {
    const TPortQueryReply reply = DescribePorts(*session.Bank);
    RtlCopyMemory(buffer, &reply, sizeof reply);
    return Complete(irp, STATUS_SUCCESS, sizeof reply);
  }
  if (!AreValidPairs(buffer, inLength)) return Complete(irp, STATUS_INVALID_PARAMETER);
  ExAcquireFastMutex(&state.Lock);
  const bool served = TransferPairs(*session.Bank, code == IoctlBatchRead, buffer, inLength) == ERROR_SUCCESS;
  ExReleaseFastMutex(&state.Lock);
  return served ? Complete(irp, STATUS_SUCCESS, outLength) : Complete(irp, STATUS_IO_DEVICE_ERROR);
}

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
  return Complete(irp, OpenSession(StateOf(device), IoGetCurrentIrpStackLocation(irp)->FileObject));
}

// The last handle has gone; the close that follows releases the session.
NTSTATUS DispatchCleanup(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS); }

NTSTATUS DispatchClose(PDEVICE_OBJECT, PIRP irp) {
  CloseSession(IoGetCurrentIrpStackLocation(irp)->FileObject);
  return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
  auto* session = static_cast<TSession*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
  if (!session) return Complete(irp, STATUS_INVALID_HANDLE);
  return Control(StateOf(device), *session, irp);
}

void Unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, LinkName);
  IoDeleteSymbolicLink(&link);
  if (PDEVICE_OBJECT device = driver->DeviceObject) {
    TDeviceState& state = StateOf(device);
    state.Ports.Release();
    state.~TDeviceState();
    IoDeleteDevice(device);
  }
}

}  // namespace

}  // namespace lptwdmio::kernel

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  using namespace lptwdmio::kernel;
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, DeviceName);
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, sizeof(TDeviceState), &name, FILE_DEVICE_UNKNOWN,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  auto* state = new (device->DeviceExtension) TDeviceState;
  ExInitializeFastMutex(&state->Lock);
  state->Ports.Discover();
  state->UseHardware = state->Ports.Any();
  if (!state->UseHardware) DbgPrint("LPTWDMIO: no parallel port on this machine; serving simulated ports\n");

  UNICODE_STRING link;
  RtlInitUnicodeString(&link, LinkName);
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    state->Ports.Release();
    state->~TDeviceState();
    IoDeleteDevice(device);
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
