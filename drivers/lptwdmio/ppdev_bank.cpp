#include "ppdev_bank.h"

#include "call_deadline.h"
#include "errno_map.h"
#include "slot_rule.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/ppdev.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <utility>

namespace lptwdmio {

namespace {

bool IsPermissionError(int error) { return error == EACCES || error == EPERM; }

}  // namespace

std::array<int, SlotCount> AssignSlots(const std::vector<TParportNode>& nodes) {
  int slots[SlotCount];
  AssignSlotsByBase(
      int(nodes.size()),
      [&nodes](int i) { return nodes[i].BaseAddress ? long(*nodes[i].BaseAddress) : UnknownBase; }, slots);
  return {slots[0], slots[1], slots[2]};
}

int TPpdevSystem::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  return fd >= 0 ? fd : -errno;
}

int TPpdevSystem::Access(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0 ? 0 : -errno;
}

int TPpdevSystem::Ioctl(int fd, unsigned long request, void* argument) {
  return ::ioctl(fd, request, argument) == 0 ? 0 : -errno;
}

void TPpdevSystem::Close(int fd) { ::close(fd); }

std::string TPpdevSystem::GroupOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return "lp";
  const struct group* entry = ::getgrgid(info.st_gid);
  return entry && info.st_gid != 0 ? entry->gr_name : "lp";
}

uint32_t TPpdevSystem::HolderOf(const std::string& path) {
  const std::vector<uint32_t> holders = ProcessesHolding("/proc", path);
  return holders.empty() ? 0 : holders.front();
}

int TPpdevSystem::PollInterrupt(int fd, int timeoutMs) {
  pollfd watched{fd, POLLIN, 0};
  const int ready = ::poll(&watched, 1, timeoutMs);
  return ready >= 0 ? ready : -errno;
}

TPpdevPort::~TPpdevPort() { Free(); }

TPpdevPort::TPpdevPort(TPpdevPort&& other) noexcept
    : System_(other.System_),
      Fd_(std::exchange(other.Fd_, -1)),
      Claimed_(std::exchange(other.Claimed_, false)) {}

TPpdevPort& TPpdevPort::operator=(TPpdevPort&& other) noexcept {
  if (this != &other) {
    Free();
    System_ = other.System_;
    Fd_ = std::exchange(other.Fd_, -1);
    Claimed_ = std::exchange(other.Claimed_, false);
  }
  return *this;
}

void TPpdevPort::Free() {
  if (Fd_ < 0) return;
  if (Claimed_) System_->Ioctl(Fd_, PPRELEASE, nullptr);
  System_->Close(Fd_);
  Fd_ = -1;
  Claimed_ = false;
}

int TPpdevPort::Ioctl(unsigned long request, void* argument) const {
  return System_->Ioctl(Fd_, request, argument);
}

int TPpdevPort::PollInterrupt(int timeoutMs) const { return System_->PollInterrupt(Fd_, timeoutMs); }

// The kernel's claim sleeps until the holder lets go, however long that is;
// the deadline ends the sleep. An interrupted claim leaves the node on the
// port's wait list, where a second claim on it would corrupt the list, so the
// node is closed, which takes it off.
int TPpdevPort::Claim(TPpdevSystem& system, const std::string& path, std::chrono::milliseconds wait,
                      TPpdevPort& port, std::ostream& messages) {
  const int fd = system.Open(path);
  if (fd < 0) return fd;
  TPpdevPort opened(system, fd);
  int result = 0;
  {
    TCallDeadline deadline(wait);
    if (!deadline.Armed()) return -deadline.Error();
    result = system.Ioctl(fd, PPCLAIM, nullptr);
    if (result == -EINTR && deadline.Passed()) result = -ETIMEDOUT;
  }
  if (result < 0) return result;
  opened.Claimed_ = true;
  // Output, matching the direction bit the bank starts with.
  int forward = 0;
  if (const int error = system.Ioctl(fd, PPDATADIR, &forward); error < 0)
    messages << "lptwdmio: " << path << ": cannot turn the data lines to output (" << std::strerror(-error)
             << "); data reads may show the lines rather than the latch\n";
  port = std::move(opened);
  return 0;
}

TPpdevBank::TPpdevBank(TPpdevSystem& system, TSlots slots, std::chrono::milliseconds wait,
                       std::ostream& messages)
    : System_(system), Slots_(std::move(slots)), Wait_(wait), Messages_(messages) {}

DWORD TPpdevBank::Acquire(int slot) {
  if (!Slots_[slot] || Ports_[slot]) return ERROR_SUCCESS;
  const std::string& path = Slots_[slot]->Path;
  const int result = TPpdevPort::Claim(System_, path, WaitedOut_ ? std::chrono::milliseconds(0) : Wait_,
                                       Ports_[slot], Messages_);
  if (result == 0) {
    ControlHigh_[slot] = 0;  // output, as the claim left it
    return ERROR_SUCCESS;
  }
  if (result != -ETIMEDOUT) return WindowsError(-result);
  if (!WaitedOut_) {
    const uint32_t holder = System_.HolderOf(path);
    Messages_ << "lptwdmio: " << path << " is in use by another program"
              << (holder ? " (pid " + std::to_string(holder) + ")" : std::string())
              << "; close that program and try again\n";
  }
  WaitedOut_ = true;
  return ERROR_BUSY;
}

