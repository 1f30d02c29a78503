#include "parallel_ports.h"

#include "port_names.h"

namespace lptwdmio::kernel {

namespace {

constexpr ULONG NameChars = 64;

// An internal device control to the port driver, waited for.
NTSTATUS InternalRequest(PDEVICE_OBJECT device, ULONG code, void* out, ULONG outLength) {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IO_STATUS_BLOCK status{};
  PIRP irp = IoBuildDeviceIoControlRequest(code, device, nullptr, 0, out, outLength, TRUE, &done, &status);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS result = IoCallDriver(device, irp);
  if (result == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    result = status.Status;
  }
  return result;
}

// "\Device\ParallelPort<index>", the port driver's device of a port.
void PortDeviceName(WCHAR (&buffer)[NameChars], int index) {
  const WCHAR* stem = L"\\Device\\" DD_PARALLEL_PORT_BASE_NAME_U;
  ULONG i = 0;
  for (; stem[i] != L'\0'; ++i) buffer[i] = stem[i];
  WCHAR digits[8];
  int count = 0;
  do {
    digits[count++] = WCHAR(L'0' + index % 10);
    index /= 10;
  } while (index > 0 && count < 8);
  while (count > 0) buffer[i++] = digits[--count];
  buffer[i] = L'\0';
}

// The port's own name from its driver ("LPT1") decides; the device map's
// is what a driver without one leaves.
int ConfirmedSlot(PDEVICE_OBJECT device, int mapSlot) {
  PARALLEL_PNP_INFORMATION pnp{};
  if (NT_SUCCESS(InternalRequest(device, IOCTL_INTERNAL_GET_PARALLEL_PNP_INFO, &pnp, sizeof pnp)) &&
      pnp.PortName)
    if (const int slot = SlotOfName(pnp.PortName, NameChars); slot >= 0) return slot;
  return mapSlot;
}

}  // namespace

// Windows lists the ports it names LPTn in the device map ("\Device\Parallel0"
// = "\DosDevices\LPT1"); a machine without a parallel port has no entry,
// and no port driver's device is then asked anything.
void TParallelPorts::Discover() {
  UNICODE_STRING path;
  RtlInitUnicodeString(&path, L"\\Registry\\Machine\\HARDWARE\\DEVICEMAP\\PARALLEL PORTS");
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return;
  alignas(8) UCHAR buffer[512];
  auto* value = reinterpret_cast<KEY_VALUE_FULL_INFORMATION*>(buffer);
  for (ULONG i = 0;; ++i) {
    ULONG length = 0;
    const NTSTATUS status =
        ZwEnumerateValueKey(key, i, KeyValueFullInformation, value, sizeof buffer, &length);
    if (status == STATUS_NO_MORE_ENTRIES) break;
    if (!NT_SUCCESS(status) || value->Type != REG_SZ) continue;
    const int index = ClassDeviceIndex(value->Name, value->NameLength / sizeof(WCHAR));
    const int slot = SlotOfName(reinterpret_cast<const WCHAR*>(buffer + value->DataOffset),
                                value->DataLength / sizeof(WCHAR));
    if (index >= 0 && slot >= 0) Open(index, slot);
  }
  ZwClose(key);
}

void TParallelPorts::Open(int index, int mapSlot) {
  WCHAR name[NameChars];
  PortDeviceName(name, index);
  UNICODE_STRING path;
  RtlInitUnicodeString(&path, name);
  PFILE_OBJECT file = nullptr;
  PDEVICE_OBJECT device = nullptr;
  if (!NT_SUCCESS(IoGetDeviceObjectPointer(&path, FILE_READ_ATTRIBUTES, &file, &device))) return;
  if (!file || !device) return;
  PARALLEL_PORT_INFORMATION info{};
  const int slot = ConfirmedSlot(device, mapSlot);
  if (slot < 0 || Ports_[slot].Found ||
      !NT_SUCCESS(InternalRequest(device, IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO, &info, sizeof info)) ||
      !info.TryAllocatePort || !info.FreePort || !info.Controller) {
    ObDereferenceObject(file);
    return;
  }
  Ports_[slot] = {true, file, device, info};
}

void TParallelPorts::Release() {
  for (TFoundPort& port : Ports_) {
    if (!port.Found) continue;
    InternalRequest(port.Device, IOCTL_INTERNAL_RELEASE_PARALLEL_PORT_INFO, nullptr, 0);
    ObDereferenceObject(port.File);
    port = {};
  }
}

bool TParallelPorts::Any() const {
  for (const TFoundPort& port : Ports_)
    if (port.Found) return true;
  return false;
}

THeldPorts::~THeldPorts() {
  for (int slot = 0; slot < SlotCount; ++slot)
    if (Held_[slot]) Ports_.Port(slot).Info.FreePort(Ports_.Port(slot).Info.Context);
}

bool THeldPorts::Allocate() {
  bool any = false;
  for (int slot = 0; slot < SlotCount; ++slot) {
    const TFoundPort& port = Ports_.Port(slot);
    Held_[slot] = port.Found && port.Info.TryAllocatePort(port.Info.Context);
    any = any || Held_[slot];
  }
  return any;
}

// Only a base the port driver reported is ever touched.
PUCHAR THeldPorts::Register(int slot, TRegister reg) const { return Ports_.Port(slot).Info.Controller + reg; }

DWORD THeldPorts::Read(int slot, TRegister reg, BYTE& value) {
  value = Held_[slot] ? READ_PORT_UCHAR(Register(slot, reg)) : AbsentValue;
  return ERROR_SUCCESS;
}

DWORD THeldPorts::Write(int slot, TRegister reg, BYTE value) {
  if (Held_[slot]) WRITE_PORT_UCHAR(Register(slot, reg), value);
  return ERROR_SUCCESS;
}

TPortQueryEntry THeldPorts::Describe(int slot) const {
  if (!Held_[slot]) return {0, 0, 0, 0};
  return {uint8_t(PortPresent | PortBaseKnown), 0,
          uint16_t(Ports_.Port(slot).Info.OriginalController.LowPart), 0};
}

}  // namespace lptwdmio::kernel
