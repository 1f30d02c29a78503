// pinlark.dll under Wine, beside the real driver: the C interface a script
// reaches (no Windows Python runs here), on the driver's simulated ports.
// The far end of LPT2's cable is driven through this program's own session.
#include "LPTIO.h"
#include "pinlark.h"
#include "winapi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

namespace {

struct TClose {
  void operator()(pinlark_port* port) const { pinlark_close(port); }
};
using TPort = std::unique_ptr<pinlark_port, TClose>;

TPort Open(const char* name) { return TPort(pinlark_open(name)); }

TEST(PinlarkDll, DescribesThePortsAndTheLines) {
  EXPECT_STREQ(pinlark_version(), "1.0.0");
  pinlark_port_info ports[PINLARK_PORT_COUNT];
  ASSERT_EQ(pinlark_ports(ports), PINLARK_OK) << pinlark_last_message();
  EXPECT_STREQ(ports[0].name, "LPT1");
  EXPECT_TRUE(ports[0].present && ports[0].simulated && ports[0].loopback);
  EXPECT_TRUE(ports[1].present && !ports[1].loopback);
  EXPECT_FALSE(ports[2].present);
  EXPECT_EQ(pinlark_line_count(), 17);
  pinlark_line_info line;
  ASSERT_EQ(pinlark_find_line("lf", &line), PINLARK_OK);
  EXPECT_STREQ(line.name, "LF/CR");
  EXPECT_EQ(line.pin, 14);
}

TEST(PinlarkDll, DrivesLinesAndRegistersThroughTheLoopbackPlug) {
  const TPort port = Open("lpt1");
  ASSERT_TRUE(port) << pinlark_last_message();
  int err = -1;
  ASSERT_EQ(pinlark_set(port.get(), "D0", 0, 1), PINLARK_OK);
  ASSERT_EQ(pinlark_get(port.get(), "ERR", 0, &err), PINLARK_OK);
  EXPECT_EQ(err, 1);
  unsigned char control = 0;
  ASSERT_EQ(pinlark_write(port.get(), PINLARK_CONTROL, 0xF2), PINLARK_OK);
  ASSERT_EQ(pinlark_read(port.get(), PINLARK_CONTROL, &control), PINLARK_OK);
  EXPECT_EQ(control, 0xC2);  // bits 4-7 as the port had them
  EXPECT_EQ(pinlark_write(port.get(), PINLARK_STATUS, 0), PINLARK_E_ARGUMENT);
  ASSERT_EQ(pinlark_set(port.get(), "D0", 0, 0), PINLARK_OK);
}

TEST(PinlarkDll, EachFailureHasItsCodeMessageAndWindowsError) {
  const TPort first = Open("LPT1");
  ASSERT_TRUE(first) << pinlark_last_message();
  EXPECT_FALSE(Open("LPT1"));
  EXPECT_EQ(pinlark_last_error(), PINLARK_E_HELD);
  EXPECT_EQ(pinlark_last_system_error(), 170ul);
  EXPECT_NE(std::string(pinlark_error_advice(170)).find("another program holds the port"), std::string::npos);
  EXPECT_FALSE(Open("LPT3"));
  EXPECT_EQ(pinlark_last_error(), PINLARK_E_ABSENT);
  EXPECT_STREQ(pinlark_last_message(), "LPT3 is absent");
  EXPECT_FALSE(Open("COM1"));
  EXPECT_EQ(pinlark_last_error(), PINLARK_E_ARGUMENT);
  int value = 0;
  EXPECT_EQ(pinlark_get(first.get(), "D9", 0, &value), PINLARK_E_LINE);
  EXPECT_EQ(pinlark_set(first.get(), "ACK", 0, 1), PINLARK_E_INPUT);
  EXPECT_EQ(pinlark_get(nullptr, "D0", 0, &value), PINLARK_E_ARGUMENT);
  EXPECT_EQ(pinlark_wait(first.get(), "ERR=rising", 0, 0.05, 1, nullptr), PINLARK_E_TIMEOUT);
  EXPECT_STREQ(pinlark_error_message(PINLARK_E_TIMEOUT), "timed out");
}

TEST(PinlarkDll, AWaitSeesTheFarEndOfTheCableAndCanBeCancelled) {
  const TPort port = Open("LPT2");
  ASSERT_TRUE(port) << pinlark_last_message();
  TLptPortConnection cable(TLptConnectionOptions{false, ""});
  ASSERT_TRUE(cable.IsUsable());
  pinlark_wait_result result{};
  auto wait = std::async(std::launch::async,
                         [&] { return pinlark_wait(port.get(), "ACK=falling", 0, 20, 1, &result); });
  for (bool low = true; wait.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready;
       low = !low) {
    TLptFarSide side{0x08, BYTE(low ? 0x00 : 0x08)};  // ACK driven
    ASSERT_TRUE(cable.SimulatedInputs(PortLpt2, side, true)) << GetLastError();
  }
  EXPECT_EQ(wait.get(), PINLARK_OK);
  EXPECT_EQ(result.met, 1u);
  EXPECT_EQ(result.levels, 0u);

  auto endless = std::async(std::launch::async,
                            [&] { return pinlark_wait(port.get(), "ACK=change", 0, -1, 1, nullptr); });
  while (endless.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
    pinlark_cancel(port.get());
  EXPECT_EQ(endless.get(), PINLARK_E_CANCELLED);
}

// The figures go to the log for the reader; timing under Wine is no promise.
TEST(PinlarkDll, PulsesMeasureThemselvesAndTouchNoOtherLine) {
  const TPort port = Open("LPT1");
  ASSERT_TRUE(port) << pinlark_last_message();
  ASSERT_EQ(pinlark_write(port.get(), PINLARK_DATA, 0x81), PINLARK_OK);
  pinlark_pulse_result result{};
  ASSERT_EQ(pinlark_pulse(port.get(), "D1", 1000, 20, 0, 0, &result), PINLARK_OK) << pinlark_last_message();
  EXPECT_EQ(result.pulses, 20u);
  EXPECT_LE(result.width_min, result.width_median);
  EXPECT_GE(result.width_min, 1000.0);
  std::printf(
      "pulse D1 under Wine, 1000 us asked: width min %.1f median %.1f max %.1f us; period 2000 us asked: "
      "min %.1f median %.1f max %.1f us\n",
      result.width_min, result.width_median, result.width_max, result.period_min, result.period_median,
      result.period_max);
  unsigned char data = 0;
  ASSERT_EQ(pinlark_read(port.get(), PINLARK_DATA, &data), PINLARK_OK);
  EXPECT_EQ(data, 0x81);
  EXPECT_EQ(pinlark_pulse(port.get(), "D0", 1000, 1, 0, 0, nullptr), PINLARK_E_NOT_IDLE);
}

}  // namespace
