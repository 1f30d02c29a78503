#include "lines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace lptctl {

namespace {

using enum TRegisterKind;

// In the order read lists them: data, control, status.
constexpr TLine LineTable[] = {
    {"D0", Data, 0x01, 2, false, true},       {"D1", Data, 0x02, 3, false, true},
    {"D2", Data, 0x04, 4, false, true},       {"D3", Data, 0x08, 5, false, true},
    {"D4", Data, 0x10, 6, false, true},       {"D5", Data, 0x20, 7, false, true},
    {"D6", Data, 0x40, 8, false, true},       {"D7", Data, 0x80, 9, false, true},
    {"STR", Control, 0x01, 1, true, true},    {"LF/CR", Control, 0x02, 14, true, true},
    {"INIT", Control, 0x04, 16, false, true}, {"SELIN", Control, 0x08, 17, true, true},
    {"ERR", Status, 0x08, 15, false, false},  {"SEL", Status, 0x10, 13, false, false},
    {"PE", Status, 0x20, 12, false, false},   {"ACK", Status, 0x40, 10, false, false},
    {"BUSY", Status, 0x80, 11, true, false},
};
constexpr std::size_t DataCount = 8;
constexpr std::size_t StatusFirst = 12;

std::optional<unsigned> ParseDigits(std::string_view text, unsigned base) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : std::isxdigit(static_cast<unsigned char>(c))
                          ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                          : 99;
    if (digit >= int(base)) return std::nullopt;
    value = value * base + unsigned(digit);
  }
  return value;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

BYTE TLine::RegisterValue(const TRegisters& registers) const {
  switch (Register) {
    case Data: return registers.Data;
    case Status: return registers.Status;
    case Control: return registers.Control;
  }
  return 0;
}

std::string TLine::WireName() const {
  std::string name = Name;
  std::replace(name.begin(), name.end(), '/', '_');
  return name + "_pin" + std::to_string(Pin);
}

std::span<const TLine> Lines() { return LineTable; }
std::span<const TLine> DataLines() { return std::span<const TLine>(LineTable).first(DataCount); }
std::span<const TLine> StatusLines() { return std::span<const TLine>(LineTable).subspan(StatusFirst); }

const TLine* FindLine(std::string_view word) {
  if (SameText(word, "LF")) word = "LF/CR";
  const std::optional<unsigned> pin = ParseDigits(word, 10);
  for (const TLine& line : LineTable)
    if (SameText(word, line.Name) || (pin && int(*pin) == line.Pin)) return &line;
  return nullptr;
}

std::string OutputLineList() { return "D0-D7 (pins 2-9), STR (1), LF/CR or LF (14), INIT (16), SELIN (17)"; }

std::optional<BYTE> ParsePort(std::string_view word) {
  if (word.size() == 4 && SameText(word.substr(0, 3), "LPT")) word.remove_prefix(3);
  if (word.size() == 1 && word[0] >= '1' && word[0] <= '3') return BYTE((word[0] - '0') << 4);
  return std::nullopt;
}

std::string PortName(BYTE prefix) { return "LPT" + std::to_string(prefix >> 4); }

std::optional<BYTE> ParseByte(std::string_view word) {
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) word.remove_prefix(2);
  const std::optional<unsigned> value = ParseDigits(word, 16);
  if (!value || *value > 0xFF) return std::nullopt;
  return BYTE(*value);
}

std::string Hex2(BYTE value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string RegisterText(const TRegisters& registers) {
  return "data=" + Hex2(registers.Data) + " status=" + Hex2(registers.Status) +
         " control=" + Hex2(registers.Control);
}

}  // namespace lptctl
