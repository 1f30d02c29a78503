// A minimal driver module for the service manager tests. Its device echoes
// the input; control code 0x99 fails with ERROR_IO_DEVICE. Built a second
// time with TEST_DRIVER_FAILS, its entry registers the device and then fails.
#include "driver_abi.h"
#include "winapi.h"

#include <cstring>

namespace {

uint32_t Control(void*, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* returned) {
  if (code == 0x99) return ERROR_IO_DEVICE;
  const uint32_t length = inLength < outLength ? inLength : outLength;
  std::memmove(out, in, length);
  *returned = length;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t DriverEntry(PinlarkDriverObject* driver) {
  const PinlarkDeviceOps ops{nullptr, nullptr, &Control, nullptr};
  if (const uint32_t status = driver->RegisterDevice(driver->Host, "EmuTestDevice", &ops)) return status;
#ifdef TEST_DRIVER_FAILS
  return ERROR_ACCESS_DENIED;
#else
  return ERROR_SUCCESS;
#endif
}
