// One simulated bank per user on the machine, as a real port is one per
// machine. The ports' latches and far sides live in a small file that every
// process serving the simulated ports maps into memory once per session; each
// port has a lock on the file that a session takes when it first touches the
// port and keeps until it ends, as a program claims a real port, and that the
// kernel lets go when its holder ends, however it ends.
#pragma once

#include "simulated_bank.h"

#include <sys/types.h>

#include <array>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

namespace lptwdmio {

// The file's name inside its folder.
constexpr const char* SimulationFileName = "lpt-sim";

// Where the user's bank lives when nothing else is asked for: a folder of the
// login session ($XDG_RUNTIME_DIR/pinlark), else /dev/shm/pinlark-<uid>.
std::string DefaultSimulationDir();

// The bank file, open and mapped. Its record is fixed in layout and each
// port's part carries a check, so what was left damaged, cut short or written
// by something else is rebuilt as freshly powered ports, never trusted.
class TSimulationFile {
 public:
  // Makes the folder (mode 0700) and the file (0600) when missing. Refuses,
  // with the reason in refusal, a folder or file that is not the user's own,
  // that others may write, or a file with other names (hard links): someone
  // else's file is no shared state. A file that cannot be read is an error,
  // not damage. Waits at most wait while another process sets the file up.
  // Notes (a damaged file rebuilt) go to messages.
  static DWORD Open(const std::string& dir, std::chrono::milliseconds wait, std::ostream& messages,
                    std::unique_ptr<TSimulationFile>& file, std::string& refusal);
  ~TSimulationFile();
  TSimulationFile(const TSimulationFile&) = delete;
  TSimulationFile& operator=(const TSimulationFile&) = delete;

  // Takes the slot's lock for this open of the file, trying again with
  // growing pauses for at most wait (0: once). Returns 0, ETIMEDOUT when
  // another holds it still, EINTR when a signal ended the wait, or the errno.
  int Hold(int slot, std::chrono::milliseconds wait);
  // Whether another open of the file, in any process, holds the slot; holder
  // is its process as it recorded itself (0 when it did not).
  bool HeldElsewhere(int slot, uint32_t& holder) const;

  TSimulatedLatches Latches(int slot) const;
  bool LatchesSound(int slot) const;  // false when the slot's check fails
  void StoreLatches(int slot, const TSimulatedLatches& latches, uint32_t holder);
  TSimulatedFarSide FarSide(int slot) const;  // nothing driven when damaged
  void StoreFarSide(int slot, const TSimulatedFarSide& far);

  // Whether the path still names this file, whole: false once it was
  // removed, replaced or cut short.
  bool StillThere() const;
  const std::string& Dir() const { return Dir_; }
  const std::string& Path() const { return Path_; }

 private:
  TSimulationFile(int fd, std::string dir, std::string path, void* map, dev_t device, ino_t inode)
      : Fd_(fd), Dir_(std::move(dir)), Path_(std::move(path)), Map_(map), Device_(device), Inode_(inode) {}
  uint64_t* Word(std::size_t index) const;

  int Fd_;
  std::string Dir_;
  std::string Path_;
  void* Map_;
  dev_t Device_;
  ino_t Inode_;
};

// A session's view of the shared bank: it holds each port from its first
// batch on it until the session ends, and works on the mapped record
// directly. Now and then it looks whether the file was removed or replaced
// and, if so, carries on in the file now at the path with the ports it holds.
class TSharedSimulatedBank : public TPortBank {
 public:
  struct TOptions {
    // How long a port's first batch waits for another holder to let go.
    std::chrono::milliseconds Wait{500};
    // How often a batch looks whether the file is still the one at the path.
    std::chrono::milliseconds Recheck{250};
  };

  TSharedSimulatedBank(std::unique_ptr<TSimulationFile> file, TOptions options, std::ostream& messages);
  ~TSharedSimulatedBank() override;

  // After one wait that ran out, later ports are tried once and never waited
  // for: a command keeps its bound as a whole.
  DWORD Acquire(int slot) override;
  DWORD BeginBatch() override;
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override;
  DWORD SimulatedInputs(TSimulatedInputs& inputs) override;

 private:
  DWORD Follow();

  std::unique_ptr<TSimulationFile> File_;
  TOptions Options_;
  std::ostream& Messages_;
  uint32_t Pid_;
  std::array<bool, SlotCount> Held_{};
  bool WaitedOut_ = false;
  long long NextCheck_ = 0;  // coarse monotonic milliseconds
};

}  // namespace lptwdmio
