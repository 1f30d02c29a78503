// Which bank a session of the device gets.
#pragma once

#include "ppdev_bank.h"
#include "simulated_bank.h"

#include <iosfwd>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace lptwdmio {

// Where the module's notes to the user go: each line as it comes, or, for
// notes that would only repeat themselves, once for the life of this object.
class TMessages {
 public:
  explicit TMessages(std::ostream& out) : Out(out) {}
  void Once(const std::string& line);

  std::ostream& Out;

 private:
  std::mutex Mutex_;
  std::set<std::string> Said_;
};

enum class TBackendChoice { Automatic, Simulated, Ppdev };

// Read from the environment so tests can steer the module without hardware:
// LPTWDMIO_BACKEND=simulated|ppdev, LPTWDMIO_DEV_DIR, LPTWDMIO_PROC_DIR,
// LPTWDMIO_SIM_DIR.
struct TBackendConfig {
  TBackendChoice Choice = TBackendChoice::Automatic;
  std::string DevDir = "/dev";
  std::string ProcDir = "/proc/sys/dev/parport";
  // The folder of the user's shared simulated bank; empty keeps the
  // simulated ports to this process. From the environment it is never empty.
  std::string SimDir;

  // An unknown LPTWDMIO_BACKEND value is reported and taken as automatic.
  static TBackendConfig FromEnvironment(TMessages& messages);
};

// The driver's state: the simulated ports' latches when they are this
// process's own, shared by all its sessions.
class TDriverState {
 public:
  std::mutex Mutex;
  TSimulatedPorts Simulated;
  TPpdevSystem System;
};

// A session's bank: the simulated ports, or ppdev ports claimed for it.
class TSession {
 public:
  explicit TSession(TDriverState& driver) : Driver(driver) {}

  TDriverState& Driver;
  std::unique_ptr<TPortBank> Bank;
};

// Opens a session as config says: ppdev when parport nodes exist (or when
// forced), the simulated ports when there are none and the kernel knows no
// port either (or when forced). Simulating is said once on messages.
DWORD OpenSession(const TBackendConfig& config, TSession& session, TMessages& messages);

}  // namespace lptwdmio
