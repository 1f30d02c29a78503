// A scripted "LptAccessAgent" device for the console tests: three ports with
// plain registers, a switch that makes every request fail, and a log of every
// register access in the order the device saw it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "LPTIO.h"
#include "emulation_control.h"

struct TFakePort {
  bool Present = false;
  std::uint8_t Data = 0;
  std::uint8_t Status = 0x7F;
  std::uint8_t Control = 0xC0;
};

struct TPortAccess {
  bool Write = false;
  std::uint8_t Address = 0;
  std::uint8_t Value = 0;
  friend bool operator==(const TPortAccess&, const TPortAccess&) = default;
};

class TScriptedPort {
 public:
  std::array<TFakePort, 3> Ports;  // LPT1, LPT2, LPT3
  bool Failing = false;            // every request fails with ERROR_GEN_FAILURE
  DWORD OpenError = ERROR_SUCCESS;
  std::vector<TPortAccess> Log;
  int Requests = 0;

  void Register() {
    emulation::TEmulatedDevice device;
    device.Open = [this](void** session) {
      *session = this;
      return OpenError;
    };
    device.Control = [this](void*, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                            DWORD* returned) { return Handle(code, in, inLength, out, outLength, returned); };
    device.Close = [](void*) {};
    emulation::RegisterDevice("LptAccessAgent", device);
  }

  TFakePort& Port(std::uint8_t prefix) { return Ports[(prefix >> 4) - 1]; }

  // Accesses logged since the mark.
  std::vector<TPortAccess> Since(std::size_t mark) const {
    return {Log.begin() + std::ptrdiff_t(mark), Log.end()};
  }
  std::vector<TPortAccess> Writes(std::size_t mark = 0) const {
    std::vector<TPortAccess> writes;
    for (const TPortAccess& a : Since(mark))
      if (a.Write) writes.push_back(a);
    return writes;
  }

 private:
  static bool ValidAddress(std::uint8_t a) {
    const int prefix = a >> 4;
    const int reg = a & 0x0F;
    return prefix >= 1 && prefix <= 3 && reg <= 2;
  }

  DWORD Handle(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) {
    ++Requests;
    if (Failing) return ERROR_GEN_FAILURE;
    if (inLength == 0 || inLength % 2 || inLength != outLength) return ERROR_INVALID_PARAMETER;
    if (code != IoctlRead && code != IoctlWrite) return ERROR_INVALID_FUNCTION;
    std::vector<PortIoPair> pairs(inLength / 2);
    std::memcpy(pairs.data(), in, inLength);
    for (const PortIoPair& p : pairs)
      if (!ValidAddress(p.PortAddress)) return ERROR_INVALID_PARAMETER;
    for (PortIoPair& p : pairs) Access(code == IoctlWrite, p);
    std::memcpy(out, pairs.data(), outLength);
    *returned = outLength;
    return ERROR_SUCCESS;
  }

  void Access(bool write, PortIoPair& pair) {
    TFakePort& port = Port(pair.PortAddress & 0xF0);
    const int reg = pair.PortAddress & 0x0F;
    if (write) {
      if (reg == RegData) port.Data = pair.Value;
      if (reg == RegControl) port.Control = pair.Value;
    } else if (!port.Present) {
      pair.Value = 0xFF;
    } else {
      pair.Value = reg == RegData ? port.Data : reg == RegStatus ? port.Status : port.Control;
    }
    Log.push_back({write, pair.PortAddress, pair.Value});
  }
};
