// The 9x family's direct path, run by Wine as Windows 98 (the prefix gives
// this program that version). The port instructions fault in a Linux
// process; a vectored exception handler carries each one out against a
// port model instead, so the real GetVersionExA decides the path and every
// I/O address the connection forms is seen.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "LPTIO.h"
#include "winapi.h"

namespace {

// Echoing ports at 0x378 (LPT2's direct base); nothing anywhere else.
class TPortModel {
 public:
  BYTE In(WORD port) {
    Trace.push_back("in " + Hex(port));
    const auto it = Latches.find(port);
    return it != Latches.end() && Echoes(port) ? it->second : 0xFF;
  }
  void Out(WORD port, BYTE value) {
    Trace.push_back("out " + Hex(port) + "=" + Hex(value));
    Latches[port] = value;
  }
  static bool Echoes(WORD port) { return port >= 0x378 && port <= 0x37A; }
  static std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
  }

  std::map<WORD, BYTE> Latches;
  std::vector<std::string> Trace;
};

TPortModel* Model = nullptr;

// The registers the port instructions use (instruction pointer, accumulator,
// port in DX), in a CONTEXT of either processor.
template <typename Context>
auto PortRegisters(Context& context) {
  if constexpr (requires { context.Rip; })
    return std::tie(context.Rip, context.Rax, context.Rdx);
  else
    return std::tie(context.Eip, context.Eax, context.Edx);
}

// in al,dx (EC) and out dx,al (EE): the forms the connection's byte I/O takes.
LONG CALLBACK EmulatePortInstruction(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (!Model || (code != EXCEPTION_PRIV_INSTRUCTION && code != EXCEPTION_ACCESS_VIOLATION))
    return EXCEPTION_CONTINUE_SEARCH;
  CONTEXT& context = *info->ContextRecord;
  auto [ip, ax, dx] = PortRegisters(context);
  const BYTE opcode = *reinterpret_cast<const BYTE*>(ip);
  const WORD port = WORD(dx);
  if (opcode == 0xEC)
    ax = (ax & ~decltype(ax + 0)(0xFF)) | Model->In(port);
  else if (opcode == 0xEE)
    Model->Out(port, BYTE(ax));
  else
    return EXCEPTION_CONTINUE_SEARCH;
  ip += 1;
  return EXCEPTION_CONTINUE_EXECUTION;
}

class Direct9xTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ports.Latches[0x378] = 0x00;
    Model = &Ports;
    Handler = AddVectoredExceptionHandler(1, EmulatePortInstruction);
    ASSERT_NE(Handler, nullptr);
  }
  void TearDown() override {
    RemoveVectoredExceptionHandler(Handler);
    Model = nullptr;
  }

  TPortModel Ports;
  PVOID Handler = nullptr;
};

// Wine maps ntdll.dll as NT does, but its version set to win98 holds there
// too, down to ntdll's own numbers: the family decision sees Windows 98
// throughout. (An NT system in its 98 compatibility mode, whose ntdll keeps
// its own numbers, is beyond Wine; the decision's table covers it.)
TEST_F(Direct9xTest, WineReportsThe9xFamilyThroughout) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, DWORD(VER_PLATFORM_WIN32_WINDOWS))
      << "the prefix must run this program as win98";
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  ASSERT_NE(ntdll, nullptr);
  const auto numbers = reinterpret_cast<void(WINAPI*)(DWORD*, DWORD*, DWORD*)>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
  ASSERT_NE(numbers, nullptr);
  DWORD major = 0, minor = 0, build = 0;
  numbers(&major, &minor, &build);
  EXPECT_LT(major, 5u) << "ntdll says Windows " << major << "." << minor
                       << ": the direct path is out of reach";
}

// Nothing in this program loads the service manager's library, so finding it
// loaded afterwards means the connection went for the service manager.
TEST_F(Direct9xTest, ConstructionTakesTheDirectPathWithThreeProbesAndNoLibraryLoad) {
  ASSERT_EQ(GetModuleHandleA("ADVAPI32.DLL"), nullptr);
  TLptPortConnection connection;
  EXPECT_TRUE(connection.IsUsable());
  EXPECT_EQ(GetModuleHandleA("ADVAPI32.DLL"), nullptr) << "no library load on the 9x family";
  EXPECT_FALSE(connection.Lpt1Present());
  EXPECT_TRUE(connection.Lpt2Present());
  EXPECT_FALSE(connection.Lpt3Present());
  // Three probes: a failed echo at 3BC reads control and status too; 378 echoes.
  const std::vector<std::string> expected{
      "in 3BC", "out 3BC=0", "in 3BC", "out 3BC=55", "out 3BC=AA", "out 3BC=FF", "in 3BE", "in 3BD",
      "in 378", "out 378=0", "in 378", "out 378=55", "in 378",     "out 378=AA", "in 378", "out 378=0",
      "in 278", "out 278=0", "in 278", "out 278=55", "out 278=AA", "out 278=FF", "in 27A", "in 279"};
  EXPECT_EQ(Ports.Trace, expected);
}

TEST_F(Direct9xTest, EveryAddressFollowsTheFixedBases) {
  TLptPortConnection connection;
  Ports.Trace.clear();
  struct TCase {
    PortAddress Address;
    const char* Port;
  };
  // High nibble 1 is 3BC, 2 is 378, anything else 278; the low three bits are the offset.
  for (const TCase c : {TCase{0x10, "3BC"}, TCase{0x11, "3BD"}, TCase{0x12, "3BE"}, TCase{0x20, "378"},
                        TCase{0x22, "37A"}, TCase{0x30, "278"}, TCase{0x31, "279"}, TCase{0x02, "27A"},
                        TCase{0x45, "27D"}, TCase{0xF7, "27F"}, TCase{0x1F, "3C3"}}) {
    Ports.Trace.clear();
    PortIoPair pair{c.Address, 0x3C};
    EXPECT_TRUE(connection.WritePairs(&pair, 1));
    EXPECT_TRUE(connection.ReadPairs(&pair, 1));
    EXPECT_EQ(Ports.Trace,
              (std::vector<std::string>{std::string("out ") + c.Port + "=3C", std::string("in ") + c.Port}))
        << std::hex << int(c.Address);
  }
}

TEST_F(Direct9xTest, BatchesRunInArrayOrderAndReadsReplaceOnlyValues) {
  TLptPortConnection connection;
  PortIoPair write[] = {{0x20, 0x81}, {0x22, 0x0C}, {0x21, 0x42}};
  EXPECT_TRUE(connection.WritePairs(write, 3));
  PortIoPair read[] = {{0x22, 0}, {0x20, 0}, {0x10, 0}};
  Ports.Trace.clear();
  EXPECT_TRUE(connection.ReadPairs(read, 3));
  EXPECT_EQ(Ports.Trace, (std::vector<std::string>{"in 37A", "in 378", "in 3BC"}));
  EXPECT_EQ(read[0].PortAddress, 0x22);
  EXPECT_EQ(read[0].Value, 0x0C);
  EXPECT_EQ(read[1].Value, 0x81);
  EXPECT_EQ(read[2].Value, 0xFF);
}

}  // namespace
