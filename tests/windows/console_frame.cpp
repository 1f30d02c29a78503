// The console on the headless display, in a state the end-to-end test under
// Wine compares the real window with, saved as a PNG:
//   console_frame window OUT.png   the main window after its first poll
//   console_frame box OUT.png      the start-up error box (run it from a
//                                  folder without the driver); its text goes
//                                  to stdout
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "Unit1.h"
#include "Unit2.h"
#include "headless_app.h"

namespace {

bool Save(const THeadlessApp& app, const TCustomForm& form, const char* path) {
  std::string error;
  if (app.SaveSnapshot(form, path, &error)) return true;
  std::fprintf(stderr, "console_frame: %s\n", error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "window") != 0 && std::strcmp(argv[1], "box") != 0)) {
    std::fprintf(stderr, "usage: console_frame window|box OUT.png\n");
    return 2;
  }
  const bool box = std::strcmp(argv[1], "box") == 0;
  THeadlessApp app(800, 600);
  bool saved = false;
  // The box's frame once it has been presented, then OK.
  app.App().MessageBoxAnswerer = [&](const TMessageBoxRequest& request) -> std::optional<int> {
    TCustomForm* shown = app.App().ModalForm();
    const display::HeadlessWindow* window = shown ? app.WindowOf(*shown) : nullptr;
    if (!window || window->UploadedPixels() == 0) return std::nullopt;
    if (box && !saved) {
      saved = Save(app, *shown, argv[2]);
      std::printf("%s\n%s\n", request.Caption.c_str(), request.Text.c_str());
    }
    return IDOK;
  };
  app.App().CreateForm(Form1);
  app.App().CreateForm(Form2);
  if (!box) {
    Form1->Show();
    // A few polls of virtual time.
    app.App().RunFor(std::chrono::milliseconds(350));
    saved = Save(app, *Form1, argv[2]);
  }
  return saved ? 0 : 1;
}
