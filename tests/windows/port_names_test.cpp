// How the kernel driver reads the names Windows gives parallel ports: the
// device map's "\Device\Parallel0" = "\DosDevices\LPT1" and a port driver's
// own "LPT2", which name the port beside the driver's own LPT slot.
#include <gtest/gtest.h>

#include <cwchar>

#include "port_names.h"

using namespace lptwdmio::kernel;

namespace {

int Number(const wchar_t* name) { return LptNumberOfName(name, 64); }
int Index(const wchar_t* name) { return ClassDeviceIndex(name, 64); }

TEST(PortNamesTest, LptNIsWindowsOwnNumberOfThePort) {
  struct TCase {
    const wchar_t* Name;
    int Number;
  };
  for (const TCase c : {TCase{L"LPT1", 1}, TCase{L"lpt2", 2}, TCase{L"\\DosDevices\\LPT3", 3},
                        TCase{L"\\DosDevices\\Lpt4", 4}, TCase{L"\\DosDevices\\LPT10", 10},
                        TCase{L"LPT255", 255}, TCase{L"LPT256", 0}, TCase{L"LPT1000", 0}, TCase{L"LPT0", 0},
                        TCase{L"LPT01", 0}, TCase{L"\\DosDevices\\COM1", 0}, TCase{L"XLPT1", 0},
                        TCase{L"LPT1X", 0}, TCase{L"LPT", 0}, TCase{L"", 0}, TCase{L"|LPT1", 0}})
    EXPECT_EQ(Number(c.Name), c.Number) << c.Name;
}

TEST(PortNamesTest, LengthStopsAtTheFirstNulOrTheLimit) {
  const wchar_t data[] = {L'L', L'P', L'T', L'2', L'\0', L'\0'};
  EXPECT_EQ(LptNumberOfName(data, 6), 2);  // registry data counts its terminators
  EXPECT_EQ(LptNumberOfName(L"LPT1LPT3", 4), 1);
  EXPECT_EQ(LptNumberOfName(L"LPT1", 3), 0);
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
