#include "AbFlashT.h"

#include <algorithm>

#include "_GClass.h"

TFlashState& FlashState() {
  static TFlashState state;
  return state;
}

TFlashState::~TFlashState() {}

void AddFlashControl(TAbBinGControl* control, int bit) {
  if (!control) return;
  auto& list = FlashState().FlashList;
  bool found = false;
  for (auto& entry : list) {
    if (entry.Control == control) {
      entry.Bit = bit;
      found = true;
    }
  }
  if (!found) list.push_back(TFlashEntry{control, bit, false});
  if (list.capacity() - list.size() < 2) list.reserve(list.size() + 10);
}

// Every entry of the control goes: a freed control must never stay listed.
void RemoveFlashControl(TAbBinGControl* control) {
  auto& list = FlashState().FlashList;
  std::erase_if(list, [control](const TFlashEntry& e) { return e.Control == control; });
}
