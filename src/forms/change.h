// Setters store a value only when it changes; re-entry guards set a flag for
// a scope. One way each, for the framework and everything built on it.
#pragma once

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
