#include "lines.h"

#include <gtest/gtest.h>

using namespace lptctl;

namespace {

TEST(LinesTest, FindsEachOutputLineByNameAliasOrPin) {
  struct TCase {
    const char* Word;
    const char* Line;  // null: no line
  };
  const TCase cases[] = {
      {"D0", "D0"},       {"d7", "D7"},    {"2", "D0"},        {"9", "D7"},     {"STR", "STR"},
      {"1", "STR"},       {"LF", "LF/CR"}, {"lf/cr", "LF/CR"}, {"14", "LF/CR"}, {"16", "INIT"},
      {"Selin", "SELIN"}, {"17", "SELIN"}, {"15", "ERR"},      {"11", "BUSY"},  {"ack", "ACK"},
      {"18", nullptr},    {"0", nullptr},  {"D8", nullptr},    {"", nullptr},   {"02x", nullptr},
  };
  for (const TCase& c : cases) {
    const TLine* line = FindLine(c.Word);
    if (!c.Line) {
      EXPECT_EQ(line, nullptr) << c.Word;
      continue;
    }
    ASSERT_NE(line, nullptr) << c.Word;
    EXPECT_STREQ(line->Name, c.Line) << c.Word;
  }
}

// The port inverts STR, LF/CR, SELIN and BUSY between bit and pin.
TEST(LinesTest, PinLevelsFollowTheConnectorNotTheBit) {
  const TRegisters registers{0x81, 0x80, 0x05};
  const auto high = [&](const char* name) { return FindLine(name)->PinHigh(registers); };
  EXPECT_TRUE(high("D0"));
  EXPECT_FALSE(high("D1"));
  EXPECT_TRUE(high("D7"));
  EXPECT_FALSE(high("STR"));   // bit 1
  EXPECT_TRUE(high("LF"));     // bit 0
  EXPECT_TRUE(high("INIT"));   // bit 1, not inverted
  EXPECT_TRUE(high("SELIN"));  // bit 0
  EXPECT_FALSE(high("BUSY"));  // bit 1
  EXPECT_FALSE(high("ERR"));
  EXPECT_EQ(FindLine("LF")->WireName(), "LF_CR_pin14");
}

TEST(LinesTest, PortsAndBytesParseAsTheWindowShowsThem) {
  EXPECT_EQ(ParsePort("LPT1"), BYTE(0x10));
  EXPECT_EQ(ParsePort("lpt3"), BYTE(0x30));
  EXPECT_EQ(ParsePort("2"), BYTE(0x20));
  for (const char* bad : {"LPT4", "0", "LPT", "LPT12", "COM1", ""}) EXPECT_FALSE(ParsePort(bad)) << bad;
  EXPECT_EQ(ParseByte("A5"), BYTE(0xA5));
  EXPECT_EQ(ParseByte("0x0f"), BYTE(0x0F));
  EXPECT_EQ(ParseByte("7"), BYTE(0x07));
  for (const char* bad : {"100", "0x", "G1", "-1", "", "0x1FF"}) EXPECT_FALSE(ParseByte(bad)) << bad;
  EXPECT_EQ(Hex2(0x0A), "0A");
}

}  // namespace
