// The machine's parallel ports as the system's parallel port driver lends
// them to one session: found when the session starts, each port allocated
// from the port driver when the session first touches it, and every
// reference let go when the session ends. While no session is open the
// driver holds nothing of any port, so Windows can disable or remove it.
#pragma once

#include "kernel.h"
#include "port_bank.h"

namespace lptwdmio::kernel {

// Which session of the device holds each hardware port, so the port query
// can name the holding process to the others. One per device; read and
// changed under the device's lock.
struct THardwareHolders {
  const void* Session[SlotCount] = {};
  uint32_t Process[SlotCount] = {};
  uint16_t Base[SlotCount] = {};
};

struct TPortDevice {
  PFILE_OBJECT File = nullptr;  // our reference to the port driver's device
  PDEVICE_OBJECT Device = nullptr;
  PARALLEL_PORT_INFORMATION Info{};
  uint16_t Base = 0;
  uint8_t SystemNumber = 0;  // n of Windows' own LPTn, 0 when it gives none
};

class TParallelPorts : public TPortBank {
 public:
  TParallelPorts(THardwareHolders& holders, uint32_t process) : Holders_(holders), Process_(process) {}
  ~TParallelPorts() override;
  TParallelPorts(const TParallelPorts&) = delete;
  TParallelPorts& operator=(const TParallelPorts&) = delete;

  // Finds the ports Windows lists and assigns them to LPT1-LPT3 by their
  // base; true when there is any. Waits on the port driver: at
  // PASSIVE_LEVEL, outside the device's lock.
  bool Find();
  // Frees the ports this session allocated: under the device's lock.
  void Free();
  // Lets go of the port devices: outside the lock, as Find.
  void Close();

  DWORD Acquire(int slot) override;
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;

 private:
  TPortDevice Ports_[SlotCount];
  bool Held_[SlotCount] = {};
  THardwareHolders& Holders_;
  uint32_t Process_;
};

}  // namespace lptwdmio::kernel
