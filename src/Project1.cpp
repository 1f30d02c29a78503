// Project1: program entry.
#include <cstdio>
#include <memory>

#include "CloseOnTermination.h"
#include "Unit1.h"
#include "Unit2.h"
#include "display.h"
#include "process_info.h"

int main() {
  platform::HoldTerminationRequests();
  std::unique_ptr<TApplication> application;
  try {
    application = std::make_unique<TApplication>();
  } catch (const display::DisplayError& e) {
    std::fprintf(stderr, "%s: %s\n", platform::ProgramName().c_str(), e.what());
    return 1;
  }
  Application->Initialize();
  {
    // A termination request ends the program in order at any moment, even
    // while the start-up error box waits inside CreateForm. The hook goes
    // last: the end of a session waits for it, so that FormDestroy has run.
    TCloseOnTermination closeOnRequest([] { Application->RequestClose(); });
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
    Application->Run();
    application.reset();  // frees the forms; FormDestroy runs
  }
  return 0;
}
