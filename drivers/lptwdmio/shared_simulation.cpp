#include "shared_simulation.h"

#include "errno_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace lptwdmio {

namespace {

using std::chrono::milliseconds;

// The file's one record, 64 bytes in the machine's byte order (the file never
// leaves it): a header, then a word per port and a word per far side, each
// written whole so a reader never sees half of one.
//   port word: data, control (bits 0-5), check (16 bits), holder process id
//   far word:  driven, levels, check (16 bits), zero
constexpr char Magic[8] = {'P', 'L', 'K', 'L', 'P', 'T', 'S', 'M'};
constexpr uint32_t Version = 2;
constexpr std::size_t RecordSize = 64;
constexpr std::size_t HeaderSize = 16;
constexpr std::size_t PortWords = HeaderSize / 8;
constexpr std::size_t FarWords = PortWords + SlotCount;
static_assert(HeaderSize + 2 * SlotCount * 8 == RecordSize, "the record's layout");

// Byte 0 of the file is locked while a process sets the file up; byte 1 + n
// is held by the session holding port n.
constexpr off_t SetupLockByte = 0;
constexpr off_t PortLockByte(int slot) { return 1 + slot; }

constexpr uint64_t CheckMask = 0xFFFFull << 16;
enum TWordKind : uint8_t { PortWordKind = 'P', FarWordKind = 'F' };

// FNV-1a over the word without its check, folded to 16 bits; the kind and
// the slot go in so that no word is sound in another's place.
uint16_t CheckOf(uint64_t word, TWordKind kind, int slot) {
  uint32_t hash = 2166136261u;
  auto add = [&hash](uint8_t byte) { hash = (hash ^ byte) * 16777619u; };
  add(kind);
  add(uint8_t(slot));
  word &= ~CheckMask;
  for (int i = 0; i < 8; ++i) add(uint8_t(word >> (8 * i)));
  return uint16_t((hash >> 16) ^ hash);
}

uint64_t Sealed(uint64_t word, TWordKind kind, int slot) {
  return (word & ~CheckMask) | (uint64_t(CheckOf(word, kind, slot)) << 16);
}

bool IsSealed(uint64_t word, TWordKind kind, int slot) {
  return uint16_t(word >> 16) == CheckOf(word, kind, slot);
}

uint64_t PortWord(int slot, const TSimulatedLatches& latches, uint32_t holder) {
  return Sealed(latches.Data | uint64_t(latches.Control & ~ControlUnusedBits) << 8 | uint64_t(holder) << 32,
                PortWordKind, slot);
}

uint64_t FarWord(int slot, const TSimulatedFarSide& far) {
  return Sealed(far.Driven | uint64_t(far.Levels) << 8, FarWordKind, slot);
}

// A freshly powered bank.
void FreshRecord(uint8_t (&record)[RecordSize]) {
  std::memset(record, 0, sizeof record);
  std::memcpy(record, Magic, sizeof Magic);
  std::memcpy(record + 8, &Version, sizeof Version);
  const uint32_t length = RecordSize;
  std::memcpy(record + 12, &length, sizeof length);
  for (int slot = 0; slot < SlotCount; ++slot) {
    const uint64_t port = PortWord(slot, {}, 0), far = FarWord(slot, {});
    std::memcpy(record + HeaderSize + 8 * slot, &port, 8);
    std::memcpy(record + HeaderSize + 8 * (SlotCount + slot), &far, 8);
  }
}

bool SoundHeader(const uint8_t* record) {
  uint8_t fresh[RecordSize];
  FreshRecord(fresh);
  return std::memcmp(record, fresh, HeaderSize) == 0;
}

// The user's own, not a link, closed to everyone else.
bool IsPrivate(const struct stat& info, mode_t type) {
  return (info.st_mode & S_IFMT) == type && info.st_uid == ::geteuid() &&
         !(info.st_mode & (S_IWGRP | S_IWOTH));
}

constexpr const char* NotServed = "; no simulated port is served";

std::string Refusal(const std::string& what, int error = 0) {
  return "lptwdmio: " + what + (error ? std::string(" (") + std::strerror(error) + ")" : "") + NotServed;
}

DWORD PrepareDir(const std::string& dir, std::string& refusal) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    const int error = errno;
    refusal = Refusal("cannot make " + dir, error);
    return WindowsError(error);
  }
  struct stat info {};
  if (::lstat(dir.c_str(), &info) != 0 || !IsPrivate(info, S_IFDIR)) {
    refusal = Refusal(dir + " is not a folder of this user's alone (chmod 700 it, or set LPTWDMIO_SIM_DIR)");
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

int TryLock(int fd, off_t byte, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return 0;
  return errno == EACCES ? EAGAIN : errno;
}

// Tries the lock until wait has passed, pausing a little longer each time:
// no signal is needed to keep the bound, and none is lost.
int LockWithin(int fd, off_t byte, milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  std::chrono::nanoseconds pause = milliseconds(1);
  for (;;) {
    const int result = TryLock(fd, byte, F_WRLCK);
    if (result != EAGAIN) return result;
    const auto left = end - std::chrono::steady_clock::now();
    if (left <= left.zero()) return ETIMEDOUT;
    const auto nap = std::min<std::chrono::nanoseconds>(pause, left);
    const struct timespec span = {time_t(nap.count() / 1000000000), long(nap.count() % 1000000000)};
    if (::nanosleep(&span, nullptr) != 0 && errno == EINTR) return EINTR;
    pause = std::min<std::chrono::nanoseconds>(pause * 2, milliseconds(16));
  }
}

// Under the setup lock: a record whose header is wrong, or a file of the
// wrong size, is written afresh. Only a read that fails is an error.
DWORD SetUp(int fd, const std::string& path, std::ostream& messages, std::string& refusal) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    refusal = Refusal("cannot look at " + path, error);
    return WindowsError(error);
  }
  uint8_t record[RecordSize] = {};
  const ssize_t got = ::pread(fd, record, sizeof record, 0);
  if (got < 0) {
    const int error = errno;
    refusal = Refusal("cannot read " + path, error);
    return WindowsError(error);
  }
  if (info.st_size == off_t(RecordSize) && got == ssize_t(RecordSize) && SoundHeader(record))
    return ERROR_SUCCESS;
  // An empty file is a new one, and one of an earlier layout is simply replaced.
  uint32_t version = 0;
  std::memcpy(&version, record + 8, sizeof version);
  const bool earlier = got >= 12 && std::memcmp(record, Magic, sizeof Magic) == 0 && version < Version;
  if (info.st_size != 0 && !earlier)
    messages << "lptwdmio: " << path << " was damaged; the simulated ports start afresh\n";
  FreshRecord(record);
  const ssize_t put = ::pwrite(fd, record, sizeof record, 0);
  if (put != ssize_t(sizeof record) || ::ftruncate(fd, RecordSize) != 0) {
    const int error = put >= 0 && put != ssize_t(sizeof record) ? ENOSPC : errno;
    refusal = Refusal("cannot write " + path, error);
    return WindowsError(error);
  }
  return ERROR_SUCCESS;
}

