#include "backend.h"

#include <cstdlib>
#include <ostream>

namespace lptwdmio {

namespace {

std::string EnvironmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

constexpr const char* SimulatedOnRequest =
    "lptwdmio: simulating LPT1 (with a loopback plug) and LPT2, as LPTWDMIO_BACKEND=simulated asks";
constexpr const char* SimulatedForLackOfPorts =
    "lptwdmio: no parallel port found; simulating LPT1 (with a loopback plug) and LPT2. "
    "For real ports load parport_pc and ppdev (sudo modprobe parport_pc ppdev)";

constexpr long MaxWaitMs = 60000;

// The user's one bank, or the reason there is none.
DWORD OpenSimulatedBank(const TBackendConfig& config, TSession& session, TMessages& messages) {
  std::unique_ptr<TSimulationFile> file;
  std::string refusal;
  const DWORD status = TSimulationFile::Open(config.SimDir, config.Wait, messages.Out, file, refusal);
  if (status != ERROR_SUCCESS) {
    messages.Once(refusal);
    return status;
  }
  session.Bank = std::make_unique<TSharedSimulatedBank>(
      std::move(file),
      TSharedSimulatedBank::TOptions{.Wait = config.Wait, .Recheck = std::chrono::milliseconds(250)},
      messages.Out);
  return ERROR_SUCCESS;
}

}  // namespace

void TMessages::Once(const std::string& line) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Said_.insert(line).second) Out << line << '\n' << std::flush;
}

TBackendConfig TBackendConfig::FromEnvironment(TMessages& messages) {
  TBackendConfig config;
  const std::string choice = EnvironmentOr("LPTWDMIO_BACKEND", "");
  if (choice == "simulated")
    config.Choice = TBackendChoice::Simulated;
  else if (choice == "ppdev")
    config.Choice = TBackendChoice::Ppdev;
  else if (!choice.empty())
    messages.Once("lptwdmio: unknown LPTWDMIO_BACKEND value '" + choice + "'; expected simulated or ppdev");
  config.DevDir = EnvironmentOr("LPTWDMIO_DEV_DIR", config.DevDir);
  config.ProcDir = EnvironmentOr("LPTWDMIO_PROC_DIR", config.ProcDir);
  config.SimDir = EnvironmentOr("LPTWDMIO_SIM_DIR", config.SimDir);
  const std::string wait = EnvironmentOr("LPTWDMIO_WAIT_MS", "");
  if (!wait.empty()) {
    char* end = nullptr;
    const long ms = std::strtol(wait.c_str(), &end, 10);
    if (wait.find_first_not_of("0123456789") == std::string::npos && *end == '\0' && ms <= MaxWaitMs)
      config.Wait = std::chrono::milliseconds(ms);
    else
      messages.Once("lptwdmio: LPTWDMIO_WAIT_MS='" + wait + "' is no number of milliseconds up to " +
                    std::to_string(MaxWaitMs) + "; waiting " + std::to_string(config.Wait.count()) + " ms");
  }
  return config;
}

DWORD OpenSession(const TBackendConfig& config, TSession& session, TMessages& messages) {
  if (config.Choice != TBackendChoice::Simulated) {
    const std::vector<TParportNode> nodes = FindParports(config.DevDir, config.ProcDir);
    if (!nodes.empty())
      return OpenPpdevBank(session.Driver.System, nodes, config.Wait, session.Bank, messages.Out);
    if (config.Choice == TBackendChoice::Ppdev) return ERROR_FILE_NOT_FOUND;
    // Ports without nodes mean ppdev is not loaded; simulated ports here
    // would pass off made-up lines as the machine's own port.
    if (KernelHasParports(config.ProcDir)) {
      messages.Out << "lptwdmio: the kernel has a parallel port but there is no " << config.DevDir
                   << "/parport*; load ppdev (sudo modprobe ppdev)\n";
      return ERROR_FILE_NOT_FOUND;
    }
  }
  messages.Once(config.Choice == TBackendChoice::Simulated ? SimulatedOnRequest : SimulatedForLackOfPorts);
  return OpenSimulatedBank(config, session, messages);
}

}  // namespace lptwdmio
