// Which bank a session of the device gets.
#pragma once

#include "ppdev_bank.h"
#include "simulated_bank.h"

#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

namespace lptwdmio {

enum class TBackendChoice { Automatic, Simulated, Ppdev };

// Read from the environment so tests can steer the module without hardware:
// LPTWDMIO_BACKEND=simulated|ppdev, LPTWDMIO_DEV_DIR, LPTWDMIO_PROC_DIR.
struct TBackendConfig {
  TBackendChoice Choice = TBackendChoice::Automatic;
  std::string DevDir = "/dev";
  std::string ProcDir = "/proc/sys/dev/parport";

  static TBackendConfig FromEnvironment();
};

// The driver's state: one simulated bank shared by all sessions, so its
// latches outlive an open, as a port's registers do.
class TDriverState {
 public:
  std::mutex Mutex;
  TSimulatedBank Simulated;
  TPpdevSystem System;
};

// A session's bank: the shared simulated one, or ppdev ports claimed for it.
class TSession {
 public:
  explicit TSession(TDriverState& driver) : Driver(driver) {}

  TDriverState& Driver;
  std::unique_ptr<TPortBank> OwnBank;
  TPortBank* Bank = nullptr;
};

// Opens a session as config says: ppdev when parport nodes exist (or when
// forced), the simulated bank when there are none and the kernel knows no
// port either (or when forced).
DWORD OpenSession(const TBackendConfig& config, TSession& session, std::ostream& messages);

}  // namespace lptwdmio
