// Ports for a machine without any: LPT1 with a loopback plug, LPT2 with
// nothing attached, LPT3 absent.
#pragma once

#include "port_bank.h"

#include <array>

namespace lptwdmio {

// The simulated ports' latches. One per loaded driver, shared by every
// session, as a port's registers outlive an open.
class TSimulatedPorts {
 public:
  struct TPort {
    bool Present;
    bool Loopback;
    BYTE Data = 0x00;
    BYTE Control = 0x0C;  // INIT and SELIN high, as firmware leaves a port
  };

  std::array<TPort, SlotCount> Ports{{{true, true}, {true, false}, {false, false}}};
};

// A session's view of the simulated ports.
class TSimulatedBank : public TPortBank {
 public:
  explicit TSimulatedBank(TSimulatedPorts& ports) : Ports_(ports) {}

  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;

 private:
  using TPort = TSimulatedPorts::TPort;
  static BYTE DataLines(const TPort& port);
  static BYTE Status(const TPort& port);

  TSimulatedPorts& Ports_;
};

}  // namespace lptwdmio
