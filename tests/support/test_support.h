// What every suite needs around the code under test: child processes, run to
// their end or ended by us, private folders, files read whole and bounded
// waits on conditions. No X11 here; the X helpers build on it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pinlark::testsupport {

// Polls `done` until it holds or `limit` passes; the limit bounds a busy
// machine, it is not a speed check.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

bool OnPath(const std::string& tool);

struct TChildOptions {
  std::string Display;                   // DISPLAY for the child; empty leaves it unset
  std::string StdoutPath;                // empty inherits ours
  std::string StderrPath;                // empty inherits ours
  int StdoutFd = -1;                     // becomes the child's stdout, over StdoutPath
  int StderrFd = -1;                     // becomes the child's stderr, over StderrPath
  int KeepFd = -1;                       // stays open in the child
  std::vector<std::string> Environment;  // "NAME=value", over what the child inherits

  TChildOptions& WithDisplay(std::string name) { return Display = std::move(name), *this; }
  TChildOptions& WithStdout(std::string path) { return StdoutPath = std::move(path), *this; }
  TChildOptions& WithStderr(std::string path) { return StderrPath = std::move(path), *this; }
  TChildOptions& WithStdoutFd(int fd) { return StdoutFd = fd, *this; }
  TChildOptions& WithStderrFd(int fd) { return StderrFd = fd, *this; }
  TChildOptions& Keeping(int fd) { return KeepFd = fd, *this; }
  TChildOptions& WithEnv(std::string assignment) {
    return Environment.push_back(std::move(assignment)), *this;
  }
};

// A child process, ended (SIGTERM, then SIGKILL) and reaped when the object goes.
class TChild {
 public:
  // A program, found on PATH when argv[0] has no slash.
  TChild(const std::vector<std::string>& argv, const TChildOptions& options = {});
  // A copy of this process that runs `body` and exits with what it returns:
  // for code that must run in a process of its own.
  explicit TChild(const std::function<int()>& body);
  ~TChild();
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return Pid_ > 0; }
  pid_t Pid() const { return Pid_; }
  bool Exited();
  // The exit code (128 + signal when killed), or nothing when it has not
  // ended within `limit`.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // Sends `signal`, then waits as Wait does.
  std::optional<int> Stop(int signal, std::chrono::milliseconds limit);
  // The signal that killed it; 0 while it runs or when it exited.
  int KilledBy() const { return KilledBy_; }

 private:
  pid_t Pid_ = -1;
  std::optional<int> Status_;
  int KilledBy_ = 0;
};

struct TRun {
  std::string Output;
  std::string Errors;
  int ExitCode = -1;  // -1 when killed or still running at the limit
  int Signal = 0;
};

// Runs a command line through the shell, as popen does, and collects what it
// printed on stdout and stderr, its exit code and, when it died of one, the
// signal. A command still running at `limit` is ended and says so in Errors.
TRun RunCommand(const std::string& command, std::chrono::milliseconds limit = std::chrono::seconds(60));

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. Throws when it cannot be made.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return Path_; }
  std::filesystem::path operator/(const std::string& name) const {
    return std::filesystem::path(Path_) / name;
  }

 private:
  std::string Path_;
};

// Whole contents of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace pinlark::testsupport