// Milliseconds of the coarse monotonic clock: cheap enough for every batch.
long long CoarseNow() {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

std::string SlotName(int slot) { return "LPT" + std::to_string(slot + 1); }

}  // namespace

std::string DefaultSimulationDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/pinlark";
  return "/dev/shm/pinlark-" + std::to_string(::geteuid());
}

DWORD TSimulationFile::Open(const std::string& dir, milliseconds wait, std::ostream& messages,
                            std::unique_ptr<TSimulationFile>& file, std::string& refusal) {
  if (const DWORD status = PrepareDir(dir, refusal); status != ERROR_SUCCESS) return status;
  std::string path = dir + "/" + SimulationFileName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    refusal = Refusal("cannot open " + path, error);
    return WindowsError(error);
  }
  auto fail = [fd](DWORD status) {
    ::close(fd);
    return status;
  };
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !IsPrivate(info, S_IFREG)) {
    refusal = Refusal(path + " is not this user's own file (remove it)");
    return fail(ERROR_ACCESS_DENIED);
  }
  // Another name of the file elsewhere would take the ports' state with it.
  if (info.st_nlink != 1) {
    refusal = Refusal(path + " has other names, hard links to it (remove it)");
    return fail(ERROR_ACCESS_DENIED);
  }
  if (const int result = LockWithin(fd, SetupLockByte, wait); result != 0) {
    refusal =
        Refusal("another program is setting up " + path + "; try again", result == ETIMEDOUT ? 0 : result);
    return fail(result == ETIMEDOUT ? ERROR_BUSY : WindowsError(result));
  }
  const DWORD setUp = SetUp(fd, path, messages, refusal);
  TryLock(fd, SetupLockByte, F_UNLCK);
  if (setUp != ERROR_SUCCESS) return fail(setUp);
  void* map = ::mmap(nullptr, RecordSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) {
    const int error = errno;
    refusal = Refusal("cannot map " + path, error);
    return fail(WindowsError(error));
  }
  file.reset(new TSimulationFile(fd, dir, std::move(path), map, info.st_dev, info.st_ino));
  return ERROR_SUCCESS;
}

