// lptctl doctor on Windows: the driver file and its signature, the service
// (started here, so that the service manager's own answer can be told),
// test signing, and the LPT ports Windows itself lists.
#include "doctor.h"
#include "doctor_signature_windows.h"

#include "LPTIO.h"
#include "port.h"
#include "port_text.h"
#include "winapi_lean.h"

#include <memory>
#include <ostream>
#include <type_traits>

namespace lptctl {

namespace {

// RegQueryValueExA, not RegGetValueA: the 32-bit build runs on Windows XP.
std::string ReadString(HKEY root, const char* path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  char value[1024] = {};
  DWORD size = sizeof value - 1, type = 0;
  const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? value : "";
}

struct TScCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using TScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, TScCloser>;

// MinGW's headers lack it: the image's signature (hash) is not accepted.
constexpr DWORD SignatureRefused = 577;

constexpr const char* AdministratorFix = "run lptctl doctor from an administrator prompt";

// What StartServiceA's answer means, and the fix.
struct TStartAnswer {
  DWORD Code;
  TSeverity Severity;
  const char* Finding;
  const char* Fix;
};

constexpr TStartAnswer StartAnswers[] = {
    {ERROR_SUCCESS, TSeverity::Ok, "started", ""},
    {ERROR_SERVICE_ALREADY_RUNNING, TSeverity::Ok, "runs already", ""},
    {SignatureRefused, TSeverity::Problem, "Windows refused the driver's test signature",
     "as administrator, in lptctl's folder: certutil -addstore Root pinlark-test-signing.cer, "
     "certutil -addstore TrustedPublisher pinlark-test-signing.cer, bcdedit /set testsigning on, then "
     "restart with Secure Boot off (README.txt, \"Test signing\")"},
    {ERROR_DRIVER_BLOCKED, TSeverity::Problem, "Windows blocked the driver by policy",
     "turn Memory integrity off (Windows Security, Device security, Core isolation details) or ask whoever "
     "set the driver policy of this PC, then restart"},
    {ERROR_ACCESS_DENIED, TSeverity::Problem, "the service manager refused to start it", AdministratorFix},
    {ERROR_FILE_NOT_FOUND, TSeverity::Problem, "Windows did not find LPTWDMIO.SYS",
     "keep LPTWDMIO.SYS beside lptctl.exe: unpack the whole ZIP again"},
    {ERROR_PATH_NOT_FOUND, TSeverity::Problem, "Windows did not find LPTWDMIO.SYS's folder",
     "keep LPTWDMIO.SYS beside lptctl.exe: unpack the whole ZIP again"},
    {ERROR_SERVICE_DISABLED, TSeverity::Problem, "the service is disabled",
     "as administrator: sc config lptwdmio start= demand"},
    {ERROR_SERVICE_MARKED_FOR_DELETE, TSeverity::Problem,
     "an earlier run deleted the service while its driver was loaded", "restart Windows"},
};

TFinding StartFinding(DWORD code, bool installed) {
  const std::string service = std::string(ServiceName) + (installed ? " (installed for this check) " : " ");
  for (const TStartAnswer& answer : StartAnswers)
    if (answer.Code == code)
      return {answer.Severity, "service",
              service + answer.Finding + (code ? " (error " + std::to_string(code) + ")" : std::string()),
              answer.Fix};
  return {TSeverity::Problem, "service", service + "did not start (error " + std::to_string(code) + ")",
          "README.txt, \"When the driver does not start\", says more"};
}

// Starts the driver service, installing it from lptctl's folder when it is
// missing, and says what the service manager answered. A service installed
// here is deleted again (its driver stays loaded, as after Pinlark's own run).
TFinding CheckService() {
  TScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager)
    return {TSeverity::Problem, "service",
            "the service manager refused (error " + std::to_string(GetLastError()) + ")", AdministratorFix};
  TScHandle service(OpenServiceA(manager.get(), ServiceName, SERVICE_ALL_ACCESS));
  const bool installed = !service;
  if (installed) {
    const std::string path = DriverServicePath("");
    if (path.empty()) return {TSeverity::Problem, "service", "not installed", FolderNameAdvice("lptctl")};
    service.reset(CreateServiceA(manager.get(), ServiceName, ServiceDisplayName, SERVICE_ALL_ACCESS,
                                 SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                 path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) {
      const DWORD code = GetLastError();
      return {TSeverity::Problem, "service",
              std::string(ServiceName) + " could not be installed (error " + std::to_string(code) + ")",
              code == ERROR_ACCESS_DENIED ? AdministratorFix : AdviceFor(code)};
    }
  }
  const DWORD code = StartServiceA(service.get(), 0, nullptr) ? ERROR_SUCCESS : GetLastError();
  if (installed) DeleteService(service.get());
  return StartFinding(code, installed);
}

TFinding CheckTestSigning() {
  const std::string options =
      ReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control", "SystemStartOptions");
  if (options.find("TESTSIGNING") != std::string::npos)
    return {TSeverity::Ok, "test signing", "on: the build's test-signed driver may load", ""};
  return {TSeverity::Note, "test signing", "off: 64-bit Windows loads the test-signed driver only with it on",
          "README.txt, \"Test signing\": Secure Boot off, the certificate trusted, bcdedit /set testsigning "
          "on, a restart"};
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
  std::vector<TFinding> findings{CheckDriverFile(nullptr, HasEmbeddedSignature), CheckService(),
                                 CheckTestSigning(), CheckWindowsPorts()};
  bool realUsable = false;
  for (TFinding& finding : CheckConnection(realUsable)) findings.push_back(std::move(finding));
  PrintFindings(findings, out);
  return realUsable ? 0 : 1;
}

}  // namespace lptctl
