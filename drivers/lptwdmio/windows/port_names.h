// The names Windows gives parallel ports, read as the driver needs them.
// Freestanding, so the kernel driver and its tests share it.
#pragma once

#include "request_rules.h"

namespace lptwdmio::kernel {

// Length up to the first NUL, at most limit.
template <typename Char>
constexpr unsigned long NameLength(const Char* name, unsigned long limit) {
  unsigned long length = 0;
  while (length < limit && name[length] != Char(0)) ++length;
  return length;
}

constexpr int FoldCase(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
constexpr bool SameLetter(int a, int b) { return FoldCase(a) == FoldCase(b); }

// n of "LPTn" (1-255), alone or after a backslash ("\DosDevices\LPT4"): the
// system's own number of the port; 0 for any other name.
template <typename Char>
constexpr int LptNumberOfName(const Char* name, unsigned long length) {
  length = NameLength(name, length);
  unsigned long start = length;
  while (start > 0 && name[start - 1] != Char('\\')) --start;
  const Char* tail = name + start;
  const unsigned long tailLength = length - start;
  if (tailLength < 4 || tailLength > 6) return 0;
  if (!SameLetter(tail[0], 'l') || !SameLetter(tail[1], 'p') || !SameLetter(tail[2], 't')) return 0;
  if (tail[3] == Char('0')) return 0;
  int number = 0;
  for (unsigned long i = 3; i < tailLength; ++i) {
    if (tail[i] < Char('0') || tail[i] > Char('9')) return 0;
    number = number * 10 + int(tail[i] - Char('0'));
  }
  return number <= 255 ? number : 0;
}

// N of the class device "\Device\Parallel<N>" (any case, up to four digits),
// or -1.
template <typename Char>
constexpr int ClassDeviceIndex(const Char* name, unsigned long length) {
  constexpr char Prefix[] = "\\Device\\Parallel";
  constexpr unsigned long PrefixLength = sizeof Prefix - 1;
  length = NameLength(name, length);
  if (length <= PrefixLength || length - PrefixLength > 4) return -1;
  for (unsigned long i = 0; i < PrefixLength; ++i)
    if (!SameLetter(name[i], Prefix[i])) return -1;
  int index = 0;
  for (unsigned long i = PrefixLength; i < length; ++i) {
    if (name[i] < Char('0') || name[i] > Char('9')) return -1;
    index = index * 10 + int(name[i] - Char('0'));
  }
  return index;
}

}  // namespace lptwdmio::kernel
