// lptctl's way to the ports: the window's driver, opened once per command
// without the window's probe, so that a command touches only the port it
// works on (and holds it until it ends), and the register moves the
// commands share.
#pragma once

#include "LPTIO.h"
#include "lines.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace lptctl {

class TPorts {
 public:
  // Opens the connection (starting the driver beside the program when
  // needed), writing nothing. On failure says why and what to do on err and
  // returns null.
  static std::unique_ptr<TPorts> Open(std::ostream& err);

  TLptPortConnection& Connection() { return Connection_; }
  bool Present(BYTE port) const;
  // What the driver said of the port; nothing known when it could not say.
  const TLptPortReport& Report(BYTE port) const { return Reports_[(port >> 4) - 1]; }
  // " simulated", " base=0x378" or nothing.
  std::string Kind(BYTE port) const;

  // A present port or a line on err saying it is absent. A port another
  // program holds is present: its first transfer waits its turn, within the
  // driver's bound.
  bool Require(BYTE port, std::ostream& err) const;

  // The three registers in one batch; on failure a line on err.
  bool Read(BYTE port, TRegisters& registers, std::ostream& err);
  bool WriteData(BYTE port, BYTE value, std::ostream& err);
  // The four control lines only: bits 4-7 (direction, interrupt) stay as in
  // `current`, the control register as just read.
  bool WriteControlLines(BYTE port, BYTE current, BYTE value, std::ostream& err);
  bool WriteControl(BYTE port, BYTE value, std::ostream& err);

 private:
  TPorts() = default;
  bool Write(BYTE port, BYTE offset, BYTE value, std::ostream& err);
  void SayFailure(const char* doing, BYTE port, std::ostream& err);

  TLptPortConnection Connection_{TLptConnectionOptions{.EchoProbe = false, .DriverFolder = {}}};
  TLptPortReports Reports_{};
};

// What a Windows error code from the connection means to the user; with the
// connection that failed to open, also why it failed.
std::string AdviceFor(DWORD code, const TLptPortConnection* failed = nullptr);

}  // namespace lptctl
