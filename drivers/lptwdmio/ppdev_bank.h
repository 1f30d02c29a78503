// Real ports through the kernel's ppdev interface.
#pragma once

#include "parports.h"
#include "port_bank.h"

#include <array>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lptwdmio {

// For each LPT slot, the index of the node serving it, or -1. The classic
// bases pick their slot (0x3BC LPT1, 0x378 LPT2, 0x278 LPT3); other ports take
// the free slots in kernel order.
std::array<int, SlotCount> AssignSlots(const std::vector<TParportNode>& nodes);

// The system calls the ppdev bank makes, so that tests can stand in for the
// kernel. Open, Access and Ioctl return a negative errno on failure.
class TPpdevSystem {
 public:
  virtual ~TPpdevSystem() = default;
  virtual int Open(const std::string& path);
  virtual int Access(const std::string& path);  // whether this process may open it for reading and writing
  virtual int Ioctl(int fd, unsigned long request, void* argument);
  virtual void Close(int fd);
  virtual std::string GroupOf(const std::string& path);  // owning group of a node
  // A process that has the node open, 0 when none this process may see.
  virtual uint32_t HolderOf(const std::string& path);
  // Sleeps until the node has interrupts to report (ppdev counts them while
  // the port is claimed) or timeoutMs passes: 1, 0 on timeout, or a negative
  // errno (-EINTR when a signal came).
  virtual int PollInterrupt(int fd, int timeoutMs);
};

// One node, opened and claimed: owns the descriptor and the claim and gives
// both back when it goes. Empty when default-made or moved from.
class TPpdevPort {
 public:
  TPpdevPort() = default;
  ~TPpdevPort();
  TPpdevPort(TPpdevPort&& other) noexcept;
  TPpdevPort& operator=(TPpdevPort&& other) noexcept;

  // Opens path, claims the port, waiting at most wait for another holder,
  // and turns its data lines to output (a failure of that last step leaves
  // a line on messages and is no error). Returns 0, or a negative errno:
  // -ETIMEDOUT when the wait ran out, -EINTR when another signal ended it.
  static int Claim(TPpdevSystem& system, const std::string& path, std::chrono::milliseconds wait,
                   TPpdevPort& port, std::ostream& messages);

  explicit operator bool() const { return Fd_ >= 0; }
  int Ioctl(unsigned long request, void* argument) const;  // a negative errno on failure
  int PollInterrupt(int timeoutMs) const;                  // as TPpdevSystem's

 private:
  TPpdevPort(TPpdevSystem& system, int fd) : System_(&system), Fd_(fd) {}
  void Free();

  TPpdevSystem* System_ = nullptr;
  int Fd_ = -1;
  bool Claimed_ = false;
};

// A port the bank may claim: its node, and what the kernel says of it.
struct TPpdevSlot {
  std::string Path;
  std::optional<unsigned> Base;
  std::string ActiveFile;
  bool Interrupt = false;
};

// The session's ppdev ports, each opened and claimed at its first batch and
// held until the session ends, as a program holds a port it works on.
class TPpdevBank : public TPortBank {
 public:
  using TSlots = std::array<std::optional<TPpdevSlot>, SlotCount>;
  // An empty slot is a slot without a port.
  TPpdevBank(TPpdevSystem& system, TSlots slots, std::chrono::milliseconds wait, std::ostream& messages);

  // A claim waits at most the bank's wait for another holder; after one wait
  // that ran out, later claims never wait: a command keeps its bound as a whole.
  DWORD Acquire(int slot) override;
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;
  bool HasInterrupt(int slot) const override;
  DWORD WaitInterrupt(int slot, uint32_t timeoutMs, uint32_t& count) override;

 private:
  DWORD Call(int slot, unsigned long request, void* argument);
  DWORD WriteControl(int slot, BYTE value);

  TPpdevSystem& System_;
  TSlots Slots_;
  std::chrono::milliseconds Wait_;
  std::ostream& Messages_;
  std::array<TPpdevPort, SlotCount> Ports_;
  // ppdev reports only the four line bits of control; bits 4 and 5 are kept here.
  std::array<BYTE, SlotCount> ControlHigh_{};
  bool WaitedOut_ = false;
};

// The ports of nodes this process may open, none claimed yet. When none may
// be opened, fails with the reason: lack of permission gives
// ERROR_ACCESS_DENIED and one line on messages saying what to do. A port
// another program holds is no reason to fail: its first batch says busy.
DWORD OpenPpdevBank(TPpdevSystem& system, const std::vector<TParportNode>& nodes,
                    std::chrono::milliseconds wait, std::unique_ptr<TPortBank>& bank, std::ostream& messages);

}  // namespace lptwdmio
