#include "ConsoleFixture.h"

namespace {

using display::Button;

std::vector<TAbDBLED*> DataLedList(TForm1* f) {
  return {f->AbDBLED2, f->AbDBLED3, f->AbDBLED4, f->AbDBLED5,
          f->AbDBLED6, f->AbDBLED7, f->AbDBLED8, f->AbDBLED9};
}
std::vector<TAbDBLED*> ControlLedList(TForm1* f) {
  return {f->AbDBLED1, f->AbDBLED10, f->AbDBLED11, f->AbDBLED12};
}
std::vector<TAbDBLED*> StatusLedList(TForm1* f) {
  return {f->AbDBLED13, f->AbDBLED14, f->AbDBLED15, f->AbDBLED16, f->AbDBLED17};
}

// Lit state, caption colour and the console's own record agree with a register value.
void ExpectOutputLeds(const std::vector<TAbDBLED*>& leds, std::uint8_t value) {
  for (std::size_t bit = 0; bit < leds.size(); ++bit) {
    const bool lit = (value >> bit) & 1;
    EXPECT_EQ(leds[bit]->Checked(), lit) << leds[bit]->Name();
    EXPECT_EQ(leds[bit]->Font().Color(), lit ? clLime : clGreen) << leds[bit]->Name();
  }
}

}  // namespace

// ------------------------------------------------------------ port selection

using PortSelection = ConsoleTest;

TEST_F(PortSelection, LowestFoundPortIsSelectedAndOthersAvailable) {
  StartWithPorts(true, false, true);
  EXPECT_EQ(Form->SelectedPort, PortLpt1);
  EXPECT_FALSE(Form->PortChangePending);
  EXPECT_TRUE(Form->AbDBLED21->Enabled());
  EXPECT_TRUE(Form->AbDBLED21->Checked());
  EXPECT_EQ(Form->AbDBLED21->Font().Color(), clLime);
  EXPECT_TRUE(Form->AbDBLED23->Enabled());
  EXPECT_FALSE(Form->AbDBLED23->Checked());
  EXPECT_EQ(Form->AbDBLED23->Font().Color(), clGreen);
  EXPECT_EQ(Form->AbDBLED23->LED().ColorOff(), clGreen);
  EXPECT_FALSE(Form->AbDBLED22->Enabled());
  EXPECT_EQ(Form->AbDBLED22->Font().Color(), clGray);
  EXPECT_EQ(Form->AbDBLED22->LED().ColorOff(), clGray);
}

TEST_F(PortSelection, OnlyLpt2FoundCarriesAllStartupTraffic) {
  Device.Ports[1].Present = true;
  Start();
  EXPECT_EQ(Form->SelectedPort, PortLpt2);
  EXPECT_FALSE(Form->AbDBLED21->Enabled());
  EXPECT_FALSE(Form->AbDBLED23->Enabled());
  // After the probes of all three ports, the four start-up accesses go to LPT2.
  const auto tail = Device.Since(Device.Log.size() - 4);
  ASSERT_EQ(tail.size(), 4u);
  for (const TPortAccess& a : tail) EXPECT_EQ(a.Address & 0xF0, PortLpt2);
}

TEST_F(PortSelection, NoPortFoundLeavesSelectionEmptyAndPollsFail) {
  StartWithPorts(false, false, false);
  EXPECT_EQ(Form->SelectedPort, 0);
  EXPECT_TRUE(Form->PortChangePending);
  EXPECT_FALSE(Form->AbDBLED21->Enabled());
  EXPECT_FALSE(Form->AbDBLED22->Enabled());
  EXPECT_FALSE(Form->AbDBLED23->Enabled());
  Tick();
  // Prefix 0 names no register; the device refuses the batch.
  EXPECT_FALSE(Form->AbDBLED18->Checked());
  EXPECT_EQ(Form->Label4->Font().Color(), clRed);
  EXPECT_EQ(Form->SelectedPort, 0);
}

TEST_F(PortSelection, RequestsBetweenTicksEndOnLowestPort) {
  StartWithPorts(true, false, true);
  Click(Form->AbDBLED23);
  Click(Form->AbDBLED21);
  EXPECT_TRUE(Form->PortRequested[piLpt1]);
  EXPECT_TRUE(Form->PortRequested[piLpt3]);
  Tick();
  EXPECT_EQ(Form->SelectedPort, PortLpt1);
  EXPECT_FALSE(Form->PortChangePending);
  EXPECT_FALSE(Form->PortRequested[piLpt1]);
  EXPECT_FALSE(Form->PortRequested[piLpt3]);
  EXPECT_FALSE(Form->AbDBLED23->Checked());
  EXPECT_EQ(Form->AbDBLED23->Font().Color(), clGreen);
  EXPECT_TRUE(Form->AbDBLED21->Checked());
}