TSimulationFile::~TSimulationFile() {
  ::munmap(Map_, RecordSize);
  ::close(Fd_);  // lets go of every lock this open held
}

uint64_t* TSimulationFile::Word(std::size_t index) const { return static_cast<uint64_t*>(Map_) + index; }

int TSimulationFile::Hold(int slot, milliseconds wait) { return LockWithin(Fd_, PortLockByte(slot), wait); }

bool TSimulationFile::HeldElsewhere(int slot, uint32_t& holder) const {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = PortLockByte(slot);
  lock.l_len = 1;
  holder = 0;
  if (::fcntl(Fd_, F_OFD_GETLK, &lock) != 0 || lock.l_type == F_UNLCK) return false;
  const uint64_t word = std::atomic_ref<uint64_t>(*Word(PortWords + slot)).load(std::memory_order_relaxed);
  if (IsSealed(word, PortWordKind, slot)) holder = uint32_t(word >> 32);
  return true;
}

TSimulatedLatches TSimulationFile::Latches(int slot) const {
  const uint64_t word = std::atomic_ref<uint64_t>(*Word(PortWords + slot)).load(std::memory_order_relaxed);
  return {BYTE(word), BYTE((word >> 8) & ~ControlUnusedBits)};
}

bool TSimulationFile::LatchesSound(int slot) const {
  const uint64_t word = std::atomic_ref<uint64_t>(*Word(PortWords + slot)).load(std::memory_order_relaxed);
  return IsSealed(word, PortWordKind, slot);
}

void TSimulationFile::StoreLatches(int slot, const TSimulatedLatches& latches, uint32_t holder) {
  std::atomic_ref<uint64_t>(*Word(PortWords + slot))
      .store(PortWord(slot, latches, holder), std::memory_order_relaxed);
}

TSimulatedFarSide TSimulationFile::FarSide(int slot) const {
  const uint64_t word = std::atomic_ref<uint64_t>(*Word(FarWords + slot)).load(std::memory_order_relaxed);
  const TSimulatedFarSide far{BYTE(word), BYTE(word >> 8)};
  const TSimulatedInputs inputs{uint8_t(slot), 0, far.Driven, far.Levels};
  return IsSealed(word, FarWordKind, slot) && IsValidSimulatedInputs(inputs) ? far : TSimulatedFarSide{};
}

void TSimulationFile::StoreFarSide(int slot, const TSimulatedFarSide& far) {
  std::atomic_ref<uint64_t>(*Word(FarWords + slot)).store(FarWord(slot, far), std::memory_order_relaxed);
}

bool TSimulationFile::StillThere() const {
  struct stat named {
  }, open{};
  return ::stat(Path_.c_str(), &named) == 0 && named.st_dev == Device_ && named.st_ino == Inode_ &&
         ::fstat(Fd_, &open) == 0 && open.st_size >= off_t(RecordSize);
}

TSharedSimulatedBank::TSharedSimulatedBank(std::unique_ptr<TSimulationFile> file, TOptions options,
                                           std::ostream& messages)
    : File_(std::move(file)), Options_(options), Messages_(messages), Pid_(uint32_t(::getpid())) {}

// The latches stay for the next holder; only the claim to them goes.
TSharedSimulatedBank::~TSharedSimulatedBank() {
  for (int slot = 0; slot < SlotCount; ++slot)
    if (Held_[slot]) File_->StoreLatches(slot, File_->Latches(slot), 0);
}

