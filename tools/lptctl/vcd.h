// A Value Change Dump of the connector's lines, one 1-bit wire per line
// named by signal and pin, levels as on the connector, 1 us timescale.
#pragma once

#include "lines.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace lptctl {

class TVcdWriter {
 public:
  explicit TVcdWriter(std::ostream& out) : Out_(out) {}

  // The header, and every wire's level at time 0.
  void Begin(const std::string& scope, const std::string& comment, const std::string& date,
             const TRegisters& registers);
  // The wires whose level differs from the last sample; nothing when none does.
  void Sample(std::uint64_t us, const TRegisters& registers);
  // The closing time stamp: without it a viewer drops the last change.
  void End(std::uint64_t us);
  // 0 while every flush went through; else the errno of the first that
  // failed (a full disk shows at once, not when the watch ends).
  int Failure() const { return Failure_; }

 private:
  static std::string Code(std::size_t wire);
  void Flush();

  std::ostream& Out_;
  TRegisters Last_{};
  std::uint64_t LastTime_ = 0;
  int Failure_ = 0;
};

// Flushes out: 0 when it took everything so far, else the errno of the
// write that failed (EIO when the system left none).
int FlushFailure(std::ostream& out);

}  // namespace lptctl