TEST_F(PortSelection, RequestTakesEffectAtNextTickForTheWholeTick) {
  StartWithPorts(true, true, false);
  Tick();
  Click(Form->AbDBLED22);
  // Nothing changes before the poll.
  EXPECT_EQ(Form->SelectedPort, PortLpt1);
  EXPECT_TRUE(Form->AbDBLED21->Checked());
  const std::size_t mark = Device.Log.size();
  Tick();
  const auto tick = Device.Since(mark);
  ASSERT_FALSE(tick.empty());
  for (const TPortAccess& a : tick) EXPECT_EQ(a.Address & 0xF0, PortLpt2);
  EXPECT_TRUE(Form->AbDBLED22->Checked());
  EXPECT_EQ(Form->AbDBLED22->Font().Color(), clLime);
  EXPECT_FALSE(Form->AbDBLED21->Checked());
  EXPECT_EQ(Form->AbDBLED21->Font().Color(), clGreen);
}

TEST_F(PortSelection, DisabledIndicatorTakesNoRequest) {
  StartWithPorts(true, false, false);
  Click(Form->AbDBLED23);
  EXPECT_FALSE(Form->PortRequested[piLpt3]);
  EXPECT_FALSE(Form->PortChangePending);
}

TEST_F(PortSelection, WrittenBytesRefreshTheirLeds) {
  StartWithPorts(true, false, false);
  Enter(Form->Edit1, "A5", Form->AbColBitBtn4);
  EXPECT_EQ(Form->DataShadow, 0xA5);
  ExpectOutputLeds(DataLedList(Form), 0xA5);
  for (int line : {olD0, olD2, olD5, olD7}) EXPECT_TRUE(Form->OutputLedOn[line]);
  for (int line : {olD1, olD3, olD4, olD6}) EXPECT_FALSE(Form->OutputLedOn[line]);

  Enter(Form->Edit3, "F3", Form->AbColBitBtn5);
  EXPECT_EQ(Form->ControlShadow, 0xF3);
  ExpectOutputLeds(ControlLedList(Form), 0x03);
}

// ------------------------------------------------------------ start-up

using Startup = ConsoleTest;

TEST_F(Startup, UnusableConnectionReportsCodeAndTerminates) {
  Device.OpenError = ERROR_ACCESS_DENIED;
  AnswerAfterTurns = 5;
  std::vector<bool> connectionLit;
  int requestsDuringBox = -1;
  OnBoxTurn = [&](int) {
    connectionLit.push_back(Form->AbDBLED18->Checked());
    requestsDuringBox = Device.Requests;
  };
  Start();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Ошибка при создании объекта Lpt, код = 5");
  EXPECT_EQ(Boxes[0].Caption, "ERROR");
  EXPECT_EQ(Boxes[0].Flags, MB_OK);
  EXPECT_TRUE(App->Terminated());
  // The box's loop kept polling; none of those polls reached a device.
  EXPECT_EQ(connectionLit.size(), 6u);
  for (bool lit : connectionLit) EXPECT_FALSE(lit);
  EXPECT_EQ(requestsDuringBox, 0);
  // Start-up ran to its end against the unusable connection.
  EXPECT_EQ(Form->ControlShadow, 0);
  EXPECT_EQ(Form->Edit3->Text(), "00");
  EXPECT_FALSE(Form->AbDBLED21->Enabled());
}

TEST_F(Startup, ControlLowNibbleIsClearedAndWrittenBack) {
  Device.Ports[0].Control = 0x5A;
  StartWithPorts(true, false, false);
  EXPECT_EQ(Form->ControlShadow, 0x50);
  EXPECT_EQ(Device.Ports[0].Control, 0x50);
  EXPECT_EQ(Form->Edit3->Text(), "50");
  ExpectOutputLeds(ControlLedList(Form), 0x00);
}

