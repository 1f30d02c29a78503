// Unit1: the register console behind the main window.
#include "Unit1.h"

#include "sysutils.h"
#include "winapi.h"

TForm1* Form1 = nullptr;

namespace {

// ---------------------------------------------------------------- tables

struct TOutputLineInfo {
  TAbDBLED* TForm1::*Led;
  bool IsData;  // else control register
  std::uint8_t Bit;
};
// Indexed by TOutputLine.
constexpr TOutputLineInfo OutputLines[OutputLineCount] = {
    {&TForm1::AbDBLED1, false, 0x01},   // STR
    {&TForm1::AbDBLED2, true, 0x01},    // D0
    {&TForm1::AbDBLED3, true, 0x02},    // D1
    {&TForm1::AbDBLED4, true, 0x04},    // D2
    {&TForm1::AbDBLED5, true, 0x08},    // D3
    {&TForm1::AbDBLED6, true, 0x10},    // D4
    {&TForm1::AbDBLED7, true, 0x20},    // D5
    {&TForm1::AbDBLED8, true, 0x40},    // D6
    {&TForm1::AbDBLED9, true, 0x80},    // D7
    {&TForm1::AbDBLED10, false, 0x02},  // LF/CR
    {&TForm1::AbDBLED11, false, 0x04},  // INIT
    {&TForm1::AbDBLED12, false, 0x08},  // SELIN
};
// Register bit order of each output register.
constexpr TOutputLine DataLines[] = {olD0, olD1, olD2, olD3, olD4, olD5, olD6, olD7};
constexpr TOutputLine ControlLines[] = {olSTR, olLFCR, olINIT, olSELIN};

struct TStatusLineInfo {
  TAbDBLED* TForm1::*Led;
  std::uint8_t Bit;
};
constexpr TStatusLineInfo StatusLines[] = {
    {&TForm1::AbDBLED13, 0x08},  // ERR
    {&TForm1::AbDBLED14, 0x10},  // SEL
    {&TForm1::AbDBLED15, 0x20},  // PAP
    {&TForm1::AbDBLED16, 0x40},  // ASC
    {&TForm1::AbDBLED17, 0x80},  // BUSY
};

struct TPortInfo {
  TAbDBLED* TForm1::*Led;
  std::uint8_t Prefix;
};
// Indexed by TPortIndex.
constexpr TPortInfo Ports[PortCount] = {
    {&TForm1::AbDBLED21, PortLpt1},
    {&TForm1::AbDBLED22, PortLpt2},
    {&TForm1::AbDBLED23, PortLpt3},
};
// CurrentPort, ClearPortLeds and the start-up probes visit the ports downwards.
constexpr TPortIndex PortsDownward[] = {piLpt3, piLpt2, piLpt1};

// Caption toggle, per register LED AbDBLED1..AbDBLED17.
struct TCaptionRow {
  TAbDBLED* TForm1::*Led;
  const char* Pin;
  const char* Name;
};
constexpr TCaptionRow CaptionTable[] = {
    {&TForm1::AbDBLED1, "1", "STR"},    {&TForm1::AbDBLED2, "2", "D0"},
    {&TForm1::AbDBLED3, "3", "D1"},     {&TForm1::AbDBLED4, "4", "D2"},
    {&TForm1::AbDBLED5, "5", "D3"},     {&TForm1::AbDBLED6, "6", "D4"},
    {&TForm1::AbDBLED7, "7", "D5"},     {&TForm1::AbDBLED8, "8", "D6"},
    {&TForm1::AbDBLED9, "9", "D7"},     {&TForm1::AbDBLED10, "14", "LF/CR"},
    {&TForm1::AbDBLED11, "16", "INIT"}, {&TForm1::AbDBLED12, "17", "SELIN"},
    {&TForm1::AbDBLED13, "15", "ERR"},  {&TForm1::AbDBLED14, "13", "SEL"},
    {&TForm1::AbDBLED15, "12", "PE"},   {&TForm1::AbDBLED16, "10", "ASK"},
    {&TForm1::AbDBLED17, "11", "BUSY"},
};

// Hover help, indexed by THelpTopic.
struct THelpRow {
  const char* Text;
  TRegisterLabel Register;
};
constexpr THelpRow HelpTable[] = {
    {"Регистр данных", TRegisterLabel::Data},                             // DataRegister
    {"Регистр управления", TRegisterLabel::Control},                      // ControlRegister
    {"Регистр состояния", TRegisterLabel::Status},                        // StatusRegister
    {"Выходные биты регистра данных", TRegisterLabel::Data},              // DataBits
    {"Выходные биты регистра управления", TRegisterLabel::Control},       // ControlBits
    {"Входные биты регистра состояния", TRegisterLabel::Status},          // StatusBits
    {"Индикатор регистра состояния (Hex)", TRegisterLabel::Status},       // StatusValue
    {"Ручной ввод в регистр данных (Hex)", TRegisterLabel::Data},         // DataEntry
    {"Ручной ввод в регистр управления (Hex)", TRegisterLabel::Control},  // ControlEntry
    {"Инкремент регистра данных", TRegisterLabel::Data},                  // DataUp
    {"Декремент регистра данных", TRegisterLabel::Data},                  // DataDown
    {"Инкремент регистра управления", TRegisterLabel::Control},           // ControlUp
    {"Декремент регистра управления", TRegisterLabel::Control},           // ControlDown
    {"Индикатор связи с LPT портом", TRegisterLabel::None},               // Connection
    {"Номера ножек или название", TRegisterLabel::None},                  // CaptionToggle
    {"Выбор LPT порта", TRegisterLabel::None},                            // PortChoice
};
static_assert(std::size(HelpTable) == std::size_t(THelpTopic::PortChoice) + 1);

struct TRegisterLabelRow {
  TStaticText* TForm1::*Label;
  TRegisterLabel Register;
};
constexpr TRegisterLabelRow RegisterLabels[] = {
    {&TForm1::StaticText2, TRegisterLabel::Data},
    {&TForm1::StaticText4, TRegisterLabel::Control},
    {&TForm1::StaticText3, TRegisterLabel::Status},
};

constexpr const char* SimulatedPortTitle = " (simulated port)";

constexpr const char* StartupErrorText = "Ошибка при создании объекта Lpt, код = ";
constexpr const char* StartupErrorCaption = "ERROR";

bool IsHexDigitOrControl(char32_t key) {
  return key < 0x20 || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'F') || (key >= 'a' && key <= 'f');
}

}  // namespace

