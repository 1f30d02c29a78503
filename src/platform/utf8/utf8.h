// UTF-8 <-> code points. The one decoder of the program: the window backends
// and the form framework read text through it, so a malformed byte looks the
// same wherever it comes in.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Every malformed sequence (a stray continuation byte, a lead byte without
// enough continuation bytes, an overlong form, a surrogate, a value above
// U+10FFFF) becomes one U+FFFD; the bytes after it are decoded normally.
std::u32string Utf8Decode(std::string_view text);

// Surrogates and values above U+10FFFF encode as U+FFFD.
std::string Utf8Encode(char32_t codepoint);
std::string Utf8Encode(std::u32string_view text);

inline constexpr char32_t ReplacementCharacter = 0xFFFD;

}  // namespace platform
