#include "headless_app.h"

THeadlessApp::THeadlessApp(int screenWidth, int screenHeight) {
  auto display = std::make_unique<display::HeadlessDisplay>(screenWidth, screenHeight);
  Display_ = display.get();
  App_ = std::make_unique<TApplication>(std::move(display));
}

THeadlessApp::~THeadlessApp() = default;

display::HeadlessWindow* THeadlessApp::WindowOf(const TCustomForm& form) const {
  return dynamic_cast<display::HeadlessWindow*>(form.NativeWindow());
}

TColor THeadlessApp::PixelAt(const TCustomForm& form, int x, int y) const {
  const display::HeadlessWindow* w = WindowOf(form);
  return w ? PixelToColor(w->PixelAt(x, y)) : clNone;
}

bool THeadlessApp::SaveSnapshot(const TCustomForm& form, const std::string& path, std::string* error) const {
  return SaveSurfaceToPng(form.Frame(), path, error);
}
