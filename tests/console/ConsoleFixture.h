// Drives the real TForm1 on the headless display against a scripted device.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "Unit1.h"
#include "headless.h"
#include "scripted_port.h"

class ConsoleTest : public ::testing::Test {
 protected:
  static constexpr std::chrono::milliseconds Poll{100};

  void SetUp() override {
    emulation::Reset();
    Device.Register();
  }

  void TearDown() override {
    App.reset();
    emulation::Reset();
  }

  // Builds the application and the window; the ports must be set up before.
  void Start() {
    auto display = std::make_unique<display::HeadlessDisplay>();
    Display = display.get();
    App = std::make_unique<TApplication>(std::move(display));
    App->MessageBoxAnswerer = [this](const TMessageBoxRequest& r) { return Answer(r); };
    App->CreateForm(Form);
    Form->Show();
    App->ProcessMessages();
    // The title says whether the selected port is simulated.
    Window = Display->FindWindow(Form->Caption());
    ASSERT_NE(Window, nullptr);
  }

  void StartWithPorts(bool lpt1, bool lpt2, bool lpt3) {
    Device.Ports[0].Present = lpt1;
    Device.Ports[1].Present = lpt2;
    Device.Ports[2].Present = lpt3;
    Start();
  }

  void Tick(int count = 1) { App->RunFor(Poll * count); }

  // Centre of a control in window coordinates.
  static TPoint Centre(const TControl* c) { return {c->Left() + c->Width() / 2, c->Top() + c->Height() / 2}; }

  void Click(const TControl* c, display::Button b = display::Button::Left) {
    const TPoint p = Centre(c);
    Window->Click(p.X, p.Y, b);
    App->ProcessMessages();
  }
  void DoubleClick(const TControl* c) {
    const TPoint p = Centre(c);
    Window->DoubleClick(p.X, p.Y);
    App->ProcessMessages();
  }
  void Hover(const TControl* c) {
    const TPoint p = Centre(c);
    Window->MouseMove(p.X, p.Y);
    App->ProcessMessages();
  }
  void HoverAt(int x, int y) {
    Window->MouseMove(x, y);
    App->ProcessMessages();
  }

  // Writes text into an entry field and presses its button.
  void Enter(TEdit* edit, const std::string& text, const TControl* button) {
    edit->SetText(text);
    Click(button);
  }

  // Message boxes: recorded, and closed with OK after AnswerAfterTurns turns.
  std::optional<int> Answer(const TMessageBoxRequest& r) {
    if (Turns == 0) Boxes.push_back(r);
    if (OnBoxTurn) OnBoxTurn(Turns);
    if (++Turns <= AnswerAfterTurns) return std::nullopt;
    Turns = 0;
    return IDOK;
  }

  static std::uint8_t Addr(std::uint8_t prefix, std::uint8_t reg) { return std::uint8_t(prefix | reg); }

  TScriptedPort Device;
  std::unique_ptr<TApplication> App;
  display::HeadlessDisplay* Display = nullptr;
  display::HeadlessWindow* Window = nullptr;
  TForm1* Form = nullptr;
  std::vector<TMessageBoxRequest> Boxes;
  int AnswerAfterTurns = 0;
  int Turns = 0;
  std::function<void(int)> OnBoxTurn;
};
