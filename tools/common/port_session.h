// The command-line tools' way to the ports: the window's driver opened
// without the window's probe, so that a tool touches only the port it works
// on (and holds it until it ends), with what the driver said of each port
// when it opened, and one way of saying what went wrong.
#pragma once

#include "LPTIO.h"
#include "port_text.h"

#include <iosfwd>
#include <string>

// What a Windows error code from the connection means to the user of
// program and what to do, or where to look when there is no advice of its own.
std::string AdviceFor(DWORD code, const std::string& program);

class TPortSession {
 public:
  // Opens the connection (starting the driver beside the program when
  // needed), writing nothing. program names the tool in advice.
  explicit TPortSession(std::string program);
  TPortSession(const TPortSession&) = delete;
  TPortSession& operator=(const TPortSession&) = delete;

  // 0 when the connection opened, else the Windows error it failed with.
  DWORD OpenError() const { return OpenError_; }
  TLptPortConnection& Connection() { return Connection_; }

  bool Present(BYTE port) const;
  // What the driver said of the port; nothing known when it could not say.
  const TLptPortReport& Report(BYTE port) const { return Reports_[(port >> 4) - 1]; }

  // The three registers of a present port in one batch, unless the driver
  // says another program holds it. Writes nothing.
  TPortLook Look(BYTE port);
  // The probe's line for each of LPT1-LPT3.
  void PrintProbe(std::ostream& out);

  // What a Windows error code from the connection means to the user and
  // what to do. A failed open looks first at why: a driver folder whose name
  // the service manager cannot take fails with the plain "file not found",
  // which alone would send the user looking for the file.
  std::string AdviceFor(DWORD code) const;
  // "LPT2 is held by pid 4242 (pinlark); " when code says busy and the
  // driver, asked afresh, says who holds port; empty otherwise.
  std::string HolderNote(BYTE port, DWORD code);

 private:
  std::string Program_;
  TLptPortConnection Connection_;
  DWORD OpenError_ = 0;
  TLptPortReports Reports_{};
};
