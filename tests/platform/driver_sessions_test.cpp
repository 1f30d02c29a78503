// The real driver module under several sessions at once, each on its own
// thread, all on the one simulated bank: a session holds each port it
// touches until it ends, so a read-change-write in two batches loses nothing.
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

class DriverSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
    ::setenv("LPTWDMIO_WAIT_MS", "10000", 1);  // a bound for a loaded machine, not a pace
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
  void TearDown() override {
    emulation::Reset();
    ::unsetenv("LPTWDMIO_WAIT_MS");
  }
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

// Each round a session of its own reads the data latch, flips the worker's
// bit, and writes the latch back in a second batch.
std::string Toggle(BYTE address, BYTE bit, int rounds, std::latch& start) {
  start.arrive_and_wait();
  for (int round = 0; round < rounds; ++round) {
    HANDLE device = OpenAgent();
    if (device == INVALID_HANDLE_VALUE) return "open failed: " + std::to_string(GetLastError());
    BYTE pair[] = {address, 0};
    const bool read = Transfer(device, BatchRead, pair, sizeof pair);
    pair[1] ^= bit;
    const bool written = read && Transfer(device, BatchWrite, pair, sizeof pair);
    const DWORD error = GetLastError();
    CloseHandle(device);
    if (!written) return "round " + std::to_string(round) + " failed: " + std::to_string(error);
  }
  return {};
}

TEST_F(DriverSessionsTest, SessionsWaitTheirTurnAndLoseNothing) {
  struct TWorker {
    BYTE Address, Bit;
  };
  const TWorker workers[] = {{0x20, 0x01}, {0x20, 0x02}, {0x20, 0x04},
                             {0x20, 0x08}, {0x10, 0x40}, {0x10, 0x80}};
  constexpr int Rounds = 301;  // odd: every bit ends set
  std::vector<std::string> failures(std::size(workers));
  std::latch start(std::size(workers));
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < std::size(workers); ++i)
    threads.emplace_back([&, i] { failures[i] = Toggle(workers[i].Address, workers[i].Bit, Rounds, start); });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < std::size(workers); ++i) EXPECT_EQ(failures[i], "") << "worker " << i;
  HANDLE device = OpenAgent();
  BYTE read[] = {0x10, 0, 0x20, 0};
  ASSERT_TRUE(Transfer(device, BatchRead, read, sizeof read));
  EXPECT_EQ(read[1], 0xC0);
  EXPECT_EQ(read[3], 0x0F);
  CloseHandle(device);
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
