#include "Unit2.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* owner) : TForm(owner) {
  BeginLoading();
  SetBounds(647, 326, 231, 200);
  SetCaption("Form2");
  SetColor(clBtnFace);
  Font().SetCharset(DEFAULT_CHARSET);
  Font().SetColor(clWindowText);
  Font().SetHeight(-11);
  Font().SetName("MS Sans Serif");
  Font().SetStyle(TFontStyles());
  EndLoading();
}
