#include "AbFlashT.h"

#include <algorithm>

#include "_GClass.h"
#include "forms.h"
#include "helpers.h"

namespace {

bool ApplicationDestroying() { return !Application || Application->IsDestroying(); }

// A control that freed itself in its handler is no longer listed.
std::string FlashControlName(TAbBinGControl* control) {
  const auto& list = FlashState().FlashList;
  const bool listed =
      std::any_of(list.begin(), list.end(), [&](const TFlashEntry& e) { return e.Control == control; });
  return listed ? control->ClassName() : "flash control";
}

}  // namespace

TFlashState& FlashState() {
  static TFlashState state;
  return state;
}

TFlashState::~TFlashState() {
  FlashTimerInstance.reset();
  FlashList.clear();
}

void TFlashState::TFree::operator()(TObject* object) const { Free(object); }

TAbFlashTimer::TAbFlashTimer(TComponent* owner) : TAbFlash(owner) {
  auto& state = FlashState();
  ++state.FlashTimerCount;
  if (state.FlashTimerCount == 1) {
    SetOnTimer(FlashTick);
  } else if (Application) {
    Application->MessageBox("Only one TAbFlashTimer per Application!\rRemove it...", "Error Message", MB_OK);
  }
}

TAbFlashTimer::~TAbFlashTimer() { --FlashState().FlashTimerCount; }

void AddFlashControl(TAbBinGControl* control, int bit) {
  if (!control) return;
  auto& state = FlashState();
  auto& list = state.FlashList;
  bool found = false;
  for (auto& entry : list) {
    if (entry.Control == control) {
      entry.Bit = bit;
      found = true;
    }
  }
  if (!found) list.push_back(TFlashEntry{control, bit, false});
  if (list.capacity() - list.size() < 2) list.reserve(list.size() + 10);
  // A timer whose worker has ended (its application went, or a tick failed)
  // is replaced, so flashing never stops for good.
  if (state.FlashTimerInstance && state.FlashTimerInstance->Thread().EndSignal()->IsSet())
    state.FlashTimerInstance.reset();
  if (!state.FlashTimerInstance) state.FlashTimerInstance.reset(new TAbFlashTimer(nullptr));
}

// Every entry of the control goes: a freed control must never stay listed.
void RemoveFlashControl(TAbBinGControl* control) {
  auto& state = FlashState();
  std::erase_if(state.FlashList, [control](const TFlashEntry& e) { return e.Control == control; });
  if (ApplicationDestroying() && state.FlashList.empty()) state.FlashTimerInstance.reset();
}

void FlashTick(TObject*) {
  auto& state = FlashState();
  ++state.FlashCounter;
  const std::size_t count = state.FlashList.size();
  for (std::size_t i = 0; i < count; ++i) {
    // A handler may have shortened the list.
    if (ApplicationDestroying() || i >= state.FlashList.size()) return;
    TAbBinGControl* const control = state.FlashList[i].Control;
    try {
      TFlashEntry& entry = state.FlashList[i];
      const bool phase = ((state.FlashCounter >> entry.Bit) & 1u) != 0;
      if (phase == entry.LastPhase) continue;
      entry.LastPhase = phase;
      entry.Control->Perform(WM_FLASHPHASE, state.FlashCounter, phase ? 1 : 0);
    } catch (...) {
      // One control's fault must not silence the others.
      ReportFault(FlashControlName(control), "flash phase", std::current_exception());
    }
  }
}