TPortQueryEntry TPpdevBank::Describe(int slot) const {
  if (!Slots_[slot]) return {0, 0, 0, 0};
  const TPpdevSlot& port = *Slots_[slot];
  TPortQueryEntry entry{
      uint8_t(PortPresent | (port.Base ? PortBaseKnown : 0) | (port.Interrupt ? PortInterrupt : 0)), 0,
      uint16_t(port.Base.value_or(0)), 0};
  if (!Ports_[slot] && ReadInUse(port.ActiveFile)) {
    entry.Flags |= PortHeld;
    entry.Holder = System_.HolderOf(port.Path);
  }
  return entry;
}

bool TPpdevBank::HasInterrupt(int slot) const { return Slots_[slot] && Slots_[slot]->Interrupt; }

// ppdev counts the port's interrupts while this node holds it, wakes a
// poll for them, and hands the count over (clearing it) through PPCLRIRQ.
// A signal ends the sleep early; the count is still taken.
DWORD TPpdevBank::WaitInterrupt(int slot, uint32_t timeoutMs, uint32_t& count) {
  if (!Ports_[slot]) return ERROR_BUSY;  // not acquired
  if (timeoutMs) {
    const int ready = Ports_[slot].PollInterrupt(int(timeoutMs));
    if (ready < 0 && ready != -EINTR) return WindowsError(-ready);
  }
  int taken = 0;
  if (const DWORD status = Call(slot, PPCLRIRQ, &taken); status != ERROR_SUCCESS) return status;
  count = uint32_t(taken);
  return ERROR_SUCCESS;
}

DWORD TPpdevBank::Call(int slot, unsigned long request, void* argument) {
  const int result = Ports_[slot].Ioctl(request, argument);
  return result == 0 ? ERROR_SUCCESS : WindowsError(-result);
}

DWORD TPpdevBank::Read(int slot, TRegister reg, BYTE& value) {
  if (!Slots_[slot]) {
    value = AbsentValue;
    return ERROR_SUCCESS;
  }
  if (!Ports_[slot]) return ERROR_BUSY;  // not acquired
  unsigned char byte = 0;
  const unsigned long requests[RegisterCount] = {PPRDATA, PPRSTATUS, PPRCONTROL};
  if (const DWORD status = Call(slot, requests[reg], &byte); status != ERROR_SUCCESS) return status;
  value =
      reg == RegisterControl ? BYTE(ControlUnusedBits | ControlHigh_[slot] | (byte & ControlLineBits)) : byte;
  return ERROR_SUCCESS;
}

DWORD TPpdevBank::Write(int slot, TRegister reg, BYTE value) {
  if (!Slots_[slot]) return ERROR_SUCCESS;
  if (!Ports_[slot]) return ERROR_BUSY;  // not acquired
  if (reg == RegisterData) {
    unsigned char byte = value;
    return Call(slot, PPWDATA, &byte);
  }
  if (reg == RegisterControl) return WriteControl(slot, value);
  return ERROR_SUCCESS;  // status is read-only
}

// ppdev's control write can turn the data lines to input but never back, so
// the direction goes through PPDATADIR, and only the four line bits through
// PPWCONTROL.
DWORD TPpdevBank::WriteControl(int slot, BYTE value) {
  const BYTE high = value & ControlHighBits;
  if ((high ^ ControlHigh_[slot]) & ControlDirectionBit) {
    int reverse = (value & ControlDirectionBit) ? 1 : 0;
    if (const DWORD status = Call(slot, PPDATADIR, &reverse); status != ERROR_SUCCESS) return status;
  }
  ControlHigh_[slot] = high;
  unsigned char lines = value & ControlLineBits;
  return Call(slot, PPWCONTROL, &lines);
}

DWORD OpenPpdevBank(TPpdevSystem& system, const std::vector<TParportNode>& nodes,
                    std::chrono::milliseconds wait, std::unique_ptr<TPortBank>& bank,
                    std::ostream& messages) {
  const std::array<int, SlotCount> slots = AssignSlots(nodes);
  TPpdevBank::TSlots usable;
  const TParportNode* denied = nullptr;
  int firstError = 0;
  bool any = false;
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (slots[slot] < 0) continue;
    const TParportNode& node = nodes[slots[slot]];
    if (const int result = system.Access(node.Path); result < 0) {
      // A node this process may not open leaves its slot reading as absent.
      if (!firstError) firstError = -result;
      if (!denied && IsPermissionError(-result)) denied = &node;
      continue;
    }
    usable[slot] = TPpdevSlot{node.Path, node.BaseAddress, node.ActiveFile, node.Interrupt};
    any = true;
  }
  if (any) {
    bank = std::make_unique<TPpdevBank>(system, std::move(usable), wait, messages);
    return ERROR_SUCCESS;
  }
  if (denied) {
    const std::string group = system.GroupOf(denied->Path);
    messages << "lptwdmio: no permission to open " << denied->Path << "; add yourself to group " << group
             << " (sudo usermod -aG " << group << " $USER) and log in again\n";
    return ERROR_ACCESS_DENIED;
  }
  return firstError ? WindowsError(firstError) : ERROR_FILE_NOT_FOUND;
}

}  // namespace lptwdmio
