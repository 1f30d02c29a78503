#include <gtest/gtest.h>

#include "sysutils.h"
#include "types.h"

TEST(StrToInt, AcceptsDecimalAndHexForms) {
  EXPECT_EQ(StrToInt("$0A5"), 165);
  EXPECT_EQ(StrToInt("$0"), 0);
  EXPECT_EQ(StrToInt("0x1f"), 31);
  EXPECT_EQ(StrToInt("$ff"), 255);
  EXPECT_EQ(StrToInt("-12"), -12);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("  42"), 42);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(StrToInt, RejectsWithTheClassicMessage) {
  for (const char* bad :
       {"$0g", "", "$", "0x", "-", "12 ", "1.5", "abc", "2147483648", "$100000000", "99999999999999999999"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

TEST(StrToInt, TryLeavesValueOnFailure) {
  std::int32_t v = 99;
  EXPECT_FALSE(TryStrToInt("$0g", v));
  EXPECT_EQ(v, 99);
  EXPECT_TRUE(TryStrToInt("$10", v));
  EXPECT_EQ(v, 16);
}

TEST(IntToHex, UpperCaseWithMinimumDigits) {
  EXPECT_EQ(IntToHex(10, 2), "0A");
  EXPECT_EQ(IntToHex(255, 2), "FF");
  EXPECT_EQ(IntToHex(0, 2), "00");
  EXPECT_EQ(IntToHex(0x1234, 2), "1234");
  EXPECT_EQ(IntToStr(-5), "-5");
}

TEST(Utf8, RoundTripsCyrillicAndReplacesBrokenBytes) {
  const std::string s = "Ввод";
  EXPECT_EQ(Utf8Length(s), 4u);
  EXPECT_EQ(Utf8Encode(Utf8Decode(s)), s);
  const std::u32string bad = Utf8Decode(std::string("a\xC3") + "b\xFF");
  EXPECT_EQ(bad, (std::u32string{U'a', 0xFFFD, U'b', 0xFFFD}));
  EXPECT_EQ(Utf8Decode("\xC0\x80"), std::u32string(1, 0xFFFD));  // overlong
}

struct TDecodeCase {
  const char* Name;
  std::string Bytes;
  std::u32string Expected;
};

constexpr char32_t Bad = 0xFFFD;

// One rule at every boundary: each malformed sequence is one U+FFFD and what
// follows it decodes afresh.
TEST(Utf8, DecodesEveryBoundaryByOneRule) {
  const TDecodeCase cases[] = {
      {"last 1-byte", "\x7F", {0x7F}},
      {"first 2-byte", "\xC2\x80", {0x80}},
      {"last 2-byte", "\xDF\xBF", {0x7FF}},
      {"first 3-byte", "\xE0\xA0\x80", {0x800}},
      {"before surrogates", "\xED\x9F\xBF", {0xD7FF}},
      {"after surrogates", "\xEE\x80\x80", {0xE000}},
      {"first 4-byte", "\xF0\x90\x80\x80", {0x10000}},
      {"last code point", "\xF4\x8F\xBF\xBF", {0x10FFFF}},
      {"truncated 2-byte at end", "a\xC3", {U'a', Bad}},
      {"truncated 3-byte before ASCII",
       "\xE2\x82"
       "A",
       {Bad, U'A'}},
      {"truncated 4-byte at end", "\xF0\x9F\x98", {Bad}},
      {"lead byte followed by a lead byte", "\xC3\xC3\xA9", {Bad, 0xE9}},
      {"stray continuation bytes", "\x80\xBF", {Bad, Bad}},
      {"overlong 2-byte", "\xC1\xBF", {Bad}},
      {"overlong 3-byte", "\xE0\x80\xAF", {Bad}},
      {"overlong 4-byte", "\xF0\x8F\xBF\xBF", {Bad}},
      {"high surrogate", "\xED\xA0\x80", {Bad}},
      {"low surrogate", "\xED\xBF\xBF", {Bad}},
      {"just above U+10FFFF", "\xF4\x90\x80\x80", {Bad}},
      {"5-byte lead and its tail", "\xF8\x88\x80\x80\x80", {Bad, Bad, Bad, Bad, Bad}},
      {"never a lead byte",
       "\xFF"
       "b",
       {Bad, U'b'}},
  };
  for (const TDecodeCase& c : cases) EXPECT_EQ(Utf8Decode(c.Bytes), c.Expected) << c.Name;
}

TEST(Utf8, EncodesOnlyScalarValues) {
  for (char32_t cp : {char32_t(0x7F), char32_t(0x80), char32_t(0x7FF), char32_t(0x800), char32_t(0xFFFF),
                      char32_t(0x10000), char32_t(0x10FFFF)})
    EXPECT_EQ(Utf8Decode(Utf8Encode(cp)), std::u32string(1, cp)) << std::hex << unsigned(cp);
  EXPECT_EQ(Utf8Encode(char32_t(0xD800)), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8Encode(char32_t(0x110000)), "\xEF\xBF\xBD");
}

TEST(MulDivRoundTest, RoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDivRound(11, 72, 96), 8);  // 8.25
  EXPECT_EQ(MulDivRound(-11, 72, 96), -8);
  EXPECT_EQ(MulDivRound(1, 1, 2), 1);
  EXPECT_EQ(MulDivRound(-1, 1, 2), -1);
  EXPECT_EQ(MulDivRound(5, 3, 0), -1);
}

TEST(ColorToRGBTest, ResolvesSystemColours) {
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xF0F0F0u);
  EXPECT_EQ(ColorToRGB(clBtnShadow), 0xA0A0A0u);
  EXPECT_EQ(ColorToRGB(clBtnHighlight), 0xFFFFFFu);
  EXPECT_EQ(ColorToRGB(clWindowText), 0x000000u);
  EXPECT_EQ(ColorToRGB(clHighlight), RGB(0, 120, 215));
  EXPECT_EQ(ColorToRGB(clGrayText), 0x6D6D6Du);
  EXPECT_EQ(ColorToRGB(clLime), clLime);
  EXPECT_EQ(ColorToRGB(0x12345678), 0x345678u);
}
