// The machine's parallel ports as the system's parallel port driver knows
// them: LPT1-LPT3 by the names Windows gives them, each with the base its
// driver reports and the callbacks through which a port is held.
#pragma once

#include "kernel.h"
#include "port_bank.h"

namespace lptwdmio::kernel {

struct TFoundPort {
  bool Found = false;
  PFILE_OBJECT File = nullptr;  // our reference to the port driver's device
  PDEVICE_OBJECT Device = nullptr;
  PARALLEL_PORT_INFORMATION Info{};
};

// Found once when the driver starts; released when it unloads.
class TParallelPorts {
 public:
  void Discover();
  void Release();
  bool Any() const;
  const TFoundPort& Port(int slot) const { return Ports_[slot]; }

 private:
  void Open(int index, int mapSlot);

  TFoundPort Ports_[SlotCount];
};

// The ports one open of our device holds: each found port it could
// allocate from the port driver; the others read as absent.
class THeldPorts : public TPortBank {
 public:
  explicit THeldPorts(const TParallelPorts& ports) : Ports_(ports) {}
  ~THeldPorts() override;
  THeldPorts(const THeldPorts&) = delete;
  THeldPorts& operator=(const THeldPorts&) = delete;

  // False when no found port is free.
  bool Allocate();
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;

 private:
  PUCHAR Register(int slot, TRegister reg) const;

  const TParallelPorts& Ports_;
  bool Held_[SlotCount] = {};
};

}  // namespace lptwdmio::kernel
