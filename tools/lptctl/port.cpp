#include "port.h"

#include "port_text.h"
#include "winapi.h"

#include <cstdio>
#include <ostream>

namespace lptctl {

std::string AdviceFor(DWORD code, const TLptPortConnection* failed) {
  const std::string advice =
      failed ? ConnectionAdvice(*failed, code, "lptctl") : ConnectionAdvice(code, "lptctl");
  return advice.empty() ? "the driver's message above, if any, says more" : advice;
}

std::unique_ptr<TPorts> TPorts::Open(std::ostream& err) {
  std::unique_ptr<TPorts> ports(new TPorts);
  if (!ports->Connection_.IsUsable()) {
    const DWORD code = GetLastError();
    err << "lptctl: cannot open the port connection (error " << code
        << "): " << AdviceFor(code, &ports->Connection_) << "\nlptctl doctor looks into why.\n";
    return nullptr;
  }
  // Without an answer (an older driver) nothing is known of the ports' kind.
  ports->Connection_.QueryPorts(ports->Reports_);
  return ports;
}

bool TPorts::Present(BYTE port) const {
  switch (port) {
    case PortLpt1: return Connection_.Lpt1Present();
    case PortLpt2: return Connection_.Lpt2Present();
    case PortLpt3: return Connection_.Lpt3Present();
  }
  return false;
}

std::string TPorts::Kind(BYTE port) const { return PortKindText(Report(port)); }

bool TPorts::Require(BYTE port, std::ostream& err) const {
  if (Present(port)) return true;
  err << "lptctl: " << PortName(port) << " is absent; lptctl probe lists the ports that answer\n";
  return false;
}

// A port found busy is named with its holder, asked for afresh; the
// failure's code stays the last error.
void TPorts::SayFailure(const char* doing, BYTE port, std::ostream& err) {
  const DWORD code = GetLastError();
  err << "lptctl: " << doing << ' ' << PortName(port) << " failed (error " << code << "): ";
  TLptPortReports now{};
  if (code == ERROR_BUSY && Connection_.QueryPorts(now) && now[(port >> 4) - 1].Held)
    err << PortName(port) << " is " << HolderText(now[(port >> 4) - 1]) << "; ";
  err << AdviceFor(code) << '\n';
  SetLastError(code);  // the caller's to read, whatever asking for the holder left
}

bool TPorts::Read(BYTE port, TRegisters& registers, std::ostream& err) {
  PortIoPair pairs[] = {{BYTE(port | RegData), 0}, {BYTE(port | RegStatus), 0}, {BYTE(port | RegControl), 0}};
  if (!Connection_.ReadPairs(pairs, 3)) {
    SayFailure("reading", port, err);
    return false;
  }
  registers = {pairs[0].Value, pairs[1].Value, pairs[2].Value};
  return true;
}

bool TPorts::Write(BYTE port, BYTE offset, BYTE value, std::ostream& err) {
  if (Connection_.WriteRegister(port, offset, value)) return true;
  SayFailure("writing", port, err);
  return false;
}

bool TPorts::WriteData(BYTE port, BYTE value, std::ostream& err) { return Write(port, RegData, value, err); }

bool TPorts::WriteControl(BYTE port, BYTE value, std::ostream& err) {
  return Write(port, RegControl, value, err);
}

bool TPorts::WriteControlLines(BYTE port, BYTE current, BYTE value, std::ostream& err) {
  return WriteControl(port, BYTE((current & 0xF0) | (value & 0x0F)), err);
}

}  // namespace lptctl
