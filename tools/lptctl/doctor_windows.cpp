// lptctl doctor on Windows: the driver file and its signature, the service,
// test signing, and the LPT ports Windows itself lists.
#include "doctor.h"

#include "LPTIO.h"

#include <windows.h>

#include <ostream>

namespace lptctl {

namespace {

std::string ReadString(HKEY root, const char* path, const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "";
  return value;
}

TFinding CheckService() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager)
    return {TSeverity::Problem, "service",
            "the service manager refused (error " + std::to_string(GetLastError()) + ")",
            "run lptctl from an administrator prompt"};
  SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_QUERY_STATUS);
  TFinding finding{
      TSeverity::Note, "service",
      std::string(ServiceName) + " is not installed; lptctl installs and starts it when it opens a port",
      "run lptctl from an administrator prompt"};
  if (service) {
    SERVICE_STATUS status{};
    const bool running = QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
    finding =
        running ? TFinding{TSeverity::Ok, "service", std::string(ServiceName) + " is installed and runs", ""}
                : TFinding{TSeverity::Note, "service",
                           std::string(ServiceName) + " is installed but not running; lptctl starts it",
                           "run lptctl from an administrator prompt"};
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return finding;
}

TFinding CheckTestSigning() {
  const std::string options =
      ReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control", "SystemStartOptions");
  if (options.find("TESTSIGNING") != std::string::npos)
    return {TSeverity::Ok, "test signing", "on: the build's test-signed driver may load", ""};
  return {TSeverity::Note, "test signing", "off: 64-bit Windows loads the test-signed driver only with it on",
          "from an administrator prompt: bcdedit /set testsigning on, then restart (see the README)"};
}

TFinding CheckWindowsPorts() {
  HKEY key = nullptr;
  std::string names;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\PARALLEL PORTS", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    for (DWORD i = 0;; ++i) {
      char name[256], data[256] = {};
      DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
      if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
          ERROR_SUCCESS)
        break;
      std::string port = data;
      if (const auto slash = port.rfind('\\'); slash != std::string::npos) port = port.substr(slash + 1);
      names += (names.empty() ? "" : ", ") + port;
    }
    RegCloseKey(key);
  }
  if (names.empty())
    return {TSeverity::Problem, "ports Windows lists", "none",
            "enable the port in the firmware setup, or check the card in Device Manager"};
  return {TSeverity::Ok, "ports Windows lists", names, ""};
}

}  // namespace

int Doctor(std::ostream& out, std::ostream&) {
  std::vector<TFinding> findings{CheckDriverFile(true), CheckService(), CheckTestSigning(),
                                 CheckWindowsPorts()};
  bool realUsable = false;
  for (TFinding& finding : CheckConnection(realUsable)) findings.push_back(std::move(finding));
  PrintFindings(findings, out);
  return realUsable ? 0 : 1;
}

}  // namespace lptctl
