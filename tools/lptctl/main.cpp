// lptctl: the command-line companion of Pinlark's window.
#include "commands.h"
#include "interrupt.h"

#include <iostream>

int main(int argc, char** argv) {
  // For the whole run: Ctrl+C stops a command that loops and lets any other
  // finish; a closed output pipe fails a write, it does not end the program.
  lptctl::TInterruptHook interrupts;
  platform::IgnoreClosedPipes();
  return lptctl::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
