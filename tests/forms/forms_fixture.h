// A shown form on the headless display, and a plain coloured graphic control.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extctrls.h"
#include "forms.h"
#include "headless_app.h"
#include "stdctrls.h"

class TBox : public TGraphicControl {
 public:
  TBox(TWinControl* parent, TRect bounds, TColor fill) : TGraphicControl(parent), Fill(fill) {
    SetParent(parent);
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  }
  TColor Fill;
  int Paints = 0;

 protected:
  void Paint() override {
    ++Paints;
    Canvas().Brush().SetColor(Fill);
    Canvas().FillRect(ClientRect());
  }
};

class FormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Headless.App().CreateForm(Form);
    Form->SetBounds(0, 0, 200, 120);
    Form->SetColor(RGB(0x40, 0x40, 0x40));
    Form->SetCaption("Test form");
  }
  void ShowForm() {
    Form->Show();
    Headless.Flush();
  }
  display::HeadlessWindow& Win() { return *Headless.WindowOf(*Form); }
  TColor Pixel(int x, int y) { return Headless.PixelAt(*Form, x, y); }

  THeadlessApp Headless;
  TForm* Form = nullptr;
  std::vector<std::string> Log;
};
