// A scripted "LptAccessAgent" device for the port-access and console suites:
// the driver's own request handling over three ports whose registers the test
// sets, with every register access logged in the order the device saw it.
#pragma once

#include "emulation_control.h"
#include "port_bank.h"

#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

// One port of the device. An absent port reads all ones and is left out of
// the port query; writes land in its registers all the same.
struct TFakePort {
  bool Present = false;
  BYTE Data = 0;
  BYTE Status = 0x7F;
  BYTE Control = 0xC0;
  BYTE DeadDataLines = 0;  // data lines that always read 0, as on a damaged port
  bool Simulated = false;  // what the port query says about it
  WORD Base = 0;           // likewise; 0 leaves the base out
  BYTE SystemNumber = 0;   // likewise: the system's own LPTn
  bool Held = false;       // another program holds it: the query says so, a batch on it is busy
  DWORD Holder = 0;        // who, as the query says
};

struct TPortAccess {
  bool Write = false;
  BYTE Address = 0;
  BYTE Value = 0;
  friend bool operator==(const TPortAccess&, const TPortAccess&) = default;
  std::string Text() const;  // "R 10" for a read, "W 10 55" for a write
};

class TScriptedPort {
 public:
  TScriptedPort();
  ~TScriptedPort();
  TScriptedPort(const TScriptedPort&) = delete;
  TScriptedPort& operator=(const TScriptedPort&) = delete;

  // Registers the device with the emulation; 0 or the emulation's error.
  DWORD Register();

  TFakePort& Port(BYTE prefix) { return Ports[(prefix >> 4) - 1]; }
  // The register a port address names (0x10-0x12, 0x20-0x22, 0x30-0x32).
  BYTE& RegisterAt(BYTE address);

  std::array<TFakePort, 3> Ports;  // LPT1, LPT2, LPT3
  std::set<BYTE> Stuck;            // addresses whose writes are lost
  bool Failing = false;            // every request fails with ERROR_GEN_FAILURE, touching nothing
  DWORD Answer = ERROR_SUCCESS;    // when set, what each request reports after it was served
  bool AnswersQuery = true;        // false: refuses the port query as an older driver does
  DWORD OpenError = ERROR_SUCCESS;
  int OpenSessions = 0;
  int Requests = 0;
  std::vector<TPortAccess> Log;

  // Accesses logged since the mark.
  std::vector<TPortAccess> Since(std::size_t mark) const;
  std::vector<TPortAccess> Writes(std::size_t mark = 0) const;
  std::vector<std::string> LogText() const;

 private:
  class TBank;
  DWORD Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned);

  std::unique_ptr<TBank> Bank_;
};
