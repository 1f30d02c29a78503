#include "utf16.h"

#include "utf8.h"

namespace display {

namespace {

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

char32_t Join(char16_t high, char16_t low) {
  return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
}

}  // namespace

std::u16string ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (char32_t c : platform::Utf8Decode(utf8)) {
    if (c < 0x10000) {
      out.push_back(char16_t(c));
    } else {
      c -= 0x10000;
      out.push_back(char16_t(0xD800 + (c >> 10)));
      out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    }
  }
  return out;
}

std::string FromUtf16(std::u16string_view utf16) {
  std::u32string points;
  points.reserve(utf16.size());
  TSurrogateJoiner joiner;
  for (char16_t unit : utf16) points += joiner.Push(unit);
  if (joiner.Pending()) points.push_back(platform::ReplacementCharacter);
  return platform::Utf8Encode(points);
}

std::string ToCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

std::string FromCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

std::u32string TSurrogateJoiner::Push(char16_t unit) {
  std::u32string out;
  if (High_ && IsLow(unit)) {
    out.push_back(Join(High_, unit));
    High_ = 0;
    return out;
  }
  if (High_) out.push_back(platform::ReplacementCharacter);
  High_ = 0;
  if (IsHigh(unit))
    High_ = unit;
  else
    out.push_back(IsLow(unit) ? platform::ReplacementCharacter : char32_t(unit));
  return out;
}

}  // namespace display
