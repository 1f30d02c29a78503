// The Windows doctor's look for an embedded signature in the driver file,
// on images made here byte by byte.
#include "doctor_signature_windows.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>

namespace {

constexpr std::size_t PeAt = 0x80;
constexpr std::size_t OptionalAt = PeAt + 24;
// The part of the headers the reader takes in: up to the end of the optional
// header's data directories of a 64-bit image.
constexpr std::size_t HeaderEnd = OptionalAt + 240;

void Put(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

// Headers as a linker writes them: the DOS header pointing at "PE\0\0", the
// optional header of the given magic and, when signed, the certificate
// table's entry (data directory 4) set.
std::string Image(std::uint16_t magic, bool signedImage) {
  std::string bytes(0x400, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put(bytes, 0x3C, PeAt, 4);
  bytes.replace(PeAt, 4, std::string("PE\0\0", 4));
  Put(bytes, OptionalAt, magic, 2);
  const std::size_t certificates = OptionalAt + (magic == 0x20B ? 112 : 96) + 4 * 8;
  if (signedImage) {
    Put(bytes, certificates, 0x300, 4);
    Put(bytes, certificates + 4, 0x100, 4);
  }
  return bytes;
}

struct TFileCase {
  const char* Name;
  std::optional<std::string> Bytes;  // none: no file at all
  bool Signed;
};

void PrintTo(const TFileCase& file, std::ostream* out) { *out << file.Name; }

const TFileCase Files[] = {
    {"SignedDriver", Image(0x20B, true), true},
    {"Signed32BitDriver", Image(0x10B, true), true},
    {"UnsignedCopy", Image(0x20B, false), false},
    // The limit: the headers end where the reader stops, or one byte before.
    {"EndsWhereTheHeadersEnd", Image(0x20B, true).substr(0, HeaderEnd), true},
    {"Truncated", Image(0x20B, true).substr(0, HeaderEnd - 1), false},
    {"NoPeHeaderWhereTheDosHeaderPoints", Image(0x20B, true).replace(PeAt, 2, "NE"), false},
    {"Garbage", std::string(0x400, '\x7F'), false},
    {"MissingFile", std::nullopt, false},
};

class PeSignatureTest : public ::testing::TestWithParam<TFileCase> {
 protected:
  pinlark::testsupport::TTempDir Temp;
};

TEST_P(PeSignatureTest, OnlyACertificateTableCountsAsASignature) {
  const std::string path = (Temp / "LPTWDMIO.SYS").string();
  if (GetParam().Bytes) std::ofstream(path, std::ios::binary) << *GetParam().Bytes;
  EXPECT_EQ(lptctl::HasEmbeddedSignature(path), GetParam().Signed);
}

INSTANTIATE_TEST_SUITE_P(Files, PeSignatureTest, ::testing::ValuesIn(Files),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
