#include "utf8.h"

namespace platform {

namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

struct TLead {
  int Length;      // bytes in the sequence; 0 when b cannot start one
  char32_t Bits;   // the code point bits the lead byte carries
  char32_t Least;  // smallest value this length may encode (shorter is overlong)
};

TLead LeadOf(unsigned char b) {
  if ((b & 0xE0) == 0xC0) return {2, char32_t(b & 0x1F), 0x80};
  if ((b & 0xF0) == 0xE0) return {3, char32_t(b & 0x0F), 0x800};
  if ((b & 0xF8) == 0xF0) return {4, char32_t(b & 0x07), 0x10000};
  return {0, 0, 0};
}

bool IsScalarValue(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

}  // namespace

std::u32string Utf8Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      out += char32_t(s[i++]);
      continue;
    }
    const TLead lead = LeadOf(s[i]);
    if (lead.Length == 0) {
      out += ReplacementCharacter;
      ++i;
      continue;
    }
    char32_t cp = lead.Bits;
    std::size_t k = 1;
    for (; k < std::size_t(lead.Length) && i + k < n && IsContinuation(s[i + k]); ++k)
      cp = (cp << 6) | (s[i + k] & 0x3F);
    // A broken sequence is replaced as a whole; what follows it starts afresh.
    const bool whole = k == std::size_t(lead.Length);
    out += whole && cp >= lead.Least && IsScalarValue(cp) ? cp : ReplacementCharacter;
    i += k;
  }
  return out;
}

std::string Utf8Encode(char32_t cp) {
  if (!IsScalarValue(cp)) cp = ReplacementCharacter;
  std::string out;
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
  return out;
}

std::string Utf8Encode(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) out += Utf8Encode(c);
  return out;
}

}  // namespace platform
