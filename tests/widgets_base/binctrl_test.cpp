#include <gtest/gtest.h>

#include "AbFlashT.h"
#include "probe.h"
#include "sysutils.h"
#include "widget_fixture.h"

namespace {

class BinControlTest : public WidgetTest {
 protected:
  TProbe* Make(TMode mode = mIndicator, int bit = 0, int group = 0) {
    auto* p = new TProbe(Form);
    p->SetBounds(0, 0, 20, 20);
    p->SetMode(mode);
    p->SetStatusBit(bit);
    p->SetGroupIndex(group);
    p->Log.clear();
    return p;
  }
  void Press(TControl* c, TMouseButton b = mbLeft) { c->DispatchMouseDown(b, {}, 2, 2, false); }
  void Release(TControl* c, TMouseButton b = mbLeft) { c->DispatchMouseUp(b, {}, 2, 2); }
  static std::vector<TFlashEntry> EntriesOf(const TAbBinGControl* c) {
    std::vector<TFlashEntry> found;
    for (const auto& e : FlashState().FlashList)
      if (e.Control == c) found.push_back(e);
    return found;
  }
};

TEST_F(BinControlTest, ConstructorMakesTheOwnerTheParent) {
  auto* p = Make();
  EXPECT_EQ(p->Parent(), Form);
  EXPECT_EQ(p->Mode(), mIndicator);
  EXPECT_EQ(p->Frequency(), ff1Hz);
  TProbe orphan(nullptr);
  EXPECT_EQ(orphan.Parent(), nullptr);
}

TEST_F(BinControlTest, NonWindowedOwnerIsRejected) {
  auto* p = Make();
  EXPECT_THROW(TProbe{p}, EInvalidCast);
  EXPECT_EQ(p->ComponentCount(), 0);
}

TEST_F(BinControlTest, SameCheckedValueDoesNothing) {
  auto* p = Make();
  int events = 0;
  p->OnStatusChanged = [&](TObject*) { ++events; };
  p->SetChecked(false);
  EXPECT_EQ(events, 0);
  EXPECT_TRUE(p->Log.empty());
}

TEST_F(BinControlTest, CheckingSetsTheBitWithOneEventEach) {
  auto* p = Make(mIndicator, 3);
  int status = 0, statusInt = 0;
  p->OnStatusChanged = [&](TObject* s) {
    EXPECT_EQ(s, p);
    ++status;
  };
  p->OnStatusIntChanged = [&](TObject*) { ++statusInt; };
  p->SetChecked(true);
  EXPECT_EQ(p->StatusInt(), 8);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(statusInt, 1);
  EXPECT_EQ(p->Log, (std::vector<std::string>{"StatusInt", "State"}));
}

TEST_F(BinControlTest, StatusIntDrivesChecked) {
  auto* p = Make(mIndicator, 3);
  p->SetStatusInt(0x0C);
  EXPECT_TRUE(p->Checked());
  p->SetStatusInt(0x04);
  EXPECT_FALSE(p->Checked());
  EXPECT_EQ(p->StatusInt(), 0x04);
}

TEST_F(BinControlTest, StatusBitOutOfRangeIsIgnored) {
  auto* p = Make(mIndicator, 5);
  p->SetStatusBit(32);
  p->SetStatusBit(-1);
  EXPECT_EQ(p->StatusBit(), 5);
  p->SetStatusInt(std::int32_t(0x80000000u));
  p->SetStatusBit(31);
  EXPECT_TRUE(p->Checked());
}

TEST_F(BinControlTest, IndicatorClickChangesNothingButReportsThePress) {
  auto* p = Make(mIndicator);
  int downs = 0;
  p->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
  Press(p);
  Release(p);
  EXPECT_EQ(downs, 1);
  EXPECT_FALSE(p->Checked());
  EXPECT_EQ(p->StatusInt(), 0);
}

TEST_F(BinControlTest, ButtonIsCheckedOnlyWhileHeld) {
  auto* p = Make(mButton);
  bool checkedAtMouseDown = false;
  p->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { checkedAtMouseDown = p->Checked(); };
  Press(p);
  EXPECT_TRUE(checkedAtMouseDown);
  EXPECT_TRUE(p->Pressed());
  Release(p);
  EXPECT_FALSE(p->Checked());
  EXPECT_FALSE(p->Pressed());
  Press(p, mbRight);
  EXPECT_FALSE(p->Checked());
  Release(p, mbRight);
}

TEST_F(BinControlTest, SwitchTogglesOnPress) {
  auto* p = Make(mSwitch);
  Press(p);
  Release(p);
  EXPECT_TRUE(p->Checked());
  Press(p);
  EXPECT_FALSE(p->Checked());
  Release(p);
  EXPECT_FALSE(p->Checked());
  EXPECT_EQ(p->Log.back(), "State");
}

TEST_F(BinControlTest, ButtonModeClearsStatusEvenWhenUnchanged) {
  auto* p = Make(mButton, 2);
  p->SetStatusInt(0x0F);
  EXPECT_TRUE(p->Checked());
  p->SetMode(mButton);
  EXPECT_EQ(p->StatusInt(), 0);
  EXPECT_FALSE(p->Checked());
  p->SetMode(mRadioButton);
  EXPECT_EQ(p->StatusInt(), 1);
}

TEST_F(BinControlTest, RadioGroupChecksExactlyThePressedMember) {
  TProbe* m[3];
  for (int i = 0; i < 3; ++i) m[i] = Make(mRadioButton, i, 1);
  Press(m[1]);
  Release(m[1]);
  for (auto* p : m) EXPECT_EQ(p->StatusInt(), 2);
  EXPECT_FALSE(m[0]->Checked());
  EXPECT_TRUE(m[1]->Checked());
  EXPECT_FALSE(m[2]->Checked());
  Press(m[2]);
  for (auto* p : m) EXPECT_EQ(p->StatusInt(), 4);
  EXPECT_FALSE(m[1]->Checked());
}

TEST_F(BinControlTest, SwitchGroupSharesTheWord) {
  auto* a = Make(mSwitch, 0, 5);
  auto* b = Make(mSwitch, 1, 5);
  Press(a);
  EXPECT_EQ(a->StatusInt(), 1);
  EXPECT_EQ(b->StatusInt(), 1);
  Press(b);
  EXPECT_EQ(a->StatusInt(), 3);
  EXPECT_EQ(b->StatusInt(), 3);
  EXPECT_TRUE(a->Checked());
  EXPECT_TRUE(b->Checked());
}

TEST_F(BinControlTest, GroupZeroNeverPropagates) {
  auto* a = Make(mSwitch, 0, 0);
  auto* b = Make(mSwitch, 1, 0);
  a->SetStatusInt(3);
  EXPECT_EQ(b->StatusInt(), 0);
}

TEST_F(BinControlTest, JoiningAGroupTakesTheFirstMembersWord) {
  auto* a = Make(mIndicator, 0, 7);
  a->SetStatusInt(6);
  auto* b = Make(mIndicator, 1);
  b->SetGroupIndex(7);
  EXPECT_EQ(b->StatusInt(), 6);
  EXPECT_TRUE(b->Checked());
  EXPECT_EQ(b->Log.back(), "Group");
  auto* lone = Make(mIndicator, 0);
  lone->SetStatusInt(9);
  lone->SetGroupIndex(8);
  EXPECT_EQ(lone->StatusInt(), 9);
  lone->SetGroupIndex(-1);
  EXPECT_EQ(lone->GroupIndex(), 8);
}

TEST_F(BinControlTest, FlashMessageAndCaptionReachTheHooks) {
  auto* p = Make();
  p->Perform(WM_FLASHPHASE, 123, 1);
  p->Perform(WM_FLASHPHASE, 124, 0);
  EXPECT_EQ(p->Phases, (std::vector<bool>{true, false}));
  p->SetCaption("new");
  EXPECT_EQ(p->Log, (std::vector<std::string>{"Content"}));
}

TEST_F(BinControlTest, SubscribedExactlyWhileCheckedAndFlashing) {
  auto* p = Make();
  p->SetFlashing(true);
  EXPECT_TRUE(EntriesOf(p).empty());
  p->SetChecked(true);
  ASSERT_EQ(EntriesOf(p).size(), 1u);
  EXPECT_EQ(EntriesOf(p)[0].Bit, 5);
  p->SetFrequency(ff8Hz);
  ASSERT_EQ(EntriesOf(p).size(), 1u);
  EXPECT_EQ(EntriesOf(p)[0].Bit, 2);
  p->SetChecked(false);
  EXPECT_TRUE(EntriesOf(p).empty());
  EXPECT_TRUE(p->Flashing());
  p->SetFrequency(ff05Hz);
  EXPECT_TRUE(EntriesOf(p).empty());
  p->SetChecked(true);
  EXPECT_EQ(EntriesOf(p)[0].Bit, 6);
}

TEST_F(BinControlTest, DestroyingASubscribedControlLeavesNoEntry) {
  auto* p = Make();
  p->SetFlashing(true);
  p->SetChecked(true);
  ASSERT_EQ(EntriesOf(p).size(), 1u);
  Free(p);
  EXPECT_TRUE(EntriesOf(p).empty());
}

}  // namespace
