#include "port.h"

#include "line_port.h"
#include "winapi.h"

#include <ostream>

namespace lptctl {

std::unique_ptr<TPorts> TPorts::Open(std::ostream& err) {
  std::unique_ptr<TPorts> ports(new TPorts);
  if (const DWORD code = ports->OpenError()) {
    err << "lptctl: cannot open the port connection (error " << code << "): " << ports->AdviceFor(code)
        << "\nlptctl doctor looks into why.\n";
    return nullptr;
  }
  return ports;
}

std::string TPorts::Kind(BYTE port) const { return PortKindText(Report(port)); }

bool TPorts::Require(BYTE port, std::ostream& err) const {
  if (Present(port)) return true;
  err << "lptctl: " << PortName(port) << " is absent; lptctl probe lists the ports that answer\n";
  return false;
}

std::string TPorts::Failure(const std::string& doing, BYTE port, DWORD code) {
  return "lptctl: " + doing + ' ' + PortName(port) + " failed (error " + std::to_string(code) +
         "): " + HolderNote(port, code) + AdviceFor(code) + '\n';
}

DWORD TPorts::TryRead(BYTE port, TRegisters& registers) {
  return TLinePort(Connection(), port).Read(registers);
}

bool TPorts::Read(BYTE port, TRegisters& registers, std::ostream& err) {
  const DWORD code = TryRead(port, registers);
  if (code) err << Failure("reading", port, code);
  return !code;
}

bool TPorts::Write(BYTE port, BYTE offset, BYTE value, std::ostream& err) {
  if (Connection().WriteRegister(port, offset, value)) return true;
  err << Failure("writing", port, GetLastError());
  return false;
}

bool TPorts::WriteData(BYTE port, BYTE value, std::ostream& err) { return Write(port, RegData, value, err); }

bool TPorts::WriteControl(BYTE port, BYTE value, std::ostream& err) {
  return Write(port, RegControl, value, err);
}

bool TPorts::WriteControlLines(BYTE port, BYTE current, BYTE value, std::ostream& err) {
  return WriteControl(port, ControlWithLines(current, value), err);
}

}  // namespace lptctl