TEST_F(Startup, DataIsClearedBeforeControlIsRead) {
  Device.Ports[0].Data = 0x3C;
  Device.Ports[0].Status = 0x58;
  StartWithPorts(true, false, false);
  EXPECT_EQ(Device.Ports[0].Data, 0x00);
  const auto tail = Device.Since(Device.Log.size() - 4);
  const std::vector<TPortAccess> expected = {
      {true, Addr(PortLpt1, RegData), 0x00},
      {false, Addr(PortLpt1, RegControl), 0xC0},
      {true, Addr(PortLpt1, RegControl), 0xC0},
      {false, Addr(PortLpt1, RegStatus), 0x58},
  };
  EXPECT_EQ(tail, expected);
  EXPECT_EQ(Form->StatusByte, 0x58);
  // The form-file look stays until the first poll.
  EXPECT_EQ(Form->Label2->Caption(), "00");
  EXPECT_EQ(Form->Edit1->Text(), "00");
}

TEST_F(Startup, ShutdownClosesConnectionAndKeepsOutputs) {
  StartWithPorts(true, false, false);
  Click(Form->AbDBLED9);
  Tick();
  ASSERT_EQ(Device.Ports[0].Data, 0x80);
  EXPECT_GT(emulation::OpenHandleCount(), 0u);
  const std::size_t mark = Device.Log.size();
  App.reset();  // frees the window: FormDestroy
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
  EXPECT_TRUE(Device.Since(mark).empty());
  EXPECT_EQ(Device.Ports[0].Data, 0x80);
}

// ------------------------------------------------------------ poll

class Poll : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    Device.Ports[0].Present = true;
  }
};

TEST_F(Poll, Status78LightsFourLinesRed) {
  Device.Ports[0].Status = 0x78;
  Start();
  Tick();
  const auto leds = StatusLedList(Form);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(leds[i]->Checked()) << i;
    EXPECT_EQ(leds[i]->Font().Color(), clRed) << i;
  }
  EXPECT_FALSE(leds[4]->Checked());
  EXPECT_EQ(leds[4]->Font().Color(), TColor(0x585858));
  EXPECT_EQ(Form->Label2->Caption(), "78");
  EXPECT_TRUE(Form->AbDBLED18->Checked());
  EXPECT_EQ(Form->Label4->Font().Color(), clLime);
  EXPECT_EQ(Form->Label5->Font().Color(), clLime);
}

TEST_F(Poll, Status07LeavesAllLinesGrey) {
  Device.Ports[0].Status = 0x07;
  Start();
  Tick();
  for (TAbDBLED* led : StatusLedList(Form)) {
    EXPECT_FALSE(led->Checked());
    EXPECT_EQ(led->Font().Color(), TColor(0x585858));
  }
  EXPECT_EQ(Form->Label2->Caption(), "07");
}

TEST_F(Poll, SuccessfulTickWritesCopiesThenReadsStatus) {
  Start();
  Click(Form->AbDBLED5);  // D3
  const std::size_t mark = Device.Log.size();
  Tick();
  const std::vector<TPortAccess> expected = {
      {false, Addr(PortLpt1, RegData), 0x00},    {false, Addr(PortLpt1, RegStatus), 0x7F},
      {false, Addr(PortLpt1, RegControl), 0xC0}, {true, Addr(PortLpt1, RegData), 0x08},
      {true, Addr(PortLpt1, RegControl), 0xC0},  {false, Addr(PortLpt1, RegStatus), 0x7F},
  };
  EXPECT_EQ(Device.Since(mark), expected);
}

TEST_F(Poll, FailingBatchShowsRedAndWritesNothing) {
  Device.Ports[0].Status = 0x78;
  Start();
  Tick();
  Device.Failing = true;
  Click(Form->AbDBLED2);  // D0
  const std::size_t mark = Device.Log.size();
  Tick(3);
  EXPECT_FALSE(Form->AbDBLED18->Checked());
  EXPECT_EQ(Form->Label4->Font().Color(), clRed);
  EXPECT_EQ(Form->Label5->Font().Color(), clRed);
  EXPECT_EQ(Form->Label2->Caption(), "78");
  EXPECT_TRUE(Form->AbDBLED13->Checked());
  EXPECT_TRUE(Device.Since(mark).empty());
  EXPECT_EQ(Device.Ports[0].Data, 0x00);
  EXPECT_EQ(Form->DataShadow, 0x01);

  Device.Failing = false;
  Tick();
  EXPECT_EQ(Device.Ports[0].Data, 0x01);
  EXPECT_TRUE(Form->AbDBLED18->Checked());
}

