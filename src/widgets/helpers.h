// The few small helpers every widget shares: the framework's store-if-changed
// and scoped flag, a contained fault's one line, and rounding halves to even.
#pragma once

#include "change.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

// One line on stderr for a fault that is contained where it happened
// ("TTimerThread: thread body failed: tick failed").
inline void ReportFault(const std::string& who, const char* doing, const std::exception_ptr& fault) {
  std::string what = "unknown exception";
  try {
    if (fault) std::rethrow_exception(fault);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  std::fprintf(stderr, "%s: %s failed: %s\n", who.c_str(), doing, what.c_str());
}

// Nearest integer, halves to the even neighbour, whatever the floating-point
// environment's rounding mode.
inline int RoundHalfEven(double v) {
  const double down = std::floor(v);
  const double frac = v - down;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(down, 2.0) != 0.0)) return int(down) + 1;
  return int(down);
}
