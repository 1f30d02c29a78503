// lptctl's way to the ports: the tools' session, opened once per command,
// and the register moves the commands share, each saying on err what went
// wrong.
#pragma once

#include "lines.h"
#include "port_session.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace lptctl {

class TPorts : public TPortSession {
 public:
  // Opens the connection (starting the driver beside the program when
  // needed), writing nothing. On failure says why and what to do on err and
  // returns null.
  static std::unique_ptr<TPorts> Open(std::ostream& err);

  // " simulated", " base=0x378" or nothing.
  std::string Kind(BYTE port) const;

  // A present port or a line on err saying it is absent. A port another
  // program holds is present: its first transfer waits its turn, within the
  // driver's bound.
  bool Require(BYTE port, std::ostream& err) const;

  // The three registers in one batch: 0 or the driver's Windows error.
  DWORD TryRead(BYTE port, TRegisters& registers);
  // The same, saying a failure on err.
  bool Read(BYTE port, TRegisters& registers, std::ostream& err);
  bool WriteData(BYTE port, BYTE value, std::ostream& err);
  // The four control lines only: bits 4-7 (direction, interrupt) stay as in
  // `current`, the control register as just read.
  bool WriteControlLines(BYTE port, BYTE current, BYTE value, std::ostream& err);
  bool WriteControl(BYTE port, BYTE value, std::ostream& err);

  // "lptctl: reading LPT1 failed (error 170): " and what to do, with the
  // port's holder when another program holds it.
  std::string Failure(const std::string& doing, BYTE port, DWORD code);

 private:
  TPorts() : TPortSession("lptctl") {}
  bool Write(BYTE port, BYTE offset, BYTE value, std::ostream& err);
};

}  // namespace lptctl