TEST_F(Poll, ClickedBitReachesPortOnlyAtNextTick) {
  Start();
  Tick();
  Click(Form->AbDBLED9);  // D7
  EXPECT_EQ(Device.Ports[0].Data, 0x00);
  Tick();
  EXPECT_EQ(Device.Ports[0].Data, 0x80);
}

TEST_F(Poll, SteadyPortPresentsNothing) {
  Device.Ports[0].Status = 0x78;
  Start();
  Tick(2);
  const std::uint64_t before = Window->UploadedPixels();
  Tick(5);
  EXPECT_EQ(Window->UploadedPixels(), before);
}

// ------------------------------------------------------------ commands

class Commands : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    Device.Ports[0].Present = true;
    Start();
  }
};

TEST_F(Commands, DataLedClickTogglesBitAndField) {
  Click(Form->AbDBLED9);
  EXPECT_TRUE(Form->AbDBLED9->Checked());
  EXPECT_EQ(Form->AbDBLED9->Font().Color(), clLime);
  EXPECT_EQ(Form->DataShadow, 0x80);
  EXPECT_EQ(Form->Edit1->Text(), "80");
  Click(Form->AbDBLED9);
  EXPECT_FALSE(Form->AbDBLED9->Checked());
  EXPECT_EQ(Form->AbDBLED9->Font().Color(), clGreen);
  EXPECT_EQ(Form->Edit1->Text(), "00");
}

TEST_F(Commands, RightAndMiddleButtonsToggleToo) {
  Click(Form->AbDBLED2, Button::Right);
  EXPECT_EQ(Form->DataShadow, 0x01);
  Click(Form->AbDBLED10, Button::Middle);
  EXPECT_EQ(Form->ControlShadow & 0x0F, 0x02);
  EXPECT_TRUE(Form->AbDBLED10->Checked());
}

TEST_F(Commands, DoubleClickCountsAsTwoPresses) {
  DoubleClick(Form->AbDBLED4);
  EXPECT_FALSE(Form->AbDBLED4->Checked());
  EXPECT_EQ(Form->DataShadow, 0x00);
  DoubleClick(Form->AbColBitBtn6);
  EXPECT_EQ(Form->DataShadow, 0x02);
  EXPECT_EQ(Form->Edit1->Text(), "02");
}

TEST_F(Commands, StrClickOnF0) {
  Enter(Form->Edit3, "F0", Form->AbColBitBtn5);
  Click(Form->AbDBLED1);
  EXPECT_EQ(Form->ControlShadow, 0xF1);
  EXPECT_TRUE(Form->AbDBLED1->Checked());
  EXPECT_EQ(Form->AbDBLED1->Font().Color(), clLime);
  EXPECT_EQ(Form->Edit3->Text(), "F1");
}

TEST_F(Commands, DataStepsWrapAround) {
  Enter(Form->Edit1, "FF", Form->AbColBitBtn4);
  const std::size_t mark = Device.Log.size();
  Click(Form->AbColBitBtn6);
  EXPECT_EQ(Form->DataShadow, 0x00);
  EXPECT_EQ(Form->Edit1->Text(), "00");
  ExpectOutputLeds(DataLedList(Form), 0x00);
  Click(Form->AbColBitBtn7);
  EXPECT_EQ(Form->DataShadow, 0xFF);
  ExpectOutputLeds(DataLedList(Form), 0xFF);
  EXPECT_EQ(Form->Edit1->Text(), "FF");
  EXPECT_TRUE(Device.Since(mark).empty());  // steps leave the port to the poll
}

TEST_F(Commands, ControlStepsWrapInLowNibbleOnly) {
  struct Case {
    const char* start;
    TControl* button;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {"5F", Form->AbColBitBtn8, 0x50},
      {"57", Form->AbColBitBtn8, 0x58},
      {"50", Form->AbColBitBtn9, 0x5F},
      {"5A", Form->AbColBitBtn9, 0x59},
  };
  for (const Case& c : cases) {
    Enter(Form->Edit3, c.start, Form->AbColBitBtn5);
    Click(c.button);
    EXPECT_EQ(Form->ControlShadow, c.expected) << c.start;
    EXPECT_EQ(Form->Edit3->Text(), Hex2(c.expected)) << c.start;
    ExpectOutputLeds(ControlLedList(Form), c.expected & 0x0F);
  }
}

