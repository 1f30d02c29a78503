// How the kernel driver reads the names Windows gives parallel ports: the
// device map's "\Device\Parallel0" = "\DosDevices\LPT1" and a port driver's
// own "LPT2".
#include <gtest/gtest.h>

#include <cwchar>

#include "port_names.h"

using namespace lptwdmio::kernel;

namespace {

int Slot(const wchar_t* name) { return SlotOfName(name, 64); }
int Index(const wchar_t* name) { return ClassDeviceIndex(name, 64); }

TEST(PortNamesTest, OnlyLpt1ToLpt3NameASlot) {
  struct TCase {
    const wchar_t* Name;
    int Slot;
  };
  for (const TCase c :
       {TCase{L"LPT1", 0}, TCase{L"lpt2", 1}, TCase{L"\\DosDevices\\LPT3", 2},
        TCase{L"\\DosDevices\\Lpt1", 0}, TCase{L"LPT4", -1}, TCase{L"LPT0", -1},
        TCase{L"\\DosDevices\\COM1", -1}, TCase{L"XLPT1", -1}, TCase{L"\\DosDevices\\LPT10", -1},
        TCase{L"LPT", -1}, TCase{L"", -1}, TCase{L"|LPT1", -1}})
    EXPECT_EQ(Slot(c.Name), c.Slot) << c.Name;
}

TEST(PortNamesTest, LengthStopsAtTheFirstNulOrTheLimit) {
  const wchar_t data[] = {L'L', L'P', L'T', L'2', L'\0', L'\0'};
  EXPECT_EQ(SlotOfName(data, 6), 1);  // registry data counts its terminators
  EXPECT_EQ(SlotOfName(L"LPT1LPT3", 4), 0);
  EXPECT_EQ(SlotOfName(L"LPT1", 3), -1);
}

TEST(PortNamesTest, ClassDeviceIndexIsTheNumberAfterTheStem) {
  struct TCase {
    const wchar_t* Name;
    int Index;
  };
  for (const TCase c :
       {TCase{L"\\Device\\Parallel0", 0}, TCase{L"\\device\\PARALLEL12", 12},
        TCase{L"\\Device\\Parallel9999", 9999}, TCase{L"\\Device\\Parallel10000", -1},
        TCase{L"\\Device\\Parallel", -1}, TCase{L"\\Device\\ParallelPort0", -1},
        TCase{L"\\Device\\Serial0", -1}, TCase{L"Device\\Parallel0", -1}, TCase{L"\\Device|Parallel0", -1}})
    EXPECT_EQ(Index(c.Name), c.Index) << c.Name;
}

}  // namespace
