// The window's title says when the selected port is the driver's simulation.
#include "ConsoleFixture.h"

namespace {

const std::string PlainTitle = "Pinlark   v1.0";
const std::string SimulatedTitle = "Pinlark   v1.0 (simulated port)";

class WindowTitle : public ConsoleTest {
 protected:
  void ExpectTitle(const std::string& title) {
    EXPECT_EQ(Form->Caption(), title);
    EXPECT_EQ(Window->Title(), title);
  }
};

TEST_F(WindowTitle, FollowsWhatTheDriverSaysOfTheSelectedPort) {
  struct TCase {
    const char* Name;
    TFakePort Lpt1;
    bool AnswersQuery;
    const std::string& Title;
  };
  const TCase cases[] = {
      {"simulated", {.Present = true, .Simulated = true}, true, SimulatedTitle},
      {"hardware at 0x3BC", {.Present = true, .Base = 0x3BC}, true, PlainTitle},
      {"hardware, base unknown", {.Present = true}, true, PlainTitle},
      {"a driver that cannot say", {.Present = true, .Simulated = true}, false, PlainTitle},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TearDown();
    SetUp();
    Device.Ports[0] = c.Lpt1;
    Device.AnswersQuery = c.AnswersQuery;
    Start();
    ASSERT_EQ(Form->SelectedPort, PortLpt1);
    ExpectTitle(c.Title);
  }
}

TEST_F(WindowTitle, ChangesWithTheSelection) {
  Device.Ports[0] = {.Present = true, .Simulated = true};
  Device.Ports[1] = {.Present = true, .Base = 0x378};
  Start();
  ExpectTitle(SimulatedTitle);
  Click(Form->AbDBLED22);
  ExpectTitle(SimulatedTitle);  // the request waits for the next access
  Tick();
  ASSERT_EQ(Form->SelectedPort, PortLpt2);
  ExpectTitle(PlainTitle);
  Click(Form->AbDBLED21);
  Tick();
  ASSERT_EQ(Form->SelectedPort, PortLpt1);
  ExpectTitle(SimulatedTitle);
}

TEST_F(WindowTitle, NoPortLeavesTheTitleAlone) {
  Device.Ports[0] = {.Present = false, .Simulated = true};
  Start();
  EXPECT_EQ(Form->SelectedPort, 0);
  ExpectTitle(PlainTitle);
}

}  // namespace
