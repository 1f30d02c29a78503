// Which of LPT1-LPT3 a port is: the one rule of both drivers. The bases a
// PC gives its own ports pick their slot (0x3BC LPT1, 0x378 LPT2, 0x278
// LPT3), as the direct path addresses them; any other port (a PCI card)
// takes the free slots in the order the system lists the ports. The system's
// own numbering does not decide: Linux and Windows each number in their own
// order, and the same port should be the same LPT on both. Freestanding, so
// the kernel driver includes it too.
#pragma once

#include "request_rules.h"

namespace lptwdmio {

constexpr long ClassicBases[SlotCount] = {0x3BC, 0x378, 0x278};

// A port whose base the system does not report.
constexpr long UnknownBase = -1;

constexpr int ClassicSlot(long base) {
  for (int slot = 0; slot < SlotCount; ++slot)
    if (ClassicBases[slot] == base) return slot;
  return -1;
}

// Fills slots with, for each slot, the index of the port serving it among
// count ports in the system's order, or -1. baseOf(i) is port i's base or
// UnknownBase. A second port on a classic base is no classic port; it takes
// a free slot as any other would.
template <typename BaseOf>
constexpr void AssignSlotsByBase(int count, BaseOf baseOf, int (&slots)[SlotCount]) {
  for (int& slot : slots) slot = -1;
  for (int port = 0; port < count; ++port) {
    const int slot = ClassicSlot(baseOf(port));
    if (slot >= 0 && slots[slot] < 0) slots[slot] = port;
  }
  auto placed = [&slots](int port) {
    for (const int taken : slots)
      if (taken == port) return true;
    return false;
  };
  int next = 0;
  for (int& slot : slots) {
    if (slot >= 0) continue;
    while (next < count && placed(next)) ++next;
    if (next < count) slot = next++;
  }
}

}  // namespace lptwdmio
