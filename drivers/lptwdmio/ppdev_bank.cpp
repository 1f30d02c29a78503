#include "ppdev_bank.h"

#include "call_deadline.h"
#include "errno_map.h"
#include "slot_rule.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <utility>

namespace lptwdmio {

namespace {

std::optional<int> ParportNumber(const std::string& name) {
  const std::string prefix = "parport";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const std::string digits = name.substr(prefix.size());
  if (digits.size() > 6 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoi(digits);
}

// base-addr holds "base base_hi" in decimal.
std::optional<unsigned> ReadBaseAddress(const std::filesystem::path& file) {
  std::ifstream in(file);
  unsigned long base = 0;
  if (!(in >> base) || base > 0xFFFF) return std::nullopt;
  return static_cast<unsigned>(base);
}

// devices/active names the device holding the port, "none" when it is free.
bool ReadInUse(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string active;
  return (in >> active) && active != "none";
}

bool IsPermissionError(int error) { return error == EACCES || error == EPERM; }

}  // namespace

std::vector<TParportNode> FindParports(const std::string& devDir, const std::string& procDir) {
  std::vector<TParportNode> nodes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(devDir, error)) {
    const std::string name = entry.path().filename().string();
    if (const std::optional<int> number = ParportNumber(name))
      nodes.push_back({*number, entry.path().string(),
                       ReadBaseAddress(std::filesystem::path(procDir) / name / "base-addr"),
                       ReadInUse(std::filesystem::path(procDir) / name / "devices" / "active")});
  }
  std::sort(nodes.begin(), nodes.end(),
            [](const TParportNode& a, const TParportNode& b) { return a.Number < b.Number; });
  return nodes;
}

bool KernelHasParports(const std::string& procDir) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(procDir, error)) {
    if (ParportNumber(entry.path().filename().string())) return true;
  }
  return false;
}

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

// The kernel's claim sleeps until the holder lets go, however long that is;
// the deadline ends the sleep. An interrupted claim leaves the node on the
// port's wait list, where a second claim on it would corrupt the list, so the
// node is closed, which takes it off.
int TPpdevPort::Claim(TPpdevSystem& system, const std::string& path, TPpdevPort& port,
                      std::ostream& messages) {
  const int fd = system.Open(path);
  if (fd < 0) return fd;
  TPpdevPort opened(system, fd);
  int result = 0;
  {
    TCallDeadline deadline(system.ClaimLimit);
    if (!deadline.Armed()) return -deadline.Error();
    result = system.Ioctl(fd, PPCLAIM, nullptr);
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

TPpdevBank::TPpdevBank(TPorts ports, TBases bases) : Ports_(std::move(ports)), Bases_(bases) {}

TPortQueryEntry TPpdevBank::Describe(int slot) const {
  if (!Ports_[slot]) return {0, 0, 0, 0};
  const std::optional<unsigned>& base = Bases_[slot];
  return {uint8_t(PortPresent | (base ? PortBaseKnown : 0)), 0, uint16_t(base.value_or(0)), 0};
}

DWORD TPpdevBank::Call(int slot, unsigned long request, void* argument) {
  const int result = Ports_[slot].Ioctl(request, argument);
  return result == 0 ? ERROR_SUCCESS : WindowsError(-result);
}

DWORD TPpdevBank::Read(int slot, TRegister reg, BYTE& value) {
  if (!Ports_[slot]) {
    value = AbsentValue;
    return ERROR_SUCCESS;
  }
  unsigned char byte = 0;
  const unsigned long requests[RegisterCount] = {PPRDATA, PPRSTATUS, PPRCONTROL};
  if (const DWORD status = Call(slot, requests[reg], &byte); status != ERROR_SUCCESS) return status;
  value =
      reg == RegisterControl ? BYTE(ControlUnusedBits | ControlHigh_[slot] | (byte & ControlLineBits)) : byte;
  return ERROR_SUCCESS;
}

DWORD TPpdevBank::Write(int slot, TRegister reg, BYTE value) {
  if (!Ports_[slot]) return ERROR_SUCCESS;
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

namespace {

struct TOpenFailure {
  int Error = 0;
  std::string Path;
};

}  // namespace

DWORD OpenPpdevBank(TPpdevSystem& system, const std::vector<TParportNode>& nodes,
                    std::unique_ptr<TPortBank>& bank, std::ostream& messages) {
  const std::array<int, SlotCount> slots = AssignSlots(nodes);
  TPpdevBank::TPorts ports;
  TPpdevBank::TBases bases{};
  TOpenFailure firstFailure, denied, busy;
  bool anyOpen = false;
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (slots[slot] < 0) continue;
    const TParportNode& node = nodes[slots[slot]];
    const int result = node.InUse ? -EBUSY : TPpdevPort::Claim(system, node.Path, ports[slot], messages);
    if (result == 0) {
      bases[slot] = node.BaseAddress;
      anyOpen = true;
      continue;
    }
    if (!firstFailure.Error) firstFailure = {-result, node.Path};
    if (!denied.Error && IsPermissionError(-result)) denied = {-result, node.Path};
    // A claim that gave up found the port taken after its entry said free.
    if (!busy.Error && (node.InUse || result == -EINTR)) busy = {EBUSY, node.Path};
  }
  if (anyOpen) {
    // A node that failed leaves its slot reading as absent.
    bank = std::make_unique<TPpdevBank>(std::move(ports), bases);
    return ERROR_SUCCESS;
  }
  if (denied.Error) {
    const std::string group = system.GroupOf(denied.Path);
    messages << "lptwdmio: no permission to open " << denied.Path << "; add yourself to group " << group
             << " (sudo usermod -aG " << group << " $USER) and log in again\n";
    return ERROR_ACCESS_DENIED;
  }
  if (busy.Error) {
    messages << "lptwdmio: " << busy.Path
             << " is in use by another program; close that program and try again\n";
    return ERROR_BUSY;
  }
  return firstFailure.Error ? WindowsError(firstFailure.Error) : ERROR_FILE_NOT_FOUND;
}

}  // namespace lptwdmio
