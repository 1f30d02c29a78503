#include "parallel_ports.h"

namespace lptwdmio::kernel {

namespace {

// \Device\ParallelPort0 to \Device\ParallelPort9.
constexpr int MaxPortDevices = 10;
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

// "LPT1" to "LPT3", alone or after a backslash, is slot 0 to 2.
int SlotOfName(const WCHAR* name, ULONG length) {
  while (length > 0 && name[length - 1] == L'\0') --length;
  if (length < 4) return -1;
  const WCHAR* tail = name + length - 4;
  if (length > 4 && tail[-1] != L'\\') return -1;
  if ((tail[0] | 0x20) != L'l' || (tail[1] | 0x20) != L'p' || (tail[2] | 0x20) != L't') return -1;
  const int slot = tail[3] - L'1';
  return slot >= 0 && slot < SlotCount ? slot : -1;
}

void FormatName(WCHAR (&buffer)[NameChars], const WCHAR* stem, int index) {
  ULONG i = 0;
  for (; stem[i] != L'\0' && i + 2 < NameChars; ++i) buffer[i] = stem[i];
  buffer[i++] = WCHAR(L'0' + index);
  buffer[i] = L'\0';
}

bool SameName(const WCHAR* a, ULONG aBytes, const WCHAR* b) {
  const ULONG length = aBytes / sizeof(WCHAR);
  for (ULONG i = 0; i < length; ++i)
    if (a[i] != b[i]) return false;
  return b[length] == L'\0';
}

// The LPT name the system's device map gives \Device\Parallel<index>, the
// port's class device, as a slot.
int DeviceMapSlot(int index) {
  WCHAR device[NameChars];
  FormatName(device, L"\\Device\\Parallel", index);
  UNICODE_STRING path;
  RtlInitUnicodeString(&path, L"\\Registry\\Machine\\HARDWARE\\DEVICEMAP\\PARALLEL PORTS");
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return -1;
  int slot = -1;
  alignas(8) UCHAR buffer[512];
  auto* value = reinterpret_cast<KEY_VALUE_FULL_INFORMATION*>(buffer);
  for (ULONG i = 0; slot < 0; ++i) {
    ULONG length = 0;
    const NTSTATUS status =
        ZwEnumerateValueKey(key, i, KeyValueFullInformation, value, sizeof buffer, &length);
    if (status == STATUS_NO_MORE_ENTRIES) break;
    if (!NT_SUCCESS(status) || value->Type != REG_SZ) continue;
    if (!SameName(value->Name, value->NameLength, device)) continue;
    const auto* data = reinterpret_cast<const WCHAR*>(buffer + value->DataOffset);
    slot = SlotOfName(data, value->DataLength / sizeof(WCHAR));
  }
  ZwClose(key);
  return slot;
}

// The port's own name from its driver ("LPT1"), else the device map's.
int SlotOfPort(PDEVICE_OBJECT device, int index) {
  PARALLEL_PNP_INFORMATION pnp{};
  if (NT_SUCCESS(InternalRequest(device, IOCTL_INTERNAL_GET_PARALLEL_PNP_INFO, &pnp, sizeof pnp)) &&
      pnp.PortName) {
    ULONG length = 0;
    while (length < NameChars && pnp.PortName[length] != L'\0') ++length;
    const int slot = SlotOfName(pnp.PortName, length);
    if (slot >= 0) return slot;
  }
  return DeviceMapSlot(index);
}

}  // namespace

void TParallelPorts::Discover() {
  for (int index = 0; index < MaxPortDevices; ++index) {
    WCHAR name[NameChars];
    FormatName(name, L"\\Device\\" DD_PARALLEL_PORT_BASE_NAME_U, index);
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, name);
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoGetDeviceObjectPointer(&path, FILE_READ_ATTRIBUTES, &file, &device))) continue;
    PARALLEL_PORT_INFORMATION info{};
    const int slot = SlotOfPort(device, index);
    if (slot < 0 || Ports_[slot].Found ||
        !NT_SUCCESS(InternalRequest(device, IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO, &info, sizeof info)) ||
        !info.TryAllocatePort || !info.FreePort || !info.Controller) {
      ObDereferenceObject(file);
      continue;
    }
    Ports_[slot] = {true, file, device, info};
  }
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
  if (!Held_[slot]) return {0, 0, 0};
  return {uint8_t(PortPresent | PortBaseKnown), 0,
          uint16_t(Ports_.Port(slot).Info.OriginalController.LowPart)};
}

}  // namespace lptwdmio::kernel
