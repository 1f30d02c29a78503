// Who may open \Device\LptAccessAgent: SYSTEM and the Administrators group,
// each with every right of a file; no one else at all. The driver stays
// loaded after the program that started it has gone, so without this any
// later user could drive or hold the ports. Built here as the self-relative
// descriptor's bytes, freestanding, so a test compiled for user mode can
// hand the very same bytes to the system's own readers.
#pragma once

#include <stdint.h>

namespace lptwdmio::kernel {

namespace security {

struct TSid {
  uint8_t Authority;  // the low byte of the six-byte identifier authority
  uint8_t Count;
  uint32_t Sub[2];
};
constexpr TSid LocalSystem{5, 1, {18, 0}};       // S-1-5-18
constexpr TSid Administrators{5, 2, {32, 544}};  // S-1-5-32-544
constexpr TSid Allowed[] = {LocalSystem, Administrators};

constexpr uint32_t FileAllAccess = 0x001F01FF;
constexpr uint16_t DaclPresent = 0x0004, DaclProtected = 0x1000, SelfRelative = 0x8000;
constexpr uint8_t SidRevision = 1, AclRevision = 2, AccessAllowedAce = 0;
constexpr uint32_t DescriptorHeader = 20, AclHeader = 8, AceHeader = 8;

constexpr uint32_t SidSize(const TSid& sid) { return 8 + 4 * sid.Count; }
constexpr uint32_t AclSize() {
  uint32_t size = AclHeader;
  for (const TSid& sid : Allowed) size += AceHeader + SidSize(sid);
  return size;
}

}  // namespace security

struct TDeviceSecurity {
  alignas(4) uint8_t Bytes[security::DescriptorHeader + security::AclSize()];
};

// Revision 1, no owner, group or system list, and a protected list of one
// allow entry per SID, all little-endian as the system lays them out.
constexpr TDeviceSecurity DeviceSecurity() {
  using namespace security;
  TDeviceSecurity descriptor{};
  uint32_t at = 0;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) descriptor.Bytes[at++] = uint8_t(value >> (8 * i));
  };
  put(1, 1);
  put(0, 1);
  put(DaclPresent | DaclProtected | SelfRelative, 2);
  put(0, 4);  // owner
  put(0, 4);  // group
  put(0, 4);  // system list
  put(DescriptorHeader, 4);
  put(AclRevision, 1);
  put(0, 1);
  put(AclSize(), 2);
  put(sizeof Allowed / sizeof Allowed[0], 2);
  put(0, 2);
  for (const TSid& sid : Allowed) {
    put(AccessAllowedAce, 1);
    put(0, 1);  // not inherited, inherits nothing
    put(AceHeader + SidSize(sid), 2);
    put(FileAllAccess, 4);
    put(SidRevision, 1);
    put(sid.Count, 1);
    for (int i = 0; i < 5; ++i) put(0, 1);  // the authority is big-endian
    put(sid.Authority, 1);
    for (int i = 0; i < sid.Count; ++i) put(sid.Sub[i], 4);
  }
  return descriptor;
}

}  // namespace lptwdmio::kernel