std::string Hex2(std::uint8_t value) { return IntToHex(value, 2); }

TForm1::TForm1(TComponent* owner) : TForm(owner) { LoadLayout(); }

TForm1::~TForm1() {
  // The controls' handlers point into this form: free them while it is whole.
  DestroyComponents();
}

// ---------------------------------------------------------------- register state

std::uint8_t TForm1::CurrentPort() {
  if (!PortChangePending) return SelectedPort;
  for (TPortIndex port : PortsDownward) {
    if (!PortRequested[port]) continue;
    ClearPortLeds();
    SelectedPort = Ports[port].Prefix;
    ShowPortKind(port);
    TAbDBLED& led = *(this->*Ports[port].Led);
    led.LED().SetColorOff(InactiveOutputColor);
    led.Font().SetColor(ActiveColor);
    led.SetChecked(true);
    PortChangePending = false;
    PortRequested[port] = false;
  }
  return SelectedPort;
}

void TForm1::ShowPortKind(TPortIndex port) {
  SetCaption(PortSimulated_[port] ? PlainCaption_ + SimulatedPortTitle : PlainCaption_);
}

void TForm1::ClearPortLeds() {
  for (TPortIndex port : PortsDownward) {
    TAbDBLED& led = *(this->*Ports[port].Led);
    if (!led.Enabled()) continue;
    led.Font().SetColor(InactiveOutputColor);
    led.SetChecked(false);
  }
}

void TForm1::SetOutputLine(TOutputLine line, bool lit) {
  TAbDBLED& led = *(this->*OutputLines[line].Led);
  led.SetChecked(lit);
  led.Font().SetColor(lit ? ActiveColor : InactiveOutputColor);
  OutputLedOn[line] = lit;
}

void TForm1::RefreshDataLeds() {
  for (TOutputLine line : DataLines) SetOutputLine(line, (DataShadow & OutputLines[line].Bit) != 0);
}

void TForm1::RefreshControlLeds() {
  for (TOutputLine line : ControlLines) SetOutputLine(line, (ControlShadow & OutputLines[line].Bit) != 0);
}

// ---------------------------------------------------------------- start-up and shut-down

