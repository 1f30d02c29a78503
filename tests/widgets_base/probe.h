// A two-state control that records its hook calls.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "_GClass.h"

class TProbe : public TAbBinGControl {
 public:
  using TAbBinGControl::JoinGroup;
  using TAbBinGControl::TAbBinGControl;
  std::vector<std::string> Log;
  std::vector<bool> Phases;
  std::function<void(bool)> OnPhase;

 protected:
  void ContentChanged() override { Log.push_back("Content"); }
  void StateChanged() override { Log.push_back("State"); }
  void GroupIndexChanged() override { Log.push_back("Group"); }
  void StatusIntChanged() override { Log.push_back("StatusInt"); }
  void FlashPhaseChanged(bool phase) override {
    Phases.push_back(phase);
    if (OnPhase) OnPhase(phase);
  }
};
