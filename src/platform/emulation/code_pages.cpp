// Text between UTF-16 and the code pages the emulation knows: UTF-8, and
// Windows-1252 for tests that play a Western system's ANSI code page.
#include "emulated_system.h"
#include "utf8.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace emulation {

namespace {

constexpr UINT Windows1252 = 1252;
constexpr char DefaultChar = '?';

// Bytes 0x80-0x9F of Windows-1252; the other bytes are their own code points.
// The five bytes it leaves undefined map to the C1 controls, as Windows does.
constexpr std::array<char16_t, 32> Upper1252{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t From1252(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? Upper1252[byte - 0x80] : char16_t(byte);
}

std::optional<char> To1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return char(c);
  for (std::size_t i = 0; i < Upper1252.size(); ++i)
    if (Upper1252[i] == c) return char(0x80 + i);
  return std::nullopt;
}

std::u32string DecodeUtf16(std::u16string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      out += char32_t(0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else {
      out += (unit >= 0xD800 && unit < 0xE000) ? platform::ReplacementCharacter : char32_t(unit);
    }
  }
  return out;
}

std::u16string EncodeUtf16(std::u32string_view text) {
  std::u16string out;
  for (char32_t c : text) {
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

// CP_ACP resolved; nothing for a code page the emulation does not know.
std::optional<UINT> KnownCodePage(UINT codePage) {
  if (codePage == CP_ACP) codePage = EmulatedSystem().AnsiCodePage;
  if (codePage == CP_UTF8 || codePage == Windows1252) return codePage;
  return std::nullopt;
}

// Hands a converted text over as Windows does: a size of 0 asks for the
// length; a buffer too small is an error.
template <typename Char>
int Deliver(const std::basic_string<Char>& text, Char* to, int size) {
  if (size == 0) return int(text.size());
  if (text.size() > std::size_t(size)) {
    StoreLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(to, text.data(), text.size() * sizeof(Char));
  return int(text.size());
}

// -1: up to and with the terminating zero.
template <typename Char>
std::basic_string_view<Char> Input(const Char* text, int length) {
  return length < 0 ? std::basic_string_view<Char>(text, std::char_traits<Char>::length(text) + 1)
                    : std::basic_string_view<Char>(text, std::size_t(length));
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) { return EncodeUtf16(platform::Utf8Decode(utf8)); }

std::string Utf16ToUtf8(std::u16string_view utf16) { return platform::Utf8Encode(DecodeUtf16(utf16)); }

}  // namespace emulation

using namespace emulation;

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteLength, LPWSTR wide,
                        int wideSize) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("MultiByteToWideChar", [&] {
        return TArgs{FormatDec(codePage),      FormatHex(flags),
                     FormatPointer(multiByte), FormatDec(DWORD(multiByteLength)),
                     FormatPointer(wide),      FormatDec(DWORD(wideSize))};
      }))
    return 0;
  const std::optional<UINT> page = KnownCodePage(codePage);
  if (!page || !multiByte || multiByteLength == 0 || wideSize < 0 || (wideSize > 0 && !wide)) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags != 0) {
    StoreLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const std::string_view in = Input(multiByte, multiByteLength);
  std::u16string out;
  if (*page == CP_UTF8) {
    out = Utf8ToUtf16(in);
  } else {
    for (char c : in) out += From1252(static_cast<unsigned char>(c));
  }
  return Deliver(out, wide, wideSize);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideLength, LPSTR multiByte,
                        int multiByteSize, LPCCH defaultChar, LPBOOL usedDefaultChar) {
  auto lock = LockSystem();
  if (EmulatedSystem().Enter("WideCharToMultiByte", [&] {
        return TArgs{FormatDec(codePage),        FormatHex(flags),
                     FormatPointer(wide),        FormatDec(DWORD(wideLength)),
                     FormatPointer(multiByte),   FormatDec(DWORD(multiByteSize)),
                     FormatPointer(defaultChar), FormatPointer(usedDefaultChar)};
      }))
    return 0;
  const std::optional<UINT> page = KnownCodePage(codePage);
  if (!page || !wide || wideLength == 0 || multiByteSize < 0 || (multiByteSize > 0 && !multiByte) ||
      (*page == CP_UTF8 && (defaultChar || usedDefaultChar))) {
    StoreLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags != 0) {
    StoreLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const std::u32string text = DecodeUtf16(Input(wide, wideLength));
  std::string out;
  bool usedDefault = false;
  if (*page == CP_UTF8) {
    out = platform::Utf8Encode(text);
  } else {
    for (char32_t c : text) {
      const std::optional<char> byte = To1252(c);
      usedDefault = usedDefault || !byte;
      out += byte ? *byte : defaultChar ? *defaultChar : DefaultChar;
    }
  }
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  return Deliver(out, multiByte, multiByteSize);
}
