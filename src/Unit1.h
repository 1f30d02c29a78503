// Unit1: the main window TForm1 — the register console and its controls.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "AbCBitBt.h"
#include "AbDBCtrls.h"
#include "LPTIO.h"
#include "extctrls.h"
#include "forms.h"
#include "ovclabel.h"
#include "stdctrls.h"

// Indices into TForm1::OutputLedOn.
enum TOutputLine : int {
  olSTR,
  olD0,
  olD1,
  olD2,
  olD3,
  olD4,
  olD5,
  olD6,
  olD7,
  olLFCR,
  olINIT,
  olSELIN,
  OutputLineCount
};

// Indices into TForm1::PortRequested.
enum TPortIndex : int { piLpt1, piLpt2, piLpt3, PortCount };

// Console colours.
inline constexpr TColor ActiveColor = clLime;
inline constexpr TColor InactiveOutputColor = clGreen;
inline constexpr TColor ActiveInputColor = clRed;
inline constexpr TColor InactiveInputColor = 0x585858;

// Hover help topics and the register label each one highlights.
enum class TRegisterLabel { None, Data, Control, Status };
enum class THelpTopic {
  DataRegister,
  ControlRegister,
  StatusRegister,
  DataBits,
  ControlBits,
  StatusBits,
  StatusValue,
  DataEntry,
  ControlEntry,
  DataUp,
  DataDown,
  ControlUp,
  ControlDown,
  Connection,
  CaptionToggle,
  PortChoice
};

// A byte as exactly two upper-case hexadecimal digits.
std::string Hex2(std::uint8_t value);

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  ~TForm1() override;
  std::string ClassName() const override { return "TForm1"; }

  // Controls, in creation order.
  TImage* Image1 = nullptr;
  TAbDBLED* AbDBLED1 = nullptr;
  TAbDBLED* AbDBLED2 = nullptr;
  TAbDBLED* AbDBLED3 = nullptr;
  TAbDBLED* AbDBLED4 = nullptr;
  TAbDBLED* AbDBLED5 = nullptr;
  TAbDBLED* AbDBLED6 = nullptr;
  TAbDBLED* AbDBLED7 = nullptr;
  TAbDBLED* AbDBLED8 = nullptr;
  TAbDBLED* AbDBLED9 = nullptr;
  TAbDBLED* AbDBLED10 = nullptr;
  TAbDBLED* AbDBLED11 = nullptr;
  TAbDBLED* AbDBLED12 = nullptr;
  TAbDBLED* AbDBLED13 = nullptr;
  TAbDBLED* AbDBLED14 = nullptr;
  TAbDBLED* AbDBLED15 = nullptr;
  TAbDBLED* AbDBLED16 = nullptr;
  TAbDBLED* AbDBLED17 = nullptr;
  TAbColBitBtn* AbColBitBtn2 = nullptr;
  TAbDBLED* AbDBLED18 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label4 = nullptr;
  TLabel* Label5 = nullptr;
  TAbColBitBtn* AbColBitBtn4 = nullptr;
  TAbColBitBtn* AbColBitBtn5 = nullptr;
  TAbColBitBtn* AbColBitBtn6 = nullptr;
  TAbColBitBtn* AbColBitBtn7 = nullptr;
  TAbColBitBtn* AbColBitBtn8 = nullptr;
  TAbColBitBtn* AbColBitBtn9 = nullptr;
  TAbDBLED* AbDBLED22 = nullptr;
  TAbDBLED* AbDBLED21 = nullptr;
  TAbDBLED* AbDBLED23 = nullptr;
  TOvcLabel* OvcLabel1 = nullptr;
  TLabel* Label1 = nullptr;
  TOvcLabel* OvcLabel2 = nullptr;
  TEdit* Edit1 = nullptr;
  TStaticText* StaticText3 = nullptr;
  TStaticText* StaticText2 = nullptr;
  TStaticText* StaticText4 = nullptr;
  TEdit* Edit3 = nullptr;
  TTimer* Timer1 = nullptr;

  // Console state.
  std::uint8_t DataShadow = 0;
  std::uint8_t StatusByte = 0;
  std::uint8_t ControlShadow = 0;
  bool ShowNames = true;
  bool PortChangePending = true;
  std::uint8_t SelectedPort = 0;
  std::array<bool, OutputLineCount> OutputLedOn{};
  std::array<bool, PortCount> PortRequested{};

  std::unique_ptr<TLptPortConnection> Lpt;

  // Life cycle and poll.
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void Timer1Timer(TObject* Sender);

  // Output line toggles.
  void AbDBLED1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED2MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED3MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED4MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED5MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED6MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED7MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED8MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED9MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED10MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED11MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED12MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Port requests.
  void AbDBLED21MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED22MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbDBLED23MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Byte entry and stepping.
  void Edit1KeyPress(TObject* Sender, char32_t& Key);
  void AbColBitBtn4Click(TObject* Sender);
  void AbColBitBtn5Click(TObject* Sender);
  void AbColBitBtn6MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbColBitBtn7MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbColBitBtn8MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void AbColBitBtn9MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Caption toggle.
  void AbColBitBtn2MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Hover help.
  void AbDBLED2MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void StaticText4MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void StaticText3MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbDBLED9MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbDBLED12MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbDBLED13MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Label2MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn4MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn5MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn6MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn7MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn8MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn9MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbDBLED18MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbColBitBtn2MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void AbDBLED21MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void OvcLabel1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);

  // Credit swap wording.
  static constexpr const char* TitleText = "Pinlark";
  static constexpr const char* CreditText = "Pinlark team";
  static constexpr const char* ContactText = "Ideas and bug reports: see README";

 private:
  // Unit1Layout.cpp
  void LoadLayout();
  void WireEvents();
  void DrawBackground();
  void DrawIcon();

  std::uint8_t CurrentPort();
  void ClearPortLeds();
  void RefreshDataLeds();
  void RefreshControlLeds();

  void ToggleOutputLine(TOutputLine line);
  void RequestPort(TPortIndex port);
  void WriteTypedByte(const TEdit& edit, std::uint8_t& shadow, std::uint8_t reg);
  void SetOutputLine(TOutputLine line, bool lit);
  void ShowHelp(THelpTopic topic);
  void Highlight(TRegisterLabel reg);
  void ShowPortKind(TPortIndex port);

  // From the driver's port query at start-up; the title tells a simulated
  // selected port from hardware.
  std::array<bool, PortCount> PortSimulated_{};
  std::string PlainCaption_;
};

extern TForm1* Form1;
