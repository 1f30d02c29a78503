// The few small helpers every widget shares: a setter's store-if-changed, a
// scoped flag for re-entry guards, and the design's rounding.
#pragma once

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

// Stores `value` in `field` unless they are already equal; true when it did.
template <class T, class U>
bool SetIfChanged(T& field, U&& value) {
  if (field == value) return false;
  field = std::forward<U>(value);
  return true;
}

// Sets a flag (a bool or an atomic one) for its lifetime and clears it
// however the scope is left.
template <class TFlag>
class TFlagGuard {
 public:
  explicit TFlagGuard(TFlag& flag) : Flag_(flag) { Flag_ = true; }
  ~TFlagGuard() { Flag_ = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  TFlag& Flag_;
};

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
