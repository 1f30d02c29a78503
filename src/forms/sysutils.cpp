#include "sysutils.h"

#include <cstdint>

#include "utf8.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Classic rule: leading blanks, optional sign, then decimal digits or "$"/"0x"
// and hexadecimal digits; nothing may follow. Hexadecimal takes up to 32 bits
// (two's complement, "$FFFFFFFF" is -1), decimal the signed 32-bit range.
bool ParseInt(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  std::uint64_t acc = 0;
  for (; i < n; ++i) {
    const int d = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (d < 0) return false;
    acc = acc * (hex ? 16 : 10) + std::uint64_t(d);
    if (acc > 0xFFFFFFFFull) return false;
  }
  std::int64_t v;
  if (hex) {
    v = std::int64_t(std::int32_t(std::uint32_t(acc)));
    if (negative) v = -v;
    if (v > INT32_MAX) return false;  // -$80000000
  } else {
    v = negative ? -std::int64_t(acc) : std::int64_t(acc);
    if (v > INT32_MAX || v < INT32_MIN) return false;
  }
  value = std::int32_t(v);
  return true;
}

}  // namespace

std::int32_t StrToInt(const std::string& text) {
  std::int32_t v = 0;
  if (!ParseInt(text, v)) throw EConvertError("'" + text + "' is not a valid integer value");
  return v;
}

bool TryStrToInt(const std::string& text, std::int32_t& value) {
  std::int32_t v = 0;
  if (!ParseInt(text, v)) return false;
  value = v;
  return true;
}

std::string IntToHex(std::uint64_t value, int digits) {
  static const char HexDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), HexDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (int(out.size()) < digits) out.insert(0, std::size_t(digits) - out.size(), '0');
  return out;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string Utf8Encode(char32_t cp) { return platform::Utf8Encode(cp); }
std::string Utf8Encode(const std::u32string& text) { return platform::Utf8Encode(text); }
std::u32string Utf8Decode(const std::string& text) { return platform::Utf8Decode(text); }

std::size_t Utf8Length(const std::string& text) { return Utf8Decode(text).size(); }
