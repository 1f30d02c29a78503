// Real ports through the kernel's ppdev interface.
#pragma once

#include "port_bank.h"

#include <array>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lptwdmio {

struct TParportNode {
  int Number = 0;
  std::string Path;                     // /dev/parportN
  std::optional<unsigned> BaseAddress;  // from /proc/sys/dev/parport/parportN/base-addr
  bool InUse = false;                   // claimed by someone (devices/active is not "none")
};

// The parportN nodes of devDir in kernel order, each with the base address
// procDir reports for it (none when unreadable) and whether it is claimed.
std::vector<TParportNode> FindParports(const std::string& devDir, const std::string& procDir);

// Whether the kernel knows any parallel port: procDir holds a parportN entry,
// whether or not ppdev made a node for it.
bool KernelHasParports(const std::string& procDir);

// For each LPT slot, the index of the node serving it, or -1. The classic
// bases pick their slot (0x3BC LPT1, 0x378 LPT2, 0x278 LPT3); other ports take
// the free slots in kernel order.
std::array<int, SlotCount> AssignSlots(const std::vector<TParportNode>& nodes);

// The system calls the ppdev bank makes, so that tests can stand in for the
// kernel. Open and Ioctl return a negative errno on failure.
class TPpdevSystem {
 public:
  virtual ~TPpdevSystem() = default;
  virtual int Open(const std::string& path);
  virtual int Ioctl(int fd, unsigned long request, void* argument);
  virtual void Close(int fd);
  virtual std::string GroupOf(const std::string& path);  // owning group of a node

  // How long a claim may wait for another holder to let the port go.
  std::chrono::milliseconds ClaimLimit{500};
};

// One node, opened and claimed: owns the descriptor and the claim and gives
// both back when it goes. Empty when default-made or moved from.
class TPpdevPort {
 public:
  TPpdevPort() = default;
  ~TPpdevPort();
  TPpdevPort(TPpdevPort&& other) noexcept;
  TPpdevPort& operator=(TPpdevPort&& other) noexcept;

  // Opens path, claims the port and turns its data lines to output (a
  // failure of that last step leaves a line on messages and is no error).
  // Returns 0, or a negative errno; -EINTR when the claim gave up waiting
  // for another holder after the system's ClaimLimit.
  static int Claim(TPpdevSystem& system, const std::string& path, TPpdevPort& port, std::ostream& messages);

  explicit operator bool() const { return Fd_ >= 0; }
  int Ioctl(unsigned long request, void* argument) const;  // a negative errno on failure

 private:
  TPpdevPort(TPpdevSystem& system, int fd) : System_(&system), Fd_(fd) {}
  void Free();

  TPpdevSystem* System_ = nullptr;
  int Fd_ = -1;
  bool Claimed_ = false;
};

class TPpdevBank : public TPortBank {
 public:
  using TPorts = std::array<TPpdevPort, SlotCount>;
  using TBases = std::array<std::optional<unsigned>, SlotCount>;
  // An empty port is a slot without a port; bases are what the kernel
  // reported for each slot's port.
  explicit TPpdevBank(TPorts ports, TBases bases = {});

  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;

 private:
  DWORD Call(int slot, unsigned long request, void* argument);
  DWORD WriteControl(int slot, BYTE value);

  TPorts Ports_;
  TBases Bases_;
  // ppdev reports only the four line bits of control; bits 4 and 5 are kept here.
  std::array<BYTE, SlotCount> ControlHigh_{};
};

// Opens and claims the ports of nodes. A port in use is passed over, and so
// is one whose claim gives up waiting (another program took it after its
// entry was read). When none opens, fails with the reason; lack of permission
// gives ERROR_ACCESS_DENIED and a port in use ERROR_BUSY, each with one line
// on messages saying what to do.
DWORD OpenPpdevBank(TPpdevSystem& system, const std::vector<TParportNode>& nodes,
                    std::unique_ptr<TPortBank>& bank, std::ostream& messages);

}  // namespace lptwdmio
