// Ports for a machine without any: LPT1 with a loopback plug, LPT2 with
// nothing attached (or whatever its far side drives), LPT3 absent.
#pragma once

#include "port_bank.h"

#include <array>

namespace lptwdmio {

// What a simulated slot holds.
enum class TSimulatedKind : uint8_t {
  Absent,    // the floating bus
  Loopback,  // D0-D4 wired to ERR, SEL, PE, ACK and BUSY
  Open,      // the inputs are what the far end of the cable drives, high when nothing does
};
constexpr TSimulatedKind SimulatedKinds[SlotCount] = {TSimulatedKind::Loopback, TSimulatedKind::Open,
                                                      TSimulatedKind::Absent};

// What a simulated port keeps: its data latch and the control bits 0-5.
struct TSimulatedLatches {
  BYTE Data = 0x00;
  BYTE Control = 0x0C;  // INIT and SELIN high, as firmware leaves a port
};

// What the far end drives on the five inputs, as TSimulatedInputs carries it.
struct TSimulatedFarSide {
  BYTE Driven = 0;
  BYTE Levels = 0;
};

// The registers of a simulated port, whoever keeps its latches.
BYTE ReadSimulated(TSimulatedKind kind, const TSimulatedLatches& latches, const TSimulatedFarSide& far,
                   TRegister reg);
// False when the write goes nowhere (an absent port, the read-only status).
bool WriteSimulated(TSimulatedKind kind, TSimulatedLatches& latches, TRegister reg, BYTE value);
// Present, simulated, and whose inputs follow a plug; never held.
TPortQueryEntry DescribeSimulated(TSimulatedKind kind);

// The simulated ports' latches when they live in memory: one per loaded
// driver, shared by every session, as a port's registers outlive an open.
class TSimulatedPorts {
 public:
  struct TPort {
    TSimulatedLatches Latches;
    TSimulatedFarSide FarSide;
    // The session holding the port, and the process it serves (0 unknown).
    const void* Holder = nullptr;
    uint32_t HolderProcess = 0;
  };

  std::array<TPort, SlotCount> Ports{};
};

// A session's view of in-memory simulated ports. It holds a port from the
// first batch that touches it until Release or its end, as one program at a
// time holds a real port; the latches stay for the next holder. Acquire,
// Release and the end of a bank that still holds a port change the shared
// ports: whoever shares them between threads runs those under the lock that
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
  TSimulatedPorts& Ports_;
  uint32_t Process_;
  bool Holds_[SlotCount] = {};  // which ports this session took, so Release touches only those
};

}  // namespace lptwdmio
