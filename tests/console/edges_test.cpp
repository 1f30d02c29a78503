// The console's filters and steps at their limits: the first and last value
// inside each range and the first one outside it.
#include "ConsoleFixture.h"

namespace {

class Edges : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    Device.Ports[0].Present = true;
  }
  std::uint8_t ControlLedBits() const {
    const TAbDBLED* leds[] = {Form->AbDBLED1, Form->AbDBLED10, Form->AbDBLED11, Form->AbDBLED12};
    std::uint8_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= std::uint8_t(leds[i]->Checked() << i);
    return bits;
  }
  std::uint8_t DataLedBits() const {
    const TAbDBLED* leds[] = {Form->AbDBLED2, Form->AbDBLED3, Form->AbDBLED4, Form->AbDBLED5,
                              Form->AbDBLED6, Form->AbDBLED7, Form->AbDBLED8, Form->AbDBLED9};
    std::uint8_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint8_t(leds[i]->Checked() << i);
    return bits;
  }
};

}  // namespace

TEST_F(Edges, DataEntryFilterStopsAtEachRangesNeighbours) {
  Start();
  const struct {
    char32_t Key;
    bool Accepted;
  } keys[] = {
      {U'\x1F', true}, {U' ', false}, {U'/', false},    {U'0', true},  {U'9', true},  {U':', false},
      {U'@', false},   {U'A', true},  {U'F', true},     {U'G', false}, {U'`', false}, {U'a', true},
      {U'f', true},    {U'g', false}, {U'\x7F', false}, {U'\b', true}, {U'Ф', false},
  };
  for (const auto& k : keys) {
    char32_t key = k.Key;
    Form->Edit1KeyPress(Form->Edit1, key);
    EXPECT_EQ(key, k.Accepted ? k.Key : U'\0') << "code " << unsigned(k.Key);
  }
}

// Data steps wrap the byte; control steps wrap the low nibble only (high
// nibbles with bit 4 clear show a carry out of it).
TEST_F(Edges, StepsAtTheirLimits) {
  Start();
  struct TRegister {
    TEdit* TForm1::*Edit;
    TAbColBitBtn* TForm1::*Enter;
    std::uint8_t TForm1::*Shadow;
    std::uint8_t LedMask;
  };
  const TRegister data{&TForm1::Edit1, &TForm1::AbColBitBtn4, &TForm1::DataShadow, 0xFF};
  const TRegister control{&TForm1::Edit3, &TForm1::AbColBitBtn5, &TForm1::ControlShadow, 0x0F};
  const struct {
    const TRegister& Register;
    const char* Start;
    TAbColBitBtn* TForm1::*Step;
    std::uint8_t Expected;
  } cases[] = {
      {data, "FE", &TForm1::AbColBitBtn6, 0xFF},    {data, "FF", &TForm1::AbColBitBtn6, 0x00},
      {data, "7F", &TForm1::AbColBitBtn6, 0x80},    {data, "01", &TForm1::AbColBitBtn7, 0x00},
      {data, "00", &TForm1::AbColBitBtn7, 0xFF},    {data, "80", &TForm1::AbColBitBtn7, 0x7F},
      {control, "AE", &TForm1::AbColBitBtn8, 0xAF}, {control, "AF", &TForm1::AbColBitBtn8, 0xA0},
      {control, "A0", &TForm1::AbColBitBtn8, 0xA1}, {control, "0F", &TForm1::AbColBitBtn8, 0x00},
      {control, "A1", &TForm1::AbColBitBtn9, 0xA0}, {control, "A0", &TForm1::AbColBitBtn9, 0xAF},
      {control, "AF", &TForm1::AbColBitBtn9, 0xAE}, {control, "F0", &TForm1::AbColBitBtn9, 0xFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Start << (c.Register.LedMask == 0xFF ? " data" : " control"));
    TEdit* edit = Form->*c.Register.Edit;
    Enter(edit, c.Start, Form->*c.Register.Enter);
    Click(Form->*c.Step);
    EXPECT_EQ(Form->*c.Register.Shadow, c.Expected);
    EXPECT_EQ(edit->Text(), Hex2(c.Expected));
    EXPECT_EQ(c.Register.LedMask == 0xFF ? DataLedBits() : ControlLedBits(), c.Expected & c.Register.LedMask);
  }
}

TEST_F(Edges, StartupKeepsExactlyTheHighNibbleOfTheControlRegister) {
  Device.Ports[0].Control = 0xBF;
  Start();
  EXPECT_EQ(Form->ControlShadow, 0xB0);
  EXPECT_EQ(Device.Ports[0].Control, 0xB0);
  EXPECT_EQ(Form->Edit3->Text(), "B0");
}

// Each status bit lights its own LED and only that one.
TEST_F(Edges, EachStatusBitLightsOnlyItsLed) {
  Start();
  const TAbDBLED* leds[] = {Form->AbDBLED13, Form->AbDBLED14, Form->AbDBLED15, Form->AbDBLED16,
                            Form->AbDBLED17};
  for (int bit = 0; bit < 8; ++bit) {
    SCOPED_TRACE(bit);
    Device.Ports[0].Status = std::uint8_t(1u << bit);
    Tick();
    for (int i = 0; i < 5; ++i) {
      const bool lit = bit == i + 3;
      EXPECT_EQ(leds[i]->Checked(), lit) << leds[i]->Name();
      EXPECT_EQ(leds[i]->Font().Color(), lit ? clRed : TColor(0x585858)) << leds[i]->Name();
    }
  }
}