TEST_F(Commands, DataEntryAcceptsOnlyHexDigits) {
  Form->Edit1->SetText("");
  Form->Edit1->SetFocus();
  Window->Type("g");
  App->ProcessMessages();
  EXPECT_EQ(Form->Edit1->Text(), "");
  Window->Type("a");
  Window->Type("z");
  Window->Type("5");
  App->ProcessMessages();
  EXPECT_EQ(Form->Edit1->Text(), "A5");
  Window->Type("\b");  // backspace passes the filter
  App->ProcessMessages();
  EXPECT_EQ(Form->Edit1->Text(), "A");
}

TEST_F(Commands, ControlEntryTakesAnyCharacter) {
  Form->Edit3->SetText("");
  Form->Edit3->SetFocus();
  Window->Type("gx");
  App->ProcessMessages();
  EXPECT_EQ(Form->Edit3->Text(), "gx");
}

TEST_F(Commands, EmptyDataEntryWritesZeroAtOnce) {
  Enter(Form->Edit1, "3C", Form->AbColBitBtn4);
  EXPECT_EQ(Device.Ports[0].Data, 0x3C);
  Enter(Form->Edit1, "", Form->AbColBitBtn4);
  EXPECT_EQ(Device.Ports[0].Data, 0x00);
  ExpectOutputLeds(DataLedList(Form), 0x00);
  EXPECT_EQ(Form->Edit1->Text(), "");
}

TEST_F(Commands, SingleDigitEntryStaysAsTyped) {
  Enter(Form->Edit1, "5", Form->AbColBitBtn4);
  EXPECT_EQ(Form->DataShadow, 0x05);
  EXPECT_EQ(Form->Edit1->Text(), "5");
}

TEST_F(Commands, ControlEntryWritesAllEightBits) {
  Enter(Form->Edit3, "FF", Form->AbColBitBtn5);
  EXPECT_EQ(Form->ControlShadow, 0xFF);
  EXPECT_EQ(Device.Ports[0].Control, 0xFF);
  ExpectOutputLeds(ControlLedList(Form), 0x0F);
  EXPECT_EQ(Form->Edit3->Text(), "FF");
}

TEST_F(Commands, BadControlEntryShowsErrorAndChangesNothing) {
  Enter(Form->Edit3, "3", Form->AbColBitBtn5);
  const std::size_t mark = Device.Log.size();
  Boxes.clear();
  Enter(Form->Edit3, "g", Form->AbColBitBtn5);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "'$0g' is not a valid integer value.");
  EXPECT_EQ(Boxes[0].Caption, App->Title());
  EXPECT_EQ(Boxes[0].Flags, MB_OK | MB_ICONERROR);
  EXPECT_EQ(Form->ControlShadow, 0x03);
  EXPECT_TRUE(Device.Since(mark).empty());
  ExpectOutputLeds(ControlLedList(Form), 0x03);
  // The window goes on working.
  Tick();
  EXPECT_TRUE(Form->AbDBLED18->Checked());
}

// ------------------------------------------------------------ caption toggle

class CaptionToggle : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    Device.Ports[0].Present = true;
    Start();
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (TAbDBLED* led :
         {Form->AbDBLED1, Form->AbDBLED2, Form->AbDBLED3, Form->AbDBLED4, Form->AbDBLED5, Form->AbDBLED6,
          Form->AbDBLED7, Form->AbDBLED8, Form->AbDBLED9, Form->AbDBLED10, Form->AbDBLED11, Form->AbDBLED12,
          Form->AbDBLED13, Form->AbDBLED14, Form->AbDBLED15, Form->AbDBLED16, Form->AbDBLED17})
      out.push_back(led->Caption());
    return out;
  }
  const std::vector<std::string> Pins = {"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8", "9",
                                         "14", "16", "17", "15", "13", "12", "10", "11"};
  const std::vector<std::string> Names = {"STR",   "D0",   "D1",    "D2",  "D3",  "D4", "D5",  "D6",  "D7",
                                          "LF/CR", "INIT", "SELIN", "ERR", "SEL", "PE", "ASK", "BUSY"};
};

TEST_F(CaptionToggle, PressesAlternatePinsAndNames) {
  EXPECT_EQ(Form->AbDBLED15->Caption(), "PAP");
  Click(Form->AbColBitBtn2);
  EXPECT_EQ(Captions(), Pins);
  EXPECT_FALSE(Form->ShowNames);
  EXPECT_TRUE(Form->AbColBitBtn2->Checked());
  Click(Form->AbColBitBtn2);
  EXPECT_EQ(Captions(), Names);
  EXPECT_TRUE(Form->ShowNames);
  EXPECT_FALSE(Form->AbColBitBtn2->Checked());
}

