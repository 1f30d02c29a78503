/* The C ABI between the emulated service manager and a driver module
 * (a shared object such as LPTWDMIO.SYS). Starting a kernel-driver service
 * loads the module and calls its entry point, which registers its devices.
 * Every status is a Windows error code; 0 means success. */
#ifndef PINLARK_DRIVER_ABI_H
#define PINLARK_DRIVER_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PINLARK_DRIVER_ABI_VERSION 1u
#define PINLARK_DRIVER_ENTRY_NAME "DriverEntry"

typedef struct PinlarkDeviceOps {
  void* Context;
  /* Opens one session; *session is handed to Control and Close. */
  uint32_t (*Open)(void* context, void** session);
  uint32_t (*Control)(void* session, uint32_t code, const void* in, uint32_t inLength, void* out,
                      uint32_t outLength, uint32_t* returned);
  void (*Close)(void* session);
} PinlarkDeviceOps;

typedef struct PinlarkDriverObject {
  /* Filled by the host. */
  uint32_t AbiVersion;
  void* Host;
  uint32_t (*RegisterDevice)(void* host, const char* name, const PinlarkDeviceOps* ops);
  /* Filled by the driver; Unload runs after every session has been closed. */
  void (*Unload)(void* driverContext);
  void* DriverContext;
} PinlarkDriverObject;

typedef uint32_t (*PinlarkDriverEntry)(PinlarkDriverObject* driver);

#ifdef __cplusplus
}
#endif

#endif
