#include "backend.h"

#include <cstdlib>

namespace lptwdmio {

namespace {

std::string EnvironmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

TBackendConfig TBackendConfig::FromEnvironment() {
  TBackendConfig config;
  const std::string choice = EnvironmentOr("LPTWDMIO_BACKEND", "");
  if (choice == "simulated")
    config.Choice = TBackendChoice::Simulated;
  else if (choice == "ppdev")
    config.Choice = TBackendChoice::Ppdev;
  config.DevDir = EnvironmentOr("LPTWDMIO_DEV_DIR", config.DevDir);
  config.ProcDir = EnvironmentOr("LPTWDMIO_PROC_DIR", config.ProcDir);
  return config;
}

DWORD OpenSession(const TBackendConfig& config, TSession& session, std::ostream& messages) {
  if (config.Choice != TBackendChoice::Simulated) {
    const std::vector<TParportNode> nodes = FindParports(config.DevDir, config.ProcDir);
    if (!nodes.empty()) {
      const DWORD status = OpenPpdevBank(session.Driver.System, nodes, session.OwnBank, messages);
      session.Bank = session.OwnBank.get();
      return status;
    }
    if (config.Choice == TBackendChoice::Ppdev) return ERROR_FILE_NOT_FOUND;
    // Ports without nodes mean ppdev is not loaded; a simulated bank here
    // would pass off made-up lines as the machine's own port.
    if (KernelHasParports(config.ProcDir)) {
      messages << "lptwdmio: the kernel has a parallel port but there is no " << config.DevDir
               << "/parport*; load ppdev (sudo modprobe ppdev)\n";
      return ERROR_FILE_NOT_FOUND;
    }
  }
  session.Bank = &session.Driver.Simulated;
  return ERROR_SUCCESS;
}

}  // namespace lptwdmio
