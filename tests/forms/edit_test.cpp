#include "forms_fixture.h"

namespace {

class EditTest : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    Edit = new TEdit(Form);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 100, 20);
    Edit->SetText("");
    Edit->OnChange = [this](TObject*) { ++Changes; };
    ShowForm();
    ASSERT_EQ(Form->ActiveControl(), Edit);
    Changes = 0;
  }
  void Key(std::uint16_t vk, unsigned mods = 0) {
    Win().KeyDown(vk, mods);
    Win().KeyUp(vk, mods);
  }
  TEdit* Edit = nullptr;
  int Changes = 0;
};

TEST_F(EditTest, TypedTextIsLimitedToMaxLengthCharacters) {
  Edit->SetMaxLength(2);
  Win().Type("ABC");
  EXPECT_EQ(Edit->Text(), "AB");
  Win().Type("\xD0\x96");  // a Cyrillic letter counts as one character
  EXPECT_EQ(Edit->Text(), "AB");
  Key(VK_BACK);
  Win().Type("\b\xD0\x96\xD0\x96");
  EXPECT_EQ(Edit->Text(), "A\xD0\x96");
}

TEST_F(EditTest, UpperCaseFieldConvertsTypedAndPastedLetters) {
  Edit->SetCharCase(ecUpperCase);
  Edit->SetMaxLength(4);
  Win().Type("ab");
  EXPECT_EQ(Edit->Text(), "AB");
  Headless.Display().SetClipboardText("cdef\nignored");
  Key('V', display::ModCtrl);
  EXPECT_EQ(Edit->Text(), "ABCD");
}

TEST_F(EditTest, KeyPressHandlerCanDiscardOrReplaceCharacters) {
  Edit->OnKeyPress = [](TObject*, char32_t& key) {
    if (key == U'x') key = 0;
    if (key == U'a') key = U'b';
  };
  Win().Type("axa1");
  EXPECT_EQ(Edit->Text(), "bb1");
  Edit->OnKeyPress = [](TObject*, char32_t& key) { key = 0; };
  Win().Type("\b");
  EXPECT_EQ(Edit->Text(), "bb1");
}

TEST_F(EditTest, BackspaceDeleteAndCaretKeysEdit) {
  Win().Type("abcd");
  Key(VK_LEFT);
  Win().Type("\b");
  EXPECT_EQ(Edit->Text(), "abd");
  Key(VK_HOME);
  Key(VK_DELETE);
  EXPECT_EQ(Edit->Text(), "bd");
  Key(VK_END);
  Win().Type("e");
  EXPECT_EQ(Edit->Text(), "bde");
  Win().Type("\x01\x1b");  // control characters are not inserted
  EXPECT_EQ(Edit->Text(), "bde");
  EXPECT_EQ(Changes, 7);
}

TEST_F(EditTest, ShiftSelectionIsReplacedByTyping) {
  Win().Type("hello");
  Key(VK_LEFT, display::ModShift);
  Key(VK_LEFT, display::ModShift);
  EXPECT_EQ(Edit->SelText(), "lo");
  Win().Type("p");
  EXPECT_EQ(Edit->Text(), "help");
}

TEST_F(EditTest, CopyCutAndPasteGoThroughTheDisplayClipboard) {
  Win().Type("abc");
  Key('A', display::ModCtrl);
  Key('C', display::ModCtrl);
  EXPECT_EQ(Headless.Display().ClipboardText(), "abc");
  Key(VK_LEFT, display::ModShift);
  Key(VK_END);
  Key(VK_LEFT, display::ModShift);
  Key('X', display::ModCtrl);
  EXPECT_EQ(Edit->Text(), "ab");
  EXPECT_EQ(Headless.Display().ClipboardText(), "c");
  Key(VK_HOME);
  Key('V', display::ModCtrl);
  EXPECT_EQ(Edit->Text(), "cab");
}

TEST_F(EditTest, ReadOnlyFieldKeepsItsText) {
  Win().Type("ab");
  Edit->SetReadOnly(true);
  Win().Type("c\b");
  Key(VK_DELETE);
  EXPECT_EQ(Edit->Text(), "ab");
}

TEST_F(EditTest, EnteringTheFieldSelectsItsTextSoTypingReplacesIt) {
  Edit->SetMaxLength(2);
  Edit->SetText("00");
  auto* other = new TEdit(Form);
  other->SetParent(Form);
  other->SetBounds(10, 40, 100, 20);
  Key(VK_TAB);
  EXPECT_EQ(Form->ActiveControl(), other);
  Key(VK_TAB);
  EXPECT_EQ(Form->ActiveControl(), Edit);
  Win().Type("5A");
  EXPECT_EQ(Edit->Text(), "5A");
}

TEST_F(EditTest, ClickingPlacesTheCaretAndFocuses) {
  auto* other = new TEdit(Form);
  other->SetParent(Form);
  other->SetBounds(10, 40, 100, 20);
  other->SetText("xyz");
  Win().Click(10 + 99, 45);
  EXPECT_EQ(Form->ActiveControl(), other);
  EXPECT_EQ(other->SelLength(), 0);
  EXPECT_EQ(other->SelStart(), 3);
  Win().Type("!");
  EXPECT_EQ(other->Text(), "xyz!");
}

TEST_F(EditTest, BorderlessFieldDrawsTextFromTheTopLeftInFontColourOnItsColour) {
  Edit->SetBorderStyle(TBorderStyle::bsNone);
  Edit->SetColor(RGB(0x28, 0x28, 0x28));
  Edit->Font().SetColor(clLime);
  Edit->Font().SetStyle(fsBold);
  Edit->Font().SetHeight(-16);
  Edit->SetText("88");
  Form->SetActiveControl(nullptr);
  Headless.Flush();
  EXPECT_EQ(Pixel(10 + 99, 10 + 19), RGB(0x28, 0x28, 0x28));
  bool lime = false;
  for (int y = 10; y < 30; ++y) {
    for (int x = 10; x < 30; ++x) lime = lime || Pixel(x, y) == clLime;
  }
  EXPECT_TRUE(lime);
}

class TabOrderTest : public FormFixture {};

TEST_F(TabOrderTest, TabVisitsTabStopsInTabOrderAndSkipsTheOthers) {
  std::vector<TEdit*> edits;
  for (int i = 0; i < 4; ++i) {
    auto* e = new TEdit(Form);
    e->SetParent(Form);
    e->SetBounds(10, 10 + 25 * i, 80, 20);
    edits.push_back(e);
  }
  edits[0]->SetTabOrder(3);
  edits[1]->SetTabOrder(0);
  edits[2]->SetTabOrder(1);
  edits[3]->SetTabOrder(2);
  edits[2]->SetTabStop(false);
  ShowForm();
  EXPECT_EQ(Form->ActiveControl(), edits[1]);
  std::vector<TWinControl*> seen;
  for (int i = 0; i < 3; ++i) {
    Win().KeyDown(VK_TAB);
    seen.push_back(Form->ActiveControl());
  }
  EXPECT_EQ(seen, (std::vector<TWinControl*>{edits[3], edits[0], edits[1]}));
  Win().KeyDown(VK_TAB, display::ModShift);
  EXPECT_EQ(Form->ActiveControl(), edits[0]);
  edits[3]->SetEnabled(false);
  Win().KeyDown(VK_TAB);
  EXPECT_EQ(Form->ActiveControl(), edits[1]);
}

}  // namespace