DWORD TSharedSimulatedBank::Acquire(int slot) {
  if (Held_[slot] || SimulatedKinds[slot] == TSimulatedKind::Absent) return ERROR_SUCCESS;
  if (!File_->StillThere())
    if (const DWORD status = Follow(); status != ERROR_SUCCESS) return status;
  const int result = File_->Hold(slot, WaitedOut_ ? milliseconds(0) : Options_.Wait);
  if (result == ETIMEDOUT) {
    if (!WaitedOut_) {
      uint32_t holder = 0;
      File_->HeldElsewhere(slot, holder);
      Messages_ << "lptwdmio: the simulated " << SlotName(slot) << " is in use by another program"
                << (holder ? " (pid " + std::to_string(holder) + ")" : std::string())
                << "; close that program and try again\n";
    }
    WaitedOut_ = true;
    return ERROR_BUSY;
  }
  if (result == EINTR) return ERROR_OPERATION_ABORTED;
  if (result != 0) return WindowsError(result);
  TSimulatedLatches latches = File_->Latches(slot);
  if (!File_->LatchesSound(slot)) {
    Messages_ << "lptwdmio: " << File_->Path() << " was damaged; the simulated " << SlotName(slot)
              << " starts afresh\n";
    latches = {};
  }
  File_->StoreLatches(slot, latches, Pid_);
  Held_[slot] = true;
  return ERROR_SUCCESS;
}

// A look at the path costs two system calls, so it is taken now and then,
// and only while there is something to carry over.
DWORD TSharedSimulatedBank::BeginBatch() {
  if (std::find(Held_.begin(), Held_.end(), true) == Held_.end()) return ERROR_SUCCESS;
  const long long now = CoarseNow();
  if (now < NextCheck_) return ERROR_SUCCESS;
  NextCheck_ = now + Options_.Recheck.count();
  return File_->StillThere() ? ERROR_SUCCESS : Follow();
}

// The file at the path is now another (or none): the session moves there
// with the ports it holds and their latches, unless someone took them there
// first.
DWORD TSharedSimulatedBank::Follow() {
  std::unique_ptr<TSimulationFile> file;
  std::string refusal;
  if (const DWORD status = TSimulationFile::Open(File_->Dir(), Options_.Wait, Messages_, file, refusal);
      status != ERROR_SUCCESS) {
    Messages_ << refusal << '\n';
    return status;
  }
  Messages_ << "lptwdmio: " << File_->Path()
            << " was removed or replaced; the simulated ports carry on in the new one\n";
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (!Held_[slot]) continue;
    Held_[slot] = file->Hold(slot, milliseconds(0)) == 0;
    if (Held_[slot]) file->StoreLatches(slot, File_->Latches(slot), Pid_);
  }
  File_ = std::move(file);
  return ERROR_SUCCESS;
}

DWORD TSharedSimulatedBank::Read(int slot, TRegister reg, BYTE& value) {
  const TSimulatedKind kind = SimulatedKinds[slot];
  if (!Held_[slot] && kind != TSimulatedKind::Absent) return ERROR_BUSY;
  const TSimulatedFarSide far = kind == TSimulatedKind::Open ? File_->FarSide(slot) : TSimulatedFarSide{};
  value = ReadSimulated(kind, File_->Latches(slot), far, reg);
  return ERROR_SUCCESS;
}

DWORD TSharedSimulatedBank::Write(int slot, TRegister reg, BYTE value) {
  const TSimulatedKind kind = SimulatedKinds[slot];
  if (!Held_[slot] && kind != TSimulatedKind::Absent) return ERROR_BUSY;
  TSimulatedLatches latches = File_->Latches(slot);
  if (WriteSimulated(kind, latches, reg, value)) File_->StoreLatches(slot, latches, Pid_);
  return ERROR_SUCCESS;
}

TPortQueryEntry TSharedSimulatedBank::Describe(int slot) const {
  TPortQueryEntry entry = DescribeSimulated(SimulatedKinds[slot]);
  uint32_t holder = 0;
  if ((entry.Flags & PortPresent) && !Held_[slot] && File_->HeldElsewhere(slot, holder)) {
    entry.Flags |= PortHeld;
    entry.Holder = holder;
  }
  return entry;
}

// The far end of the cable is anyone's to drive, holder or not.
DWORD TSharedSimulatedBank::SimulatedInputs(TSimulatedInputs& inputs) {
  if (SimulatedKinds[inputs.Slot] != TSimulatedKind::Open) return ERROR_NOT_SUPPORTED;
  if (inputs.Change) File_->StoreFarSide(inputs.Slot, {inputs.Driven, inputs.Levels});
  const TSimulatedFarSide far = File_->FarSide(inputs.Slot);
  inputs.Driven = far.Driven;
  inputs.Levels = far.Levels;
  return ERROR_SUCCESS;
}

}  // namespace lptwdmio
