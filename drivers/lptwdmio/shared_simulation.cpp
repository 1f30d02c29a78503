#include "shared_simulation.h"

#include "call_deadline.h"
#include "errno_map.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace lptwdmio {

namespace {

// The file's one record, little-endian, 32 bytes.
struct TRecord {
  char Magic[8];
  uint32_t Version;
  uint32_t Length;
  uint8_t Latches[SlotCount][2];  // data, control (bits 0-5) of each slot
  uint8_t Reserved[6];
  uint32_t Check;
};
static_assert(sizeof(TRecord) == 32, "the file's layout");

constexpr char Magic[8] = {'P', 'L', 'K', 'L', 'P', 'T', 'S', 'M'};
constexpr uint32_t Version = 1;

// A batch holds the lock for microseconds; a holder that keeps it this long
// has stopped, and waiting on would hang every program on the port.
constexpr std::chrono::milliseconds LockLimit{1000};

// FNV-1a over everything before the check.
uint32_t CheckOf(const TRecord& record) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
  uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < offsetof(TRecord, Check); ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

TRecord RecordOf(const TSimulatedPorts& ports) {
  TRecord record{};
  std::memcpy(record.Magic, Magic, sizeof Magic);
  record.Version = Version;
  record.Length = sizeof(TRecord);
  for (int slot = 0; slot < SlotCount; ++slot) {
    record.Latches[slot][0] = ports.Ports[slot].Data;
    record.Latches[slot][1] = ports.Ports[slot].Control;
  }
  record.Check = CheckOf(record);
  return record;
}

bool IsSound(const TRecord& record) {
  if (std::memcmp(record.Magic, Magic, sizeof Magic) != 0 || record.Version != Version ||
      record.Length != sizeof(TRecord) || record.Check != CheckOf(record))
    return false;
  for (const uint8_t byte : record.Reserved)
    if (byte) return false;
  for (const auto& latch : record.Latches)
    if (latch[1] & ControlUnusedBits) return false;
  return true;
}

// The user's own, not a link, and closed to everyone else.
bool IsPrivate(const struct stat& info, mode_t type) {
  return (info.st_mode & S_IFMT) == type && info.st_uid == ::geteuid() &&
         !(info.st_mode & (S_IWGRP | S_IWOTH));
}

constexpr const char* StayPrivate = "; the simulated ports stay private to this program";

bool PrepareDir(const std::string& dir, std::string& refusal) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    refusal = "lptwdmio: cannot make " + dir + " (" + std::strerror(errno) + ")" + StayPrivate;
    return false;
  }
  struct stat info {};
  if (::lstat(dir.c_str(), &info) != 0 || !IsPrivate(info, S_IFDIR)) {
    refusal = "lptwdmio: " + dir + " is not a folder of this user's alone" + StayPrivate;
    return false;
  }
  return true;
}

}  // namespace

std::string DefaultSimulationDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/pinlark";
  return "/dev/shm/pinlark-" + std::to_string(::geteuid());
}

std::unique_ptr<TSimulationFile> TSimulationFile::Open(const std::string& dir, std::ostream& messages,
                                                       std::string& refusal) {
  if (!PrepareDir(dir, refusal)) return nullptr;
  std::string path = dir + "/" + SimulationFileName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    refusal = "lptwdmio: cannot open " + path + " (" + std::strerror(errno) + ")" + StayPrivate;
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !IsPrivate(info, S_IFREG)) {
    ::close(fd);
    refusal = "lptwdmio: " + path + " is not this user's own file" + StayPrivate;
    return nullptr;
  }
  return std::unique_ptr<TSimulationFile>(new TSimulationFile(fd, std::move(path), messages));
}

TSimulationFile::~TSimulationFile() { ::close(Fd_); }

DWORD TSimulationFile::Lock(TSimulatedPorts& ports) {
  if (::flock(Fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return WindowsError(errno);
    TCallDeadline deadline(LockLimit);
    if (!deadline.Armed()) return WindowsError(deadline.Error());  // unbounded, the wait could last for ever
    if (::flock(Fd_, LOCK_EX) != 0) {
      if (errno != EINTR) return WindowsError(errno);
      Messages_ << "lptwdmio: another program has held " << Path_ << " for over a second; try again\n";
      return ERROR_BUSY;
    }
  }
  TRecord record{};
  const ssize_t got = ::pread(Fd_, &record, sizeof record, 0);
  Rebuilt_ = got != ssize_t(sizeof record) || !IsSound(record);
  if (Rebuilt_) {
    // An empty file is a new one; anything else was damaged.
    if (got != 0) Messages_ << "lptwdmio: " << Path_ << " was damaged; the simulated ports start afresh\n";
    ports = TSimulatedPorts{};
    return ERROR_SUCCESS;
  }
  for (int slot = 0; slot < SlotCount; ++slot) {
    ports.Ports[slot].Data = record.Latches[slot][0];
    ports.Ports[slot].Control = record.Latches[slot][1];
  }
  return ERROR_SUCCESS;
}

DWORD TSimulationFile::Unlock(const TSimulatedPorts& ports, bool changed) {
  DWORD status = ERROR_SUCCESS;
  if (changed || Rebuilt_) {
    const TRecord record = RecordOf(ports);
    const ssize_t put = ::pwrite(Fd_, &record, sizeof record, 0);
    if (put != ssize_t(sizeof record))
      status = put < 0 ? WindowsError(errno) : ERROR_GEN_FAILURE;
    else if (Rebuilt_ && ::ftruncate(Fd_, sizeof record) != 0)
      status = WindowsError(errno);
    Rebuilt_ = false;
  }
  ::flock(Fd_, LOCK_UN);
  return status;
}

DWORD TSharedSimulatedBank::BeginBatch() {
  Changed_ = false;
  return File_->Lock(Latches_);
}

DWORD TSharedSimulatedBank::EndBatch() { return File_->Unlock(Latches_, Changed_); }

DWORD TSharedSimulatedBank::Read(int slot, TRegister reg, BYTE& value) {
  return View_.Read(slot, reg, value);
}

DWORD TSharedSimulatedBank::Write(int slot, TRegister reg, BYTE value) {
  Changed_ = true;
  return View_.Write(slot, reg, value);
}

}  // namespace lptwdmio
