#include "doctor.h"

#include "LPTIO.h"
#include "lines.h"
#include "port.h"
#include "port_text.h"
#include "process_info.h"
#include "winapi.h"

#include <cstdio>
#include <filesystem>
#include <ostream>

namespace lptctl {

namespace {

const char* Mark(TSeverity severity) {
  switch (severity) {
    case TSeverity::Ok: return "[ok]  ";
    case TSeverity::Note: return "[note]";
    case TSeverity::Problem: return "[FAIL]";
  }
  return "";
}

}  // namespace

void PrintFindings(const std::vector<TFinding>& findings, std::ostream& out) {
  for (const TFinding& finding : findings) {
    out << Mark(finding.Severity) << ' ' << finding.Check << ": " << finding.Finding << '\n';
    if (!finding.Fix.empty()) out << "       fix: " << finding.Fix << '\n';
  }
}

TFinding CheckDriverFile(TModuleImageCheck imageCheck, TSignatureCheck signatureCheck) {
  const std::filesystem::path module =
      std::filesystem::path(platform::ExecutablePath()).parent_path() / "LPTWDMIO.SYS";
  constexpr const char* Reinstall = "install lptctl again: the module must lie beside the program";
  std::error_code error;
  if (!std::filesystem::exists(module, error))
    return {TSeverity::Problem, "driver module", module.string() + " is missing", Reinstall};
  if (const std::string problem = imageCheck ? imageCheck(module.string()) : std::string(); !problem.empty())
    return {TSeverity::Problem, "driver module", module.string() + " cannot be loaded: " + problem,
            Reinstall};
  if (!std::filesystem::is_regular_file(module, error))
    return {TSeverity::Problem, "driver module", module.string() + " is not a regular file", Reinstall};
  if (signatureCheck && !signatureCheck(module.string()))
    return {TSeverity::Problem, "driver module", module.string() + " carries no signature",
            "use the signed LPTWDMIO.SYS of the build"};
  return {TSeverity::Ok, "driver module",
          module.string() + (signatureCheck ? " is there and signed" : " is there"), ""};
}

std::vector<TFinding> CheckConnection(bool& realUsable) {
  std::vector<TFinding> findings;
  realUsable = false;
  TLptPortConnection connection(TLptConnectionOptions{.EchoProbe = false, .DriverFolder = {}});
  if (!connection.IsUsable()) {
    const DWORD code = GetLastError();
    findings.push_back({TSeverity::Problem, "connection",
                        "the driver did not open (error " + std::to_string(code) + ")",
                        AdviceFor(code, &connection)});
    return findings;
  }
  TLptPortReports reports{};
  const bool answered = connection.QueryPorts(reports);
  const bool present[] = {connection.Lpt1Present(), connection.Lpt2Present(), connection.Lpt3Present()};
  std::string real, simulated;
  for (int slot = 0; slot < 3; ++slot) {
    if (!present[slot]) continue;
    const std::string name = PortName(BYTE((slot + 1) << 4));
    if (answered && reports[slot].Simulated)
      simulated += (simulated.empty() ? "" : ", ") + name;
    else
      real += (real.empty() ? "" : ", ") + name +
              (answered && reports[slot].Base ? " at " + BaseText(reports[slot].Base) : std::string());
  }
  findings.push_back({TSeverity::Ok, "connection", "the driver loads and opens"});
  if (!real.empty()) {
    realUsable = true;
    findings.push_back(
        {TSeverity::Ok, "result",
         "real port" + std::string(real.find(',') != std::string::npos ? "s" : "") + " usable: " + real});
  } else if (!simulated.empty()) {
    findings.push_back({TSeverity::Problem, "result",
                        "simulated ports only (" + simulated + "); no real port is in reach",
                        "see the checks above"});
  } else {
    findings.push_back({TSeverity::Problem, "result", "no port answers", "see the checks above"});
  }
  return findings;
}

}  // namespace lptctl
