// What the kernel driver decides without the kernel, compiled for user mode:
// the access list it puts on its device, read back by the system's own
// security calls, which ports it may touch and which LPT each one is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_security.h"
#include "kernel_rules.h"
#include "slot_rule.h"
#include "winapi.h"

#include <sddl.h>  // after windows.h, which it needs

using namespace lptwdmio;
using namespace lptwdmio::kernel;

namespace {

TEST(DeviceSecurityTest, OnlySystemAndAdministratorsMayOpenTheDevice) {
  TDeviceSecurity security = DeviceSecurity();
  ASSERT_TRUE(IsValidSecurityDescriptor(security.Bytes));
  EXPECT_EQ(GetSecurityDescriptorLength(security.Bytes), sizeof security.Bytes);
  char* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(security.Bytes, SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &text, nullptr))
      << GetLastError();
  EXPECT_STREQ(text, "D:P(A;;FA;;;SY)(A;;FA;;;BA)");
  LocalFree(text);
}

TEST(KernelRulesTest, OnlyPortsWholeInIoSpaceAreTouched) {
  struct TCase {
    uint64_t Original;
    uint64_t Controller;
    uint32_t Span;
    bool Usable;
  };
  for (const TCase& c :
       {TCase{0x378, 0x378, 8, true}, TCase{0xD010, 0xD010, 3, true},
        TCase{0xFFFD, 0xFFFD, 3, true},  // control at 0xFFFF, the last port there is
        TCase{0xFFFE, 0xFFFE, 3, false}, TCase{0x378, 0xFFFE, 3, false}, TCase{0x10378, 0x378, 3, false},
        TCase{0x378, 0x378, 2, false}, TCase{0x378, 0, 8, false}, TCase{0, 0x378, 8, false},
        TCase{0xFEB00000, 0xFFFFF80000001000, 8, false}})  // mapped into memory
    EXPECT_EQ(IsUsablePort(c.Original, c.Controller, c.Span), c.Usable)
        << std::hex << c.Original << " " << c.Controller << " " << c.Span;
}

TEST(KernelRulesTest, ChangingWhatAPortDrivesNeedsAnOpenForWriting) {
  struct TCase {
    bool Told;
    uint32_t Access;
    bool MayWrite;
  };
  for (const TCase& c : {TCase{true, FILE_GENERIC_READ, false}, TCase{true, FILE_READ_ATTRIBUTES, false},
                         TCase{true, FILE_APPEND_DATA, false}, TCase{true, FILE_GENERIC_WRITE, true},
                         TCase{true, GENERIC_READ | GENERIC_WRITE, true}, TCase{true, FILE_ALL_ACCESS, true},
                         TCase{true, GENERIC_ALL, true}, TCase{false, 0, true}})
    EXPECT_EQ(OpenMayWrite(c.Told, c.Access), c.MayWrite) << c.Told << " " << std::hex << c.Access;
  EXPECT_FALSE(HasNoExecutePool(6, 1));  // Windows 7
  EXPECT_TRUE(HasNoExecutePool(6, 2));   // Windows 8
}

// The Linux module numbers its parports by the same rule.
TEST(SlotRuleTest, ClassicBasesPickTheirSlotAndOthersTakeTheFreeOnesInOrder) {
  struct TCase {
    std::vector<long> Bases;
    std::vector<int> Slots;
  };
  for (const TCase& c : {
           TCase{{}, {-1, -1, -1}},
           TCase{{0x378}, {-1, 0, -1}},  // the one port a PC has: LPT2, whatever Windows calls it
           TCase{{0x278, 0x378, 0x3BC}, {2, 1, 0}},
           TCase{{0xD010, 0x378, UnknownBase}, {0, 1, 2}},
           TCase{{0xE000, 0x3BC}, {1, 0, -1}},
           TCase{{0x378, 0x378, 0xD000, 0xD100}, {1, 0, 2}},  // a second 0x378 is no classic port
           TCase{{0xD000, 0xD100, 0xD200, 0x278}, {0, 1, 3}},
       }) {
    int slots[SlotCount];
    AssignSlotsByBase(
        int(c.Bases.size()), [&c](int i) { return c.Bases[i]; }, slots);
    EXPECT_EQ(std::vector<int>(slots, slots + SlotCount), c.Slots) << ::testing::PrintToString(c.Bases);
  }
}

}  // namespace
