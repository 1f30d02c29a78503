// lptctl probe against a scripted device: what it prints for a hardware port
// with the system's own name, one another program holds, and one absent,
// and that it touches no port it does not read.
#include "commands.h"
#include "scripted_port.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace lptctl;

namespace {

class LptctlProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulation::Reset();
    Device.Ports[0] = {
        .Present = true, .Data = 0x5A, .Status = 0x78, .Control = 0xCC, .Base = 0x3BC, .SystemNumber = 1};
    Device.Ports[1] = {.Present = true, .Simulated = true, .Held = true, .Holder = DWORD(::getpid())};
    Device.Ports[2] = {.Present = false};
    ASSERT_EQ(Device.Register(), 0u);
  }
  void TearDown() override { emulation::Reset(); }
  std::string Probe(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    EXPECT_EQ(lptctl::Run(args, out, err), ExitOk) << err.str();
    return out.str();
  }
  TScriptedPort Device;
};

TEST_F(LptctlProbeTest, AHeldPortIsNamedWithItsHolderAndLeftAlone) {
  const std::string pid = std::to_string(::getpid());
  EXPECT_EQ(Probe({"probe"}),
            "LPT1 present data=5A status=78 control=CC base=0x3bc windows=LPT1\n"
            "LPT2 held by pid " +
                pid +
                " (lptctl_test) simulated\n"
                "LPT3 absent\n");
  EXPECT_EQ(
      Probe({"probe", "--json"}),
      "{\"ports\": [\n"
      "  {\"port\": \"LPT1\", \"present\": true, \"held\": false, \"simulated\": false, \"base\": 956, "
      "\"windows\": \"LPT1\", \"data\": 90, \"status\": 120, \"control\": 204},\n"
      "  {\"port\": \"LPT2\", \"present\": true, \"held\": true, \"holder\": " +
          pid +
          ", \"holder_name\": \"lptctl_test\", \"simulated\": true, \"base\": null, \"windows\": null},\n"
          "  {\"port\": \"LPT3\", \"present\": false}\n"
          "]}\n");
  for (const TPortAccess& access : Device.Log) EXPECT_FALSE(access.Write) << access.Text();
  for (const TPortAccess& access : Device.Log) EXPECT_EQ(access.Address & 0xF0, 0x10) << access.Text();
}

}  // namespace
