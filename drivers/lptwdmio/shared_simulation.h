// One simulated bank per user on the machine, as a real port is one per
// machine: the latches live in a small file that every process serving the
// simulated ports reads and writes under a lock, one batch at a time.
#pragma once

#include "simulated_bank.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace lptwdmio {

// The file's name inside its folder.
constexpr const char* SimulationFileName = "lpt-sim";

// Where the user's bank lives when nothing else is asked for: a folder of the
// login session ($XDG_RUNTIME_DIR/pinlark), else /dev/shm/pinlark-<uid>.
std::string DefaultSimulationDir();

// The open bank file. Its record is fixed in layout and carries a check, so a
// file left damaged, cut short or written by something else is rebuilt with
// the latches of a freshly powered port, never trusted.
class TSimulationFile {
 public:
  // Makes the folder (mode 0700) and the file (0600) when missing. Refuses,
  // with the reason in refusal, a folder or file that is not the user's own
  // or that others may write: someone else's file is no shared state. Later
  // notes (a damaged file rebuilt, a lock held too long) go to messages.
  static std::unique_ptr<TSimulationFile> Open(const std::string& dir, std::ostream& messages,
                                               std::string& refusal);
  ~TSimulationFile();
  TSimulationFile(const TSimulationFile&) = delete;
  TSimulationFile& operator=(const TSimulationFile&) = delete;

  // Lock() takes the file for this process and loads the latches; Unlock()
  // stores them when they changed (or were rebuilt) and lets the file go.
  DWORD Lock(TSimulatedPorts& ports);
  DWORD Unlock(const TSimulatedPorts& ports, bool changed);

  const std::string& Path() const { return Path_; }

 private:
  TSimulationFile(int fd, std::string path, std::ostream& messages)
      : Fd_(fd), Path_(std::move(path)), Messages_(messages) {}

  int Fd_;
  std::string Path_;
  std::ostream& Messages_;
  bool Rebuilt_ = false;
};

// A session's view of the shared bank: each batch runs on the latches as the
// file has them, and its writes reach the file before the lock is let go.
class TSharedSimulatedBank : public TPortBank {
 public:
  explicit TSharedSimulatedBank(std::unique_ptr<TSimulationFile> file) : File_(std::move(file)) {}

  // Registers are read and written only between these two, which the
  // request handling pairs: the batch holds the file's lock throughout.
  DWORD BeginBatch() override;
  DWORD EndBatch() override;
  DWORD Read(int slot, TRegister reg, BYTE& value) override;
  DWORD Write(int slot, TRegister reg, BYTE value) override;
  TPortQueryEntry Describe(int slot) const override { return View_.Describe(slot); }

 private:
  std::unique_ptr<TSimulationFile> File_;
  TSimulatedPorts Latches_;
  TSimulatedBank View_{Latches_};
  bool Changed_ = false;
};

}  // namespace lptwdmio
