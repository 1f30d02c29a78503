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
static_assert(IoctlBatchRead == 0x220050 && IoctlBatchWrite == 0x220060 && IoctlQueryPorts == 0x220070);

constexpr int SlotCount = 3;      // LPT1, LPT2, LPT3
constexpr int RegisterCount = 3;  // data, status, control

// A batch is an array of {address, value} pairs; the address is the port
// prefix (0x10, 0x20, 0x30) ORed with the register offset (0, 1, 2).
constexpr uint32_t PairSize = 2;
constexpr int SlotOfAddress(uint8_t address) { return (address >> 4) - 1; }
constexpr int RegisterOfAddress(uint8_t address) { return address & 0x0F; }
// True for 0x10-0x12, 0x20-0x22 and 0x30-0x32; nothing else is ever touched.
constexpr bool IsValidAddress(uint8_t address) {
  const int slot = SlotOfAddress(address);
  return slot >= 0 && slot < SlotCount && RegisterOfAddress(address) < RegisterCount;
}

// The reply of IoctlQueryPorts: one entry per LPT slot, little-endian, 12 bytes.
enum TPortFlags : uint8_t {
  PortPresent = 0x01,    // the slot has a port
  PortSimulated = 0x02,  // the port is the driver's simulation, not hardware
  PortBaseKnown = 0x04,  // Base holds the port's I/O base address
};
struct TPortQueryEntry {
  uint8_t Flags;
  uint8_t Reserved;  // 0
  uint16_t Base;     // 0 unless PortBaseKnown
};
struct TPortQueryReply {
  TPortQueryEntry Ports[SlotCount];
};
static_assert(sizeof(TPortQueryEntry) == 4 && sizeof(TPortQueryReply) == 12, "the reply's wire layout");

enum class TRequestVerdict {
  Accept,            // serve it
  UnknownCode,       // not one of the three codes
  InvalidParameter,  // a known code with buffers or addresses that break its rules
};

// Checks the shape of a request before anything is read from it. A batch has
// input and output of the same even, non-zero length; a query has no input
// and room for exactly one reply.
constexpr TRequestVerdict CheckRequestShape(uint32_t code, const void* in, uint32_t inLength, const void* out,
                                            uint32_t outLength) {
  if (code == IoctlQueryPorts)
    return inLength == 0 && out && outLength == sizeof(TPortQueryReply) ? TRequestVerdict::Accept
                                                                        : TRequestVerdict::InvalidParameter;
  if (code != IoctlBatchRead && code != IoctlBatchWrite) return TRequestVerdict::UnknownCode;
  const bool shaped = in && out && inLength != 0 && inLength % PairSize == 0 && inLength == outLength;
  return shaped ? TRequestVerdict::Accept : TRequestVerdict::InvalidParameter;
}

// Checks every address of a batch. Call it on the driver's private copy of the
// pairs, never on a buffer the caller can still change.
constexpr bool AreValidPairs(const uint8_t* pairs, uint32_t length) {
  for (uint32_t i = 0; i < length; i += PairSize)
    if (!IsValidAddress(pairs[i])) return false;
  return true;
}

}  // namespace lptwdmio
