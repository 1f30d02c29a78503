// lptctl: the command-line companion of Pinlark's window.
#include "commands.h"

#include <iostream>

int main(int argc, char** argv) {
  return lptctl::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
