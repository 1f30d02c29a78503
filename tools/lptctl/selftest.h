// lptctl selftest: with a loopback plug on the port (D0-D4 wired to ERR, SEL,
// PE, ACK and BUSY), drives each data line alone at both levels and says of
// each line whether it follows.
#pragma once

#include "lines.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace lptctl {

class TPorts;

// What the five inputs showed, as pin levels packed D0..D4-wise (bit i is the
// input wired to Di), for one pattern driven on D0-D4.
struct TLoopbackSample {
  BYTE Driven;
  BYTE Seen;
};

enum class TLineFault { None, StuckHigh, StuckLow, Shorted, Crossed, Erratic };

struct TLineVerdict {
  TLineFault Fault = TLineFault::None;
  std::vector<int> Others;  // the lines it is shorted to, or the one it follows
  friend bool operator==(const TLineVerdict&, const TLineVerdict&) = default;
};

struct TLoopbackVerdict {
  bool NoPlug = false;  // no input followed any line
  std::vector<TLineVerdict> Lines;
  bool Passed() const;
};

constexpr int LoopbackLines = 5;

// Every line low, every line high, each line alone high, each alone low.
std::vector<BYTE> LoopbackPatterns();
TLoopbackVerdict JudgeLoopback(const std::vector<TLoopbackSample>& samples);
std::string Describe(const TLineVerdict& verdict);

// Runs the test on a present port and puts back the data and control
// registers it found. 0 when every line passes, 1 otherwise.
int SelfTest(TPorts& ports, BYTE port, std::ostream& out, std::ostream& err);

}  // namespace lptctl
