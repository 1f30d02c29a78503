// Plain bytes of the file, no system call: the same on every system.
#include "doctor_signature_windows.h"

#include <cstdint>
#include <fstream>

namespace lptctl {

namespace {

std::uint32_t Little(const unsigned char* bytes, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

// The PE image's certificate table (data directory 4) is where the signature
// lives; a size of zero means none.
bool HasEmbeddedSignature(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char dos[64] = {};
  if (!in.read(reinterpret_cast<char*>(dos), sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const std::uint32_t pe = Little(dos + 0x3C, 4);
  unsigned char header[24 + 240] = {};
  if (!in.seekg(pe) || !in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  if (header[0] != 'P' || header[1] != 'E' || header[2] || header[3]) return false;
  const unsigned char* optional = header + 24;
  const std::uint32_t magic = Little(optional, 2);
  const int directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : -1;
  if (directories < 0) return false;
  const unsigned char* certificates = optional + directories + 4 * 8;
  return Little(certificates, 4) != 0 && Little(certificates + 4, 4) != 0;
}

}  // namespace lptctl
