#include "parallel_ports.h"

#include "kernel_rules.h"
#include "port_names.h"
#include "slot_rule.h"

namespace lptwdmio::kernel {

namespace {

constexpr ULONG NameChars = 64;
// Ports past these in Windows' list are not looked at.
constexpr int MaxListed = 8;

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

struct TListedPort {
  int Index;         // N of \Device\ParallelN, the port driver's ParallelPortN
  int SystemNumber;  // the LPTn the device map gives it
};

// Windows lists the ports it names LPTn in the device map ("\Device\Parallel0"
// = "\DosDevices\LPT1"), in its own order; a machine without a parallel port
// has no entry, and no port driver's device is then asked anything.
int ListPorts(TListedPort (&listed)[MaxListed]) {
  UNICODE_STRING path;
  RtlInitUnicodeString(&path, L"\\Registry\\Machine\\HARDWARE\\DEVICEMAP\\PARALLEL PORTS");
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return 0;
  alignas(8) UCHAR buffer[512];
  auto* value = reinterpret_cast<KEY_VALUE_FULL_INFORMATION*>(buffer);
  int count = 0;
  for (ULONG i = 0; count < MaxListed; ++i) {
    ULONG length = 0;
    const NTSTATUS status =
        ZwEnumerateValueKey(key, i, KeyValueFullInformation, value, sizeof buffer, &length);
    if (status == STATUS_NO_MORE_ENTRIES) break;
    if (!NT_SUCCESS(status) || value->Type != REG_SZ) continue;
    const int index = ClassDeviceIndex(value->Name, value->NameLength / sizeof(WCHAR));
    const int number = LptNumberOfName(reinterpret_cast<const WCHAR*>(buffer + value->DataOffset),
                                       value->DataLength / sizeof(WCHAR));
    if (index >= 0) listed[count++] = {index, number};
  }
  ZwClose(key);
  return count;
}

// The port's own name from its driver ("LPT1") is Windows' name for it; the
// device map's is what a driver without one leaves.
uint8_t SystemNumberOf(PDEVICE_OBJECT device, int listed) {
  PARALLEL_PNP_INFORMATION pnp{};
  if (NT_SUCCESS(InternalRequest(device, IOCTL_INTERNAL_GET_PARALLEL_PNP_INFO, &pnp, sizeof pnp)) &&
      pnp.PortName)
    if (const int number = LptNumberOfName(pnp.PortName, NameChars); number > 0) return uint8_t(number);
  return uint8_t(listed);
}

void ClosePort(TPortDevice& port) {
  if (!port.File) return;
  InternalRequest(port.Device, IOCTL_INTERNAL_RELEASE_PARALLEL_PORT_INFO, nullptr, 0);
  ObDereferenceObject(port.File);
  port = {};
}

// Takes a reference to a listed port's device and its driver's description
// of it; false, holding nothing, for a port the driver may not touch.
bool OpenPort(const TListedPort& listed, TPortDevice& port) {
  WCHAR name[NameChars];
  PortDeviceName(name, listed.Index);
  UNICODE_STRING path;
  RtlInitUnicodeString(&path, name);
  PFILE_OBJECT file = nullptr;
  PDEVICE_OBJECT device = nullptr;
  if (!NT_SUCCESS(IoGetDeviceObjectPointer(&path, FILE_READ_ATTRIBUTES, &file, &device))) return false;
  if (!file) return false;
  if (!device) {
    ObDereferenceObject(file);
    return false;
  }
  PARALLEL_PORT_INFORMATION info{};
  if (!NT_SUCCESS(InternalRequest(device, IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO, &info, sizeof info))) {
    ObDereferenceObject(file);
    return false;
  }
  port = {file, device, info, uint16_t(info.OriginalController.QuadPart),
          SystemNumberOf(device, listed.SystemNumber)};
  const bool usable = info.TryAllocatePort && info.FreePort &&
                      IsUsablePort(uint64_t(info.OriginalController.QuadPart),
                                   uint64_t(ULONG_PTR(info.Controller)), info.SpanOfController);
  if (!usable) ClosePort(port);
  return usable;
}

// Another program's hold shows only in a try; a port that was free is let go
// at once, and the port driver's queued requests only wait for it.
bool HeldByAnotherProgram(const TPortDevice& port) {
  if (!port.Info.TryAllocatePort(port.Info.Context)) return true;
  port.Info.FreePort(port.Info.Context);
  return false;
}

}  // namespace

TParallelPorts::~TParallelPorts() {
  Free();
  Close();
}

bool TParallelPorts::Find() {
  TListedPort listed[MaxListed];
  const int count = ListPorts(listed);
  TPortDevice found[MaxListed];
  int opened = 0;
  for (int i = 0; i < count; ++i)
    if (OpenPort(listed[i], found[opened])) ++opened;
  int slots[SlotCount];
  AssignSlotsByBase(
      opened, [&found](int i) { return long(found[i].Base); }, slots);
  bool any = false;
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (slots[slot] < 0) continue;
    Ports_[slot] = found[slots[slot]];
    found[slots[slot]] = {};
    any = true;
  }
  for (int i = 0; i < opened; ++i) ClosePort(found[i]);  // the ports no slot took
  return any;
}

void TParallelPorts::Free() {
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (!Held_[slot]) continue;
    Ports_[slot].Info.FreePort(Ports_[slot].Info.Context);
    if (Holders_.Session[slot] == this) {
      Holders_.Session[slot] = nullptr;
      Holders_.Process[slot] = 0;
      Holders_.Base[slot] = 0;
    }
    Held_[slot] = false;
  }
}

void TParallelPorts::Close() {
  for (TPortDevice& port : Ports_) ClosePort(port);
}

DWORD TParallelPorts::Acquire(int slot) {
  const TPortDevice& port = Ports_[slot];
  if (!port.File || Held_[slot]) return ERROR_SUCCESS;
  if (!port.Info.TryAllocatePort(port.Info.Context)) return ERROR_BUSY;
  Held_[slot] = true;
  Holders_.Session[slot] = this;
  Holders_.Process[slot] = Process_;
  Holders_.Base[slot] = port.Base;
  return ERROR_SUCCESS;
}

// Only a base the port driver reported, of a port this session holds, is
// ever touched.
DWORD TParallelPorts::Read(int slot, TRegister reg, BYTE& value) {
  value = Held_[slot] ? READ_PORT_UCHAR(Ports_[slot].Info.Controller + reg) : AbsentValue;
  return ERROR_SUCCESS;
}

DWORD TParallelPorts::Write(int slot, TRegister reg, BYTE value) {
  if (Held_[slot]) WRITE_PORT_UCHAR(Ports_[slot].Info.Controller + reg, value);
  return ERROR_SUCCESS;
}

TPortQueryEntry TParallelPorts::Describe(int slot) const {
  const TPortDevice& port = Ports_[slot];
  if (!port.File) return {0, 0, 0, 0};
  TPortQueryEntry entry{uint8_t(PortPresent | PortBaseKnown), port.SystemNumber, port.Base, 0};
  if (Held_[slot]) return entry;
  if (Holders_.Session[slot] && Holders_.Base[slot] == port.Base) {
    entry.Flags |= PortHeld;
    entry.Holder = Holders_.Process[slot];
  } else if (HeldByAnotherProgram(port)) {
    entry.Flags |= PortHeld;
  }
  return entry;
}

}  // namespace lptwdmio::kernel
