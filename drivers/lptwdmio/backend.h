// Which bank a session of the device gets.
#pragma once

#include "ppdev_bank.h"
#include "shared_simulation.h"

#include <chrono>
#include <exception>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <new>
#include <ostream>
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

// Runs body, turning anything it throws into a Windows code and a line on
// messages saying what failed (what() names it, asked only then): nothing
// may unwind across the module's C boundary, and nothing may fail there
// unsaid.
template <typename W, typename F>
uint32_t Guarded(std::ostream& messages, W&& what, F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    messages << "lptwdmio: out of memory while " << what() << '\n';
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::exception& error) {
    messages << "lptwdmio: " << what() << " failed: " << error.what() << '\n';
  } catch (...) {
    messages << "lptwdmio: " << what() << " failed on an unknown exception\n";
  }
  return ERROR_GEN_FAILURE;
}

enum class TBackendChoice { Automatic, Simulated, Ppdev };

// Read from the environment so tests can steer the module without hardware:
// LPTWDMIO_BACKEND=simulated|ppdev, LPTWDMIO_DEV_DIR, LPTWDMIO_PROC_DIR,
// LPTWDMIO_SIM_DIR, LPTWDMIO_WAIT_MS.
struct TBackendConfig {
  TBackendChoice Choice = TBackendChoice::Automatic;
  std::string DevDir = "/dev";
  std::string ProcDir = "/proc/sys/dev/parport";
  // The folder of the user's shared simulated bank.
  std::string SimDir = DefaultSimulationDir();
  // How long a session waits for a port another program holds, real or
  // simulated, before it calls the port busy.
  std::chrono::milliseconds Wait{500};

  // An unknown LPTWDMIO_BACKEND value, or a wait that is no number of
  // milliseconds up to a minute, is reported and the default taken.
  static TBackendConfig FromEnvironment(TMessages& messages);
};

// The driver's state, shared by all its sessions.
class TDriverState {
 public:
  TPpdevSystem System;
};

// A session's bank: the simulated ports, or the ppdev ports it may claim.
// Its requests run one at a time.
class TSession {
 public:
  explicit TSession(TDriverState& driver) : Driver(driver) {}

  TDriverState& Driver;
  std::mutex Mutex;
  std::unique_ptr<TPortBank> Bank;
};

// Opens a session as config says: ppdev when parport nodes exist (or when
// forced), the simulated ports when there are none and the kernel knows no
// port either (or when forced). Simulating is said once on messages; a bank
// file the simulation refuses fails the open, with the reason said.
DWORD OpenSession(const TBackendConfig& config, TSession& session, TMessages& messages);

}  // namespace lptwdmio
