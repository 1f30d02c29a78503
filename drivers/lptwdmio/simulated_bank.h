// Ports for a machine without any: LPT1 with a loopback plug, LPT2 with
// nothing attached, LPT3 absent.
#pragma once

#include "port_bank.h"

#include <array>

namespace lptwdmio {

class TSimulatedBank : public TPortBank {
 public:
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;

 private:
  struct TPort {
    bool Present;
    bool Loopback;
    BYTE Data = 0x00;
    BYTE Control = 0x0C;  // INIT and SELIN high, as firmware leaves a port
  };

  static BYTE DataLines(const TPort& port);
  static BYTE Status(const TPort& port);

  std::array<TPort, SlotCount> Ports_{{{true, true}, {true, false}, {false, false}}};
};

}  // namespace lptwdmio
