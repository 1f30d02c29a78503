#include "port_session.h"

#include "line_port.h"
#include "lines.h"
#include "winapi.h"

#include <ostream>
#include <utility>

namespace {

constexpr const char* GenericAdvice = "the driver's message above, if any, says more";

DWORD OpenedOrError(const TLptPortConnection& connection) {
  return connection.IsUsable() ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

TPortSession::TPortSession(std::string program)
    : Program_(std::move(program)),
      Connection_(TLptConnectionOptions{.EchoProbe = false, .DriverFolder = {}}),
      OpenError_(OpenedOrError(Connection_)) {
  // Without an answer (direct path, older driver) nothing is known of the ports' kind.
  if (!OpenError_) Connection_.QueryPorts(Reports_);
}

bool TPortSession::Present(BYTE port) const { return lptctl::PortPresent(Connection_, port); }

TPortLook TPortSession::Look(BYTE port) {
  TPortLook look{TPortLook::Absent, Report(port), 0, 0, 0, 0};
  if (!Present(port)) return look;
  if (look.Report.Held) {
    look.State = TPortLook::Held;
    return look;
  }
  lptctl::TRegisters registers;
  look.Error = lptctl::TLinePort(Connection_, port).Read(registers);
  if (!look.Error) {
    look = {TPortLook::Read, look.Report, registers.Data, registers.Status, registers.Control, 0};
    return look;
  }
  // A port taken since the driver was asked is held too.
  look.State = look.Error == ERROR_BUSY ? TPortLook::Held : TPortLook::Failed;
  return look;
}

void TPortSession::PrintProbe(std::ostream& out) {
  for (const BYTE port : {PortLpt1, PortLpt2, PortLpt3})
    out << PortLine(lptctl::PortName(port), Look(port)) << '\n';
}

std::string AdviceFor(DWORD code, const std::string& program) {
  const std::string advice = ConnectionAdvice(code, program);
  return advice.empty() ? GenericAdvice : advice;
}

std::string TPortSession::AdviceFor(DWORD code) const {
  return OpenError_ && Connection_.DriverFolderNotAnsi() ? FolderNameAdvice(Program_)
                                                         : ::AdviceFor(code, Program_);
}

std::string TPortSession::HolderNote(BYTE port, DWORD code) {
  TLptPortReports now{};
  if (code != ERROR_BUSY || !Connection_.QueryPorts(now) || !now[(port >> 4) - 1].Held) return "";
  return lptctl::PortName(port) + " is " + HolderText(now[(port >> 4) - 1]) + "; ";
}