TEST_F(CaptionToggle, RightPressSwitchesCaptionsButNotFace) {
  Click(Form->AbColBitBtn2, Button::Right);
  EXPECT_EQ(Captions(), Pins);
  EXPECT_FALSE(Form->AbColBitBtn2->Checked());
}

TEST_F(CaptionToggle, DoubleClickEndsAsItWas) {
  Click(Form->AbColBitBtn2);
  DoubleClick(Form->AbColBitBtn2);
  EXPECT_EQ(Captions(), Pins);
  EXPECT_TRUE(Form->AbColBitBtn2->Checked());
}

TEST_F(CaptionToggle, TogglesCaptionsOnly) {
  Click(Form->AbDBLED3);
  Click(Form->AbColBitBtn2);
  Tick();
  EXPECT_EQ(Captions(), Pins);
  EXPECT_TRUE(Form->AbDBLED3->Checked());
  EXPECT_EQ(Form->AbDBLED3->Font().Color(), clLime);
  EXPECT_EQ(Form->DataShadow, 0x02);
}

// ------------------------------------------------------------ hover help

class HoverHelp : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    Device.Ports[0].Present = true;
    Start();
  }
  std::array<TColor, 3> RegisterColours() const {
    return {Form->StaticText2->Font().Color(), Form->StaticText4->Font().Color(),
            Form->StaticText3->Font().Color()};
  }
  static constexpr std::array<TColor, 3> DataLit{clLime, clGreen, clGreen};
  static constexpr std::array<TColor, 3> ControlLit{clGreen, clLime, clGreen};
  static constexpr std::array<TColor, 3> StatusLit{clGreen, clGreen, clLime};
  static constexpr std::array<TColor, 3> NoneLit{clGreen, clGreen, clGreen};
};

TEST_F(HoverHelp, DataLedShowsDataBitsText) {
  Hover(Form->AbDBLED7);
  EXPECT_EQ(Form->Label1->Caption(), "Выходные биты регистра данных");
  EXPECT_EQ(RegisterColours(), DataLit);
}

TEST_F(HoverHelp, EveryControlShowsItsText) {
  struct Case {
    TControl* control;
    const char* text;
    std::array<TColor, 3> colours;
  };
  const Case cases[] = {
      {Form->StaticText2, "Регистр данных", DataLit},
      {Form->StaticText4, "Регистр управления", ControlLit},
      {Form->StaticText3, "Регистр состояния", StatusLit},
      {Form->AbDBLED11, "Выходные биты регистра управления", ControlLit},
      {Form->AbDBLED16, "Входные биты регистра состояния", StatusLit},
      {Form->Label2, "Индикатор регистра состояния (Hex)", StatusLit},
      {Form->Edit1, "Ручной ввод в регистр данных (Hex)", DataLit},
      {Form->AbColBitBtn5, "Ручной ввод в регистр управления (Hex)", ControlLit},
      {Form->AbColBitBtn8, "Инкремент регистра управления", ControlLit},
      {Form->AbColBitBtn9, "Декремент регистра управления", ControlLit},
  };
  for (const Case& c : cases) {
    Hover(c.control);
    EXPECT_EQ(Form->Label1->Caption(), c.text) << c.control->Name();
    EXPECT_EQ(RegisterColours(), c.colours) << c.control->Name();
  }
}

TEST_F(HoverHelp, StepButtonsSideBySideKeepDataHighlight) {
  Hover(Form->AbColBitBtn6);
  EXPECT_EQ(Form->Label1->Caption(), "Инкремент регистра данных");
  Hover(Form->AbColBitBtn7);
  EXPECT_EQ(Form->Label1->Caption(), "Декремент регистра данных");
  EXPECT_EQ(RegisterColours(), DataLit);
}

TEST_F(HoverHelp, ControlsWithoutRegisterKeepHighlight) {
  Hover(Form->StaticText3);
  Hover(Form->AbColBitBtn2);
  EXPECT_EQ(Form->Label1->Caption(), "Номера ножек или название");
  EXPECT_EQ(RegisterColours(), StatusLit);
  Hover(Form->Label5);
  EXPECT_EQ(Form->Label1->Caption(), "Индикатор связи с LPT портом");
  Hover(Form->AbDBLED21);
  EXPECT_EQ(Form->Label1->Caption(), "Выбор LPT порта");
  EXPECT_EQ(RegisterColours(), StatusLit);
}

