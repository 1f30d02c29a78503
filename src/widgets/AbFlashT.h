// The process-wide flash timer: subscriptions of flashing controls and the
// tick that sends each of them its phase.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "_AbFlash.h"

class TAbBinGControl;

// Only one per process; a second one shows an error box and stays silent.
class TAbFlashTimer : public TAbFlash {
 public:
  explicit TAbFlashTimer(TComponent* owner);
  ~TAbFlashTimer() override;
  std::string ClassName() const override { return "TAbFlashTimer"; }
};

struct TFlashEntry {
  TAbBinGControl* Control = nullptr;
  int Bit = 0;  // tick-counter bit giving the phase, 2..6
  bool LastPhase = false;
};

// All flash state of the process in one place. Touched on the UI thread only.
struct TFlashState {
  TFlashState() = default;
  ~TFlashState();  // program exit frees what remains
  TFlashState(const TFlashState&) = delete;
  TFlashState& operator=(const TFlashState&) = delete;

  struct TFree {
    void operator()(TObject* object) const;
  };
  std::vector<TFlashEntry> FlashList;
  std::uint32_t FlashCounter = 0;
  // Created with the first subscription.
  std::unique_ptr<TAbFlashTimer, TFree> FlashTimerInstance;
  std::uint16_t FlashTimerCount = 0;
};
TFlashState& FlashState();

// Subscribe `control` (or move its subscription) to counter bit `bit`; the
// first subscription creates the flash timer.
void AddFlashControl(TAbBinGControl* control, int bit);
void RemoveFlashControl(TAbBinGControl* control);
// The flash timer's OnTimer handler.
void FlashTick(TObject* sender);
