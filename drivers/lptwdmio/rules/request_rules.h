// What the device accepts: the one statement of the request rules, shared by
// the Linux module, the Windows kernel driver and the connection. Freestanding
// on purpose (no exceptions, allocation or library), so a kernel driver can
// include it.
#pragma once

#include <stdint.h>

namespace lptwdmio {

// Device control codes of the Windows form: device type 0x22, buffered, any access.
constexpr uint32_t DeviceControlCode(uint32_t function) { return (0x22u << 16) | (function << 2); }
constexpr uint32_t IoctlBatchRead = DeviceControlCode(0x14);
constexpr uint32_t IoctlBatchWrite = DeviceControlCode(0x18);
constexpr uint32_t IoctlQueryPorts = DeviceControlCode(0x1C);
// The far end of a simulated port's cable: what the device there drives on
// the five status inputs. Needs no holding of the port, as a device plugged
// into a real one needs none.
constexpr uint32_t IoctlSimulatedInputs = DeviceControlCode(0x1D);
// Sleeps until the port's interrupt comes or the timeout passes, and
// answers how many came since the last such request (which clears them).
constexpr uint32_t IoctlInterruptWait = DeviceControlCode(0x1E);
static_assert(IoctlBatchRead == 0x220050 && IoctlBatchWrite == 0x220060 && IoctlQueryPorts == 0x220070 &&
              IoctlSimulatedInputs == 0x220074 && IoctlInterruptWait == 0x220078);

constexpr int SlotCount = 3;      // LPT1, LPT2, LPT3
constexpr int RegisterCount = 3;  // data, status, control

// A batch is an array of {address, value} pairs; the address is the port
// prefix (0x10, 0x20, 0x30) ORed with the register offset (0, 1, 2).
constexpr uint32_t PairSize = 2;
// A batch longer than this is no program's honest request; refusing it keeps
// a driver's copy of it small.
constexpr uint32_t MaxBatchLength = 4096;
constexpr int SlotOfAddress(uint8_t address) { return (address >> 4) - 1; }
constexpr int RegisterOfAddress(uint8_t address) { return address & 0x0F; }
// True for 0x10-0x12, 0x20-0x22 and 0x30-0x32; nothing else is ever touched.
constexpr bool IsValidAddress(uint8_t address) {
  const int slot = SlotOfAddress(address);
  return slot >= 0 && slot < SlotCount && RegisterOfAddress(address) < RegisterCount;
}

// The reply of IoctlQueryPorts: one entry per LPT slot, little-endian, 24 bytes.
// Asking holds nothing and touches no register.
enum TPortFlags : uint8_t {
  PortPresent = 0x01,    // the slot has a port
  PortSimulated = 0x02,  // the port is the driver's simulation, not hardware
  PortBaseKnown = 0x04,  // Base holds the port's I/O base address
  PortHeld = 0x08,       // another program holds the port now; a transfer would be refused as busy
  PortLoopback = 0x10,   // a simulated port whose inputs follow its loopback plug, not its far side
  PortInterrupt = 0x20,  // the system delivers the port's interrupt: IoctlInterruptWait can serve it
};
constexpr uint8_t PortFlagsKnown =
    PortPresent | PortSimulated | PortBaseKnown | PortHeld | PortLoopback | PortInterrupt;
struct TPortQueryEntry {
  uint8_t Flags;
  uint8_t SystemNumber;  // n of the name the system itself gives the port (Windows' LPTn), 0 when none
  uint16_t Base;         // 0 unless PortBaseKnown
  uint32_t Holder;       // the process holding the port when PortHeld and the system can tell, else 0
};
struct TPortQueryReply {
  TPortQueryEntry Ports[SlotCount];
};
static_assert(sizeof(TPortQueryEntry) == 8 && sizeof(TPortQueryReply) == 24, "the reply's wire layout");

// The request and reply of IoctlSimulatedInputs, 4 bytes each way. Lines are
// ERR, SEL, PE, ACK, BUSY in bits 0-4, as levels at the connector pins; a line
// not driven floats high, as a port's pull-ups make it.
constexpr uint8_t SimulatedInputLines = 0x1F;
struct TSimulatedInputs {
  uint8_t Slot;    // 0-2
  uint8_t Change;  // 1: take Driven and Levels; 0: only report them
  uint8_t Driven;  // the lines the far end drives
  uint8_t Levels;  // their levels; only bits that are driven may be set
};
static_assert(sizeof(TSimulatedInputs) == 4, "the far side's wire layout");

// Whether a well-shaped far-side request asks for something that can be.
constexpr bool IsValidSimulatedInputs(const TSimulatedInputs& inputs) {
  return inputs.Slot < SlotCount && inputs.Change <= 1 && !(inputs.Driven & ~SimulatedInputLines) &&
         !(inputs.Levels & ~inputs.Driven);
}

// The request of IoctlInterruptWait, 4 bytes; its reply is the count, 4
// bytes, little-endian. A wait is short so that a session's other requests
// never queue behind it for long; a longer wait is several.
constexpr uint32_t MaxInterruptWaitMs = 1000;
struct TInterruptWait {
  uint8_t Slot;          // 0-2
  uint8_t Reserved;      // 0
  uint8_t TimeoutMs[2];  // little-endian; 0 only takes the count
  constexpr uint32_t Timeout() const { return TimeoutMs[0] | uint32_t(TimeoutMs[1]) << 8; }
};
static_assert(sizeof(TInterruptWait) == 4, "the interrupt wait's wire layout");

constexpr bool IsValidInterruptWait(const TInterruptWait& wait) {
  return wait.Slot < SlotCount && wait.Reserved == 0 && wait.Timeout() <= MaxInterruptWaitMs;
}

enum class TRequestVerdict {
  Accept,            // serve it
  UnknownCode,       // not one of the codes above
  InvalidParameter,  // a known code with buffers or addresses that break its rules
};

// Checks the shape of a request before anything is read from it. A batch has
// input and output of the same even, non-zero length up to MaxBatchLength; a
// query has no input and room for exactly one reply; a far-side request has
// one record each way; an interrupt wait has its record in and the count out.
constexpr TRequestVerdict CheckRequestShape(uint32_t code, const void* in, uint32_t inLength, const void* out,
                                            uint32_t outLength) {
  auto verdict = [](bool shaped) {
    return shaped ? TRequestVerdict::Accept : TRequestVerdict::InvalidParameter;
  };
  if (code == IoctlQueryPorts) return verdict(inLength == 0 && out && outLength == sizeof(TPortQueryReply));
  if (code == IoctlSimulatedInputs)
    return verdict(in && out && inLength == sizeof(TSimulatedInputs) &&
                   outLength == sizeof(TSimulatedInputs));
  if (code == IoctlInterruptWait)
    return verdict(in && out && inLength == sizeof(TInterruptWait) && outLength == 4);
  if (code != IoctlBatchRead && code != IoctlBatchWrite) return TRequestVerdict::UnknownCode;
  return verdict(in && out && inLength != 0 && inLength % PairSize == 0 && inLength <= MaxBatchLength &&
                 inLength == outLength);
}

// The Windows error code a verdict is answered with: ERROR_SUCCESS,
// ERROR_INVALID_FUNCTION or ERROR_INVALID_PARAMETER (their values; this
// header includes no system header). The kernel driver turns it into its
// status as it does the bank's errors.
constexpr uint32_t VerdictError(TRequestVerdict verdict) {
  switch (verdict) {
    case TRequestVerdict::Accept: return 0;
    case TRequestVerdict::UnknownCode: return 1;
    case TRequestVerdict::InvalidParameter: break;
  }
  return 87;
}

// Requests that change what a port drives need a handle opened for writing,
// where the system tells handles apart by their access.
// Call it on a request whose shape was accepted.
constexpr bool NeedsWriteAccess(uint32_t code, const uint8_t* in) {
  return code == IoctlBatchWrite || (code == IoctlSimulatedInputs && in[1] != 0);  // Change
}

// Checks every address of a batch. Call it on the driver's private copy of the
// pairs, never on a buffer the caller can still change.
constexpr bool AreValidPairs(const uint8_t* pairs, uint32_t length) {
  for (uint32_t i = 0; i < length; i += PairSize)
    if (!IsValidAddress(pairs[i])) return false;
  return true;
}

}  // namespace lptwdmio