TEST_F(HoverHelp, TitleSwapsInCreditUntilBackground) {
  Hover(Form->OvcLabel1);
  EXPECT_EQ(Form->OvcLabel1->Caption(), TForm1::CreditText);
  EXPECT_EQ(Form->OvcLabel2->Caption(), TForm1::ContactText);
  Hover(Form->AbDBLED2);
  EXPECT_EQ(Form->OvcLabel1->Caption(), TForm1::CreditText);
  HoverAt(2, 2);  // bare background
  EXPECT_EQ(Form->OvcLabel1->Caption(), "Pinlark");
  EXPECT_EQ(Form->OvcLabel2->Caption(), "");
  EXPECT_EQ(Form->Label1->Caption(), "");
  EXPECT_EQ(RegisterColours(), NoneLit);
}

TEST_F(HoverHelp, DisabledPortIndicatorActsAsBackground) {
  Hover(Form->AbDBLED2);
  Hover(Form->AbDBLED23);  // LPT3 not found
  EXPECT_EQ(Form->Label1->Caption(), "");
  EXPECT_EQ(RegisterColours(), NoneLit);
}

// ------------------------------------------------------------ stored layout

struct TExpectedControl {
  const char* Name;
  const char* Class;
  int Left, Top, Width, Height;
  const char* Caption;
};

// Every control of the window with its class, bounds and caption, written out
// independently of Unit1Layout.cpp.
const TExpectedControl ExpectedLayout[] = {
    {"Image1", "TImage", 0, 0, 463, 170, ""},
    {"AbDBLED1", "TAbDBLED", 187, 50, 49, 33, "STR"},
    {"AbDBLED2", "TAbDBLED", 215, 9, 17, 33, "D0"},
    {"AbDBLED3", "TAbDBLED", 191, 9, 17, 33, "D1"},
    {"AbDBLED4", "TAbDBLED", 167, 9, 17, 33, "D2"},
    {"AbDBLED5", "TAbDBLED", 143, 9, 17, 33, "D3"},
    {"AbDBLED6", "TAbDBLED", 119, 9, 17, 33, "D4"},
    {"AbDBLED7", "TAbDBLED", 95, 9, 17, 33, "D5"},
    {"AbDBLED8", "TAbDBLED", 71, 9, 17, 33, "D6"},
    {"AbDBLED9", "TAbDBLED", 47, 9, 17, 33, "D7"},
    {"AbDBLED10", "TAbDBLED", 143, 50, 40, 33, "LF/CR"},
    {"AbDBLED11", "TAbDBLED", 100, 50, 30, 33, "INIT"},
    {"AbDBLED12", "TAbDBLED", 47, 50, 41, 33, "SELIN"},
    {"AbDBLED13", "TAbDBLED", 49, 91, 33, 33, "ERR"},
    {"AbDBLED14", "TAbDBLED", 86, 91, 33, 33, "SEL"},
    {"AbDBLED15", "TAbDBLED", 127, 91, 25, 33, "PAP"},
    {"AbDBLED16", "TAbDBLED", 164, 91, 25, 33, "ASC"},
    {"AbDBLED17", "TAbDBLED", 191, 91, 45, 33, "BUSY"},
    {"AbColBitBtn2", "TAbColBitBtn", 280, 101, 89, 21, "Name"},
    {"AbDBLED18", "TAbDBLED", 403, 106, 25, 17, ""},
    {"Label2", "TLabel", 253, 104, 16, 13, "00"},
    {"Label4", "TLabel", 396, 79, 39, 13, "Связь"},
    {"Label5", "TLabel", 387, 91, 58, 13, "с портом"},
    {"AbColBitBtn4", "TAbColBitBtn", 280, 19, 42, 21, "Ввод"},
    {"AbColBitBtn5", "TAbColBitBtn", 280, 60, 42, 21, "Ввод"},
    {"AbColBitBtn6", "TAbColBitBtn", 327, 19, 21, 21, "+"},
    {"AbColBitBtn7", "TAbColBitBtn", 348, 19, 21, 21, "-"},
    {"AbColBitBtn8", "TAbColBitBtn", 327, 60, 21, 21, "+"},
    {"AbColBitBtn9", "TAbColBitBtn", 348, 60, 21, 21, "-"},
    {"AbDBLED22", "TAbDBLED", 394, 36, 50, 18, "LPT2"},
    {"AbDBLED21", "TAbDBLED", 394, 20, 50, 18, "LPT1"},
    {"AbDBLED23", "TAbDBLED", 394, 52, 50, 18, "LPT3"},
    {"OvcLabel1", "TOvcLabel", 16, 138, 137, 25, "Pinlark"},
    {"Label1", "TLabel", 148, 141, 4, 13, ""},
    {"OvcLabel2", "TOvcLabel", 148, 138, 300, 31, ""},
    {"Edit1", "TEdit", 253, 22, 20, 15, "00"},
    {"StaticText3", "TStaticText", 15, 104, 20, 17, "RS"},
    {"StaticText2", "TStaticText", 15, 24, 21, 17, "RD"},
    {"StaticText4", "TStaticText", 15, 64, 20, 17, "RC"},
    {"Edit3", "TEdit", 253, 63, 20, 15, "00"},
    {"Timer1", "TTimer", 0, 0, 0, 0, ""},
};

