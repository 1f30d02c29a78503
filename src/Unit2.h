// Unit2: the secondary window, created at start-up and never shown.
#pragma once

#include "forms.h"

class TForm2 : public TForm {
 public:
  explicit TForm2(TComponent* owner);
  std::string ClassName() const override { return "TForm2"; }
};

extern TForm2* Form2;