void TForm1::FormCreate(TObject*) {
  for (const TPortInfo& port : Ports) (this->*port.Led)->SetEnabled(false);

  ShowNames = true;
  OutputLedOn.fill(false);
  PortRequested.fill(false);
  PortChangePending = true;
  DataShadow = 0;

  Lpt = std::make_unique<TLptPortConnection>();
  if (!Lpt->IsUsable()) {
    const DWORD code = GetLastError();
    Application->MessageBox(StartupErrorText + std::to_string(code), StartupErrorCaption, MB_OK);
    Application->Terminate();
  }

  TLptPortReports reports;
  if (Lpt->QueryPorts(reports))
    for (TPortIndex port : PortsDownward) PortSimulated_[port] = reports[port].Simulated;
  PlainCaption_ = Caption();

  for (TPortIndex port : PortsDownward) {
    if (!Lpt->ProbePort(Ports[port].Prefix)) continue;
    TAbDBLED& led = *(this->*Ports[port].Led);
    led.SetEnabled(true);
    led.LED().SetColorOff(InactiveOutputColor);
    led.Font().SetColor(InactiveOutputColor);
    PortRequested[port] = true;
  }

  const std::uint8_t data = DataShadow;
  Lpt->WriteRegister(CurrentPort(), RegData, data);
  ControlShadow = Lpt->ReadRegister(CurrentPort(), RegControl) & 0xF0;
  Lpt->WriteRegister(CurrentPort(), RegControl, ControlShadow);
  Edit3->SetText(Hex2(ControlShadow));
  StatusByte = Lpt->ReadRegister(CurrentPort(), RegStatus);
}

void TForm1::FormDestroy(TObject*) {
  Timer1->SetEnabled(false);
  Lpt.reset();
}

// ---------------------------------------------------------------- poll

void TForm1::Timer1Timer(TObject*) {
  if (!Lpt) return;
  const std::uint8_t port = CurrentPort();
  PortIoPair batch[3] = {
      {BYTE(port | RegData), 0}, {BYTE(port | RegStatus), 0}, {BYTE(port | RegControl), 0}};
  if (!Lpt->ReadPairs(batch, 3)) {
    AbDBLED18->SetChecked(false);
    Label4->Font().SetColor(ActiveInputColor);
    Label5->Font().SetColor(ActiveInputColor);
    return;
  }
  AbDBLED18->SetChecked(true);
  Label4->Font().SetColor(ActiveColor);
  Label5->Font().SetColor(ActiveColor);
  Label2->SetCaption(Hex2(batch[1].Value));

  const std::uint8_t data = DataShadow;
  Lpt->WriteRegister(CurrentPort(), RegData, data);
  const std::uint8_t control = ControlShadow;
  Lpt->WriteRegister(CurrentPort(), RegControl, control);
  StatusByte = Lpt->ReadRegister(CurrentPort(), RegStatus);

  for (const TStatusLineInfo& line : StatusLines) {
    TAbDBLED& led = *(this->*line.Led);
    const bool lit = (StatusByte & line.Bit) != 0;
    led.SetChecked(lit);
    led.Font().SetColor(lit ? ActiveInputColor : InactiveInputColor);
  }
}

// ---------------------------------------------------------------- bit toggles

void TForm1::ToggleOutputLine(TOutputLine line) {
  const TOutputLineInfo& info = OutputLines[line];
  std::uint8_t& copy = info.IsData ? DataShadow : ControlShadow;
  // The lit state and the bit agree, so adding or subtracting flips exactly that bit.
  if (!OutputLedOn[line]) {
    SetOutputLine(line, true);
    copy = std::uint8_t(copy + info.Bit);
  } else {
    SetOutputLine(line, false);
    copy = std::uint8_t(copy - info.Bit);
  }
  (info.IsData ? Edit1 : Edit3)->SetText(Hex2(copy));
}

void TForm1::AbDBLED1MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olSTR); }
void TForm1::AbDBLED2MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD0); }
void TForm1::AbDBLED3MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD1); }
void TForm1::AbDBLED4MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD2); }
void TForm1::AbDBLED5MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD3); }
void TForm1::AbDBLED6MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD4); }
void TForm1::AbDBLED7MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD5); }
void TForm1::AbDBLED8MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD6); }
void TForm1::AbDBLED9MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olD7); }
void TForm1::AbDBLED10MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olLFCR); }
void TForm1::AbDBLED11MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olINIT); }
void TForm1::AbDBLED12MouseDown(TObject*, TMouseButton, TShiftState, int, int) { ToggleOutputLine(olSELIN); }

// ---------------------------------------------------------------- port requests

void TForm1::RequestPort(TPortIndex port) {
  PortChangePending = true;
  PortRequested[port] = true;
}

void TForm1::AbDBLED21MouseDown(TObject*, TMouseButton, TShiftState, int, int) { RequestPort(piLpt1); }
void TForm1::AbDBLED22MouseDown(TObject*, TMouseButton, TShiftState, int, int) { RequestPort(piLpt2); }
void TForm1::AbDBLED23MouseDown(TObject*, TMouseButton, TShiftState, int, int) { RequestPort(piLpt3); }

