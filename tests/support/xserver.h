// Child processes and a private X server for the tests that drive real programs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
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
  int KeepFd = -1;                       // stays open in the child
  std::vector<std::string> Environment;  // "NAME=value", over what the child inherits

  TChildOptions& WithDisplay(std::string name) { return Display = std::move(name), *this; }
  TChildOptions& WithStdout(std::string path) { return StdoutPath = std::move(path), *this; }
  TChildOptions& WithStderr(std::string path) { return StderrPath = std::move(path), *this; }
  TChildOptions& Keeping(int fd) { return KeepFd = fd, *this; }
  TChildOptions& WithEnv(std::string assignment) {
    return Environment.push_back(std::move(assignment)), *this;
  }
};

// A child process, ended (SIGTERM, then SIGKILL) and reaped when the object goes.
class TChild {
 public:
  TChild(const std::vector<std::string>& argv, const TChildOptions& options = {});
  ~TChild();
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return Pid_ > 0; }
  pid_t Pid() const { return Pid_; }
  bool Exited();
  // The exit code (128 + signal when killed), or nothing when it has not
  // ended within `limit`.
  std::optional<int> Wait(std::chrono::milliseconds limit);

 private:
  pid_t Pid_ = -1;
  std::optional<int> Status_;
};

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  // Empty when the folder could not be made.
  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
};

// Whole contents of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// An Xvfb of our own. It picks its display number itself (-displayfd), so
// tests running side by side never share or kill each other's server.
class TXvfb {
 public:
  explicit TXvfb(const std::string& screen);
  ~TXvfb();
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;

  // ":N", or empty when the server did not come up.
  const std::string& DisplayName() const { return Name_; }

 private:
  std::unique_ptr<TChild> Server_;
  std::string Name_;
};

}  // namespace pinlark::testsupport
