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
    // What the device at the far end of the cable drives on the five inputs
    // (TSimulatedInputs' lines and levels); what it leaves alone floats high.
    BYTE FarDriven = 0x00;
    BYTE FarLevels = 0x00;
    // The session holding the port, and the process it serves (0 unknown).
    const void* Holder = nullptr;
    uint32_t HolderProcess = 0;
  };

  std::array<TPort, SlotCount> Ports{{{true, true}, {true, false}, {false, false}}};
};

// A session's view of the simulated ports. It holds a port from the first
// batch that touches it until Release or its end, as one program at a time
// holds a real port; the latches stay for the next holder. Acquire, Release
// and the end of a bank that still holds a port change the shared ports:
// whoever shares them between threads runs those under the lock that
// guards them.
class TSimulatedBank : public TPortBank {
 public:
  // process: the id the port query reports to others while this session
  // holds a port; 0 when not known.
  explicit TSimulatedBank(TSimulatedPorts& ports, uint32_t process = 0) : Ports_(ports), Process_(process) {}
  ~TSimulatedBank() override { Release(); }
  TSimulatedBank(const TSimulatedBank&) = delete;
  TSimulatedBank& operator=(const TSimulatedBank&) = delete;

  DWORD Acquire(int slot) override;
  void Release();
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;
  DWORD SimulatedInputs(TSimulatedInputs& inputs) override;

 private:
  using TPort = TSimulatedPorts::TPort;
  static BYTE DataLines(const TPort& port);
  static BYTE Status(const TPort& port);

  TSimulatedPorts& Ports_;
  uint32_t Process_;
  bool Holds_[SlotCount] = {};  // which ports this session took, so Release touches only those
};

}  // namespace lptwdmio
