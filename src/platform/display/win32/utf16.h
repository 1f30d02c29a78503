// UTF-8 <-> UTF-16 for the Windows API's wide strings, through the program's
// one UTF-8 decoder, and typed UTF-16 code units joined into characters.
#pragma once

#include <string>
#include <string_view>

namespace display {

std::u16string ToUtf16(std::string_view utf8);
// A surrogate without its partner becomes U+FFFD.
std::string FromUtf16(std::u16string_view utf16);

// Line breaks as the Windows clipboard keeps them (CR LF), and back.
std::string ToCrLf(std::string_view text);
std::string FromCrLf(std::string_view text);

// Characters arrive one UTF-16 unit at a time (WM_CHAR); a character outside
// the Basic Multilingual Plane comes as two.
class TSurrogateJoiner {
 public:
  // The characters this unit completes, in order: none while a pair is half
  // read, U+FFFD for a half pair the unit breaks off.
  std::u32string Push(char16_t unit);
  // A first half waits for its partner.
  bool Pending() const { return High_ != 0; }
  void Reset() { High_ = 0; }

 private:
  char16_t High_ = 0;
};

}  // namespace display
