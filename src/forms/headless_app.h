// An application on the headless display, for tests, snapshots and benchmarks.
#pragma once

#include <memory>
#include <string>

#include "forms.h"
#include "headless.h"

class THeadlessApp {
 public:
  explicit THeadlessApp(int screenWidth = 1024, int screenHeight = 768);
  ~THeadlessApp();
  THeadlessApp(const THeadlessApp&) = delete;
  THeadlessApp& operator=(const THeadlessApp&) = delete;

  TApplication& App() { return *App_; }
  display::HeadlessDisplay& Display() { return *Display_; }

  // The form's headless window (null until the form is shown).
  display::HeadlessWindow* WindowOf(const TCustomForm& form) const;
  // The presented pixel at client (x, y) as a colour (0x00BBGGRR).
  TColor PixelAt(const TCustomForm& form, int x, int y) const;
  // Paints and presents everything pending.
  void Flush() { App_->ProcessMessages(); }
  bool SaveSnapshot(const TCustomForm& form, const std::string& path, std::string* error = nullptr) const;

 private:
  display::HeadlessDisplay* Display_;
  std::unique_ptr<TApplication> App_;
};
