// The driver module's simulated bank in a folder of the bench's own, never
// the user's (whose ports a window may hold), from a fresh emulated system;
// both go again with it. LPTWDMIO_BACKEND picks the simulated ports unless
// the caller chose another (ppdev measures a real port).
#pragma once

#include "emulation_control.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class TOwnBank {
 public:
  explicit TOwnBank(const std::string& name)
      : Dir_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    ::setenv("LPTWDMIO_SIM_DIR", Dir_.c_str(), 1);
    ::setenv("LPTWDMIO_BACKEND", "simulated", 0);
    emulation::Reset();
  }
  ~TOwnBank() {
    emulation::Reset();
    std::error_code ignored;
    std::filesystem::remove_all(Dir_, ignored);
  }
  TOwnBank(const TOwnBank&) = delete;
  TOwnBank& operator=(const TOwnBank&) = delete;

 private:
  std::filesystem::path Dir_;
};