using StoredLayout = ConsoleTest;

TEST_F(StoredLayout, WindowMatchesItsLayoutTable) {
  Device.Ports[0].Control = 0x00;  // start-up then leaves Edit3 at its stored "00"
  StartWithPorts(true, false, false);
  EXPECT_EQ(Form->Caption(), "Pinlark   v1.0");
  EXPECT_EQ(Window->Width(), 463);
  EXPECT_EQ(Window->Height(), 170);
  EXPECT_FALSE(Window->Params().Resizable);
  EXPECT_FALSE(Window->Params().Maximizable);
  EXPECT_TRUE(Window->Params().Centered);
  EXPECT_EQ(Form->Color(), TColor(0x404040));
  EXPECT_EQ(Form->Icon().Width(), 16);
  EXPECT_EQ(Form->Icon().Height(), 16);
  EXPECT_EQ(Form->Icon().Canvas().Pixel(8, 4), clLime);  // the lamp
  EXPECT_EQ(Window->IconPixels().size(), 16u * 16u);

  const auto& components = Form->Components();
  ASSERT_EQ(components.size(), std::size(ExpectedLayout));
  for (std::size_t i = 0; i < components.size(); ++i) {
    const TExpectedControl& e = ExpectedLayout[i];
    const TComponent* c = components[i];
    SCOPED_TRACE(e.Name);
    EXPECT_EQ(c->Name(), e.Name);
    EXPECT_EQ(c->ClassName(), e.Class);
    auto* control = dynamic_cast<const TControl*>(c);
    if (!control) continue;
    if (auto* button = dynamic_cast<const TAbColBitBtn*>(c)) {
      EXPECT_EQ(button->TextOff(), e.Caption);
    } else if (e.Class != std::string("TImage")) {
      EXPECT_EQ(control->Caption(), e.Caption);
    }
    EXPECT_EQ(control->Left(), e.Left);
    EXPECT_EQ(control->Top(), e.Top);
    // Labels and static texts size themselves to their text in the font found.
    const bool sizesItself = e.Class == std::string("TLabel") || e.Class == std::string("TStaticText");
    if (!sizesItself) {
      EXPECT_EQ(control->Width(), e.Width);
      EXPECT_EQ(control->Height(), e.Height);
    }
  }
  EXPECT_EQ(Form->Timer1->Interval(), 100u);
  EXPECT_TRUE(Form->Timer1->Enabled());
}

TEST_F(StoredLayout, BackgroundPictureShowsPanelsAndWells) {
  StartWithPorts(true, false, false);
  // Presented pixels are 0x00RRGGBB; the greys read the same either way.
  EXPECT_EQ(Window->PixelAt(9, 30) & 0xFFFFFF, 0x191919u);    // innermost dark ring of the RD panel
  EXPECT_EQ(Window->PixelAt(7, 30) & 0xFFFFFF, 0x353535u);    // outermost dark ring
  EXPECT_EQ(Window->PixelAt(38, 30) & 0xFFFFFF, 0x616161u);   // outermost light ring
  EXPECT_EQ(Window->PixelAt(250, 38) & 0xFFFFFF, 0x282828u);  // data entry well
  EXPECT_EQ(Window->PixelAt(39, 30) & 0xFFFFFF, 0x404040u);   // gap between panels
}
