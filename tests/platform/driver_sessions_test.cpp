// The real driver module under several sessions at once, each on its own
// thread, all on the one simulated bank: every batch runs whole.
#include "emulation_control.h"
#include "winapi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD BatchRead = 0x220050;
constexpr DWORD BatchWrite = 0x220060;

// LPT1 carries the loopback plug: D0-D3 come back on ERR, SEL, PE and ACK,
// D4 inverted on BUSY; status bits 0-2 read 1.
BYTE LoopbackStatus(BYTE data) { return BYTE(0x07 | ((data & 0x0F) << 3) | ((data & 0x10) ? 0x00 : 0x80)); }

class DriverSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
    emulation::Reset();
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service =
        CreateServiceA(manager, "lptwdmio", "LPT port direct access service", SERVICE_ALL_ACCESS,
                       SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, LPTWDMIO_PATH,
                       nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
  void TearDown() override { emulation::Reset(); }
};

HANDLE OpenAgent() {
  return CreateFileA(R"(\\.\LptAccessAgent)", GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool Transfer(HANDLE device, DWORD code, BYTE* pairs, DWORD length) {
  DWORD returned = 0;
  return DeviceIoControl(device, code, pairs, length, pairs, length, &returned, nullptr) &&
         returned == length;
}

// Each worker writes one value to both data latches and LPT1's control lines
// in one batch, and reads them back with LPT1's status in another. Whatever
// the other workers do, a read sees the three latches of one single write.
std::string Work(int worker, int rounds, std::latch& start) {
  HANDLE device = INVALID_HANDLE_VALUE;
  start.arrive_and_wait();
  for (int round = 0; round < rounds; ++round) {
    if (round % 50 == 0) {  // sessions come and go while others run
      if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
      device = OpenAgent();
      if (device == INVALID_HANDLE_VALUE) return "open failed: " + std::to_string(GetLastError());
    }
    const BYTE value = BYTE((worker << 5) | (round & 0x1F));
    BYTE write[] = {0x10, value, 0x20, value, 0x12, BYTE(value & 0x0F)};
    if (!Transfer(device, BatchWrite, write, sizeof write))
      return "write failed: " + std::to_string(GetLastError());
    BYTE read[] = {0x10, 0, 0x20, 0, 0x12, 0, 0x11, 0};
    if (!Transfer(device, BatchRead, read, sizeof read))
      return "read failed: " + std::to_string(GetLastError());
    const BYTE data = read[1];
    if (read[3] != data || read[5] != BYTE(0xC0 | (data & 0x0F)) || read[7] != LoopbackStatus(data))
      return "torn batch at round " + std::to_string(round);
    if (read[0] != 0x10 || read[2] != 0x20 || read[4] != 0x12 || read[6] != 0x11)
      return "addresses changed at round " + std::to_string(round);
  }
  CloseHandle(device);
  return {};
}

TEST_F(DriverSessionsTest, ConcurrentSessionsSeeWholeBatches) {
  constexpr int Workers = 4;
  constexpr int Rounds = 2000;
  std::vector<std::string> failures(Workers);
  std::latch start(Workers);
  std::vector<std::thread> threads;
  for (int worker = 0; worker < Workers; ++worker)
    threads.emplace_back([&, worker] { failures[worker] = Work(worker, Rounds, start); });
  for (std::thread& thread : threads) thread.join();
  for (int worker = 0; worker < Workers; ++worker) EXPECT_EQ(failures[worker], "") << "worker " << worker;
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
}

// The latches belong to the driver, not to a session: a session opened after
// the others have gone reads what the last of them wrote.
TEST_F(DriverSessionsTest, LatchesOutliveTheSessions) {
  std::vector<std::thread> threads;
  std::atomic<int> written{0};
  for (int worker = 0; worker < 3; ++worker)
    threads.emplace_back([&] {
      HANDLE device = OpenAgent();
      BYTE write[] = {0x20, 0xA5};
      if (Transfer(device, BatchWrite, write, sizeof write)) ++written;
      CloseHandle(device);
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(written, 3);
  HANDLE device = OpenAgent();
  BYTE read[] = {0x20, 0};
  EXPECT_TRUE(Transfer(device, BatchRead, read, sizeof read));
  EXPECT_EQ(read[1], 0xA5);
  CloseHandle(device);
}

}  // namespace