// ---------------------------------------------------------------- byte entry and stepping

void TForm1::Edit1KeyPress(TObject*, char32_t& Key) {
  if (!IsHexDigitOrControl(Key)) Key = 0;
}

// "$0" makes an empty field read as 0; StrToInt raises EConvertError for
// anything but hexadecimal digits, before any state changes.
void TForm1::WriteTypedByte(const TEdit& edit, std::uint8_t& shadow, std::uint8_t reg) {
  const std::int32_t value = StrToInt("$0" + edit.Text());
  shadow = std::uint8_t(value & 0xFF);
  Lpt->WriteRegister(CurrentPort(), reg, shadow);
}

void TForm1::AbColBitBtn4Click(TObject*) {
  WriteTypedByte(*Edit1, DataShadow, RegData);
  RefreshDataLeds();
}

void TForm1::AbColBitBtn5Click(TObject*) {
  WriteTypedByte(*Edit3, ControlShadow, RegControl);
  RefreshControlLeds();
}

void TForm1::AbColBitBtn6MouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  DataShadow = std::uint8_t(DataShadow + 1);
  RefreshDataLeds();
  Edit1->SetText(Hex2(DataShadow));
}

void TForm1::AbColBitBtn7MouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  DataShadow = std::uint8_t(DataShadow - 1);
  RefreshDataLeds();
  Edit1->SetText(Hex2(DataShadow));
}

void TForm1::AbColBitBtn8MouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  const std::uint8_t low = ControlShadow & 0x0F;
  ControlShadow = std::uint8_t((ControlShadow & 0xF0) | (low == 0x0F ? 0 : low + 1));
  RefreshControlLeds();
  Edit3->SetText(Hex2(ControlShadow));
}

void TForm1::AbColBitBtn9MouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  const std::uint8_t low = ControlShadow & 0x0F;
  ControlShadow = std::uint8_t((ControlShadow & 0xF0) | (low == 0 ? 0x0F : low - 1));
  RefreshControlLeds();
  Edit3->SetText(Hex2(ControlShadow));
}

// ---------------------------------------------------------------- caption toggle

void TForm1::AbColBitBtn2MouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  ShowNames = !ShowNames;
  for (const TCaptionRow& row : CaptionTable) (this->*row.Led)->SetCaption(ShowNames ? row.Name : row.Pin);
}

// ---------------------------------------------------------------- hover help

void TForm1::Highlight(TRegisterLabel reg) {
  for (const TRegisterLabelRow& row : RegisterLabels)
    (this->*row.Label)->Font().SetColor(row.Register == reg ? ActiveColor : InactiveOutputColor);
}

void TForm1::ShowHelp(THelpTopic topic) {
  const THelpRow& help = HelpTable[int(topic)];
  Label1->SetCaption(help.Text);
  if (help.Register != TRegisterLabel::None) Highlight(help.Register);
}

void TForm1::AbDBLED2MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::DataRegister); }
void TForm1::StaticText4MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::ControlRegister); }
void TForm1::StaticText3MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::StatusRegister); }
void TForm1::AbDBLED9MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::DataBits); }
void TForm1::AbDBLED12MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::ControlBits); }
void TForm1::AbDBLED13MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::StatusBits); }
void TForm1::Label2MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::StatusValue); }
void TForm1::AbColBitBtn4MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::DataEntry); }
void TForm1::AbColBitBtn5MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::ControlEntry); }
void TForm1::AbColBitBtn6MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::DataUp); }
void TForm1::AbColBitBtn7MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::DataDown); }
void TForm1::AbColBitBtn8MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::ControlUp); }
void TForm1::AbColBitBtn9MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::ControlDown); }
void TForm1::AbDBLED18MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::Connection); }
void TForm1::AbColBitBtn2MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::CaptionToggle); }
void TForm1::AbDBLED21MouseMove(TObject*, TShiftState, int, int) { ShowHelp(THelpTopic::PortChoice); }

void TForm1::OvcLabel1MouseMove(TObject*, TShiftState, int, int) {
  OvcLabel2->SetCaption(ContactText);
  OvcLabel1->SetCaption(CreditText);
}

void TForm1::FormMouseMove(TObject*, TShiftState, int, int) {
  Label1->SetCaption("");
  for (const TRegisterLabelRow& row : RegisterLabels)
    (this->*row.Label)->Font().SetColor(InactiveOutputColor);
  OvcLabel2->SetCaption("");
  OvcLabel1->SetCaption(TitleText);
}
