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

TEST(MulDivTest, RoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(11, 72, 96), 8);  // 8.25
  EXPECT_EQ(MulDiv(-11, 72, 96), -8);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(5, 3, 0), -1);
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
