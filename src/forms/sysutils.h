// Runtime helpers: the exception family and string conversions.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Base of the framework's exceptions; Message() is what error boxes show.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EInvalidCast : public Exception {
 public:
  using Exception::Exception;
};

class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// Text to integer by the classic runtime rule: optional sign, decimal digits,
// or "$"/"0x" followed by hexadecimal digits (either case). Anything else
// throws EConvertError("'<text>' is not a valid integer value"). Values that
// overflow 32 bits are rejected the same way.
std::int32_t StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, std::int32_t& value);

// Upper-case hexadecimal with at least `digits` digits.
std::string IntToHex(std::uint64_t value, int digits);
std::string IntToStr(std::int64_t value);

// Number of code points in a UTF-8 string, and conversions used by text input
// (the platform's one UTF-8 rule: each malformed sequence becomes one U+FFFD).
std::size_t Utf8Length(const std::string& text);
std::string Utf8Encode(char32_t codepoint);
std::u32string Utf8Decode(const std::string& text);
std::string Utf8Encode(const std::u32string& text);
