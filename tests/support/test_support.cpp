#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace pinlark::testsupport {

using namespace std::chrono_literals;

// Looks again soon at first, then every 50 ms: a child that ends at once
// costs its caller no more than a millisecond or two.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  std::chrono::milliseconds pause(1);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  return done();
}

bool OnPath(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

TChild::TChild(const std::vector<std::string>& argv, const TChildOptions& options) {
  std::vector<std::string> set = options.Environment;
  if (!options.Display.empty()) set.push_back("DISPLAY=" + options.Display);
  const auto overridden = [&](const std::string& entry) {
    if (entry.rfind("DISPLAY=", 0) == 0) return true;
    for (const std::string& s : set)
      if (entry.compare(0, s.find('=') + 1, s, 0, s.find('=') + 1) == 0) return true;
    return false;
  };
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!overridden(*e)) env.emplace_back(*e);
  env.insert(env.end(), set.begin(), set.end());
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.KeepFd >= 0) posix_spawn_file_actions_adddup2(&actions, options.KeepFd, options.KeepFd);
  const auto redirect = [&](int target, int fd, const std::string& path) {
    if (fd >= 0)
      posix_spawn_file_actions_adddup2(&actions, fd, target);
    else if (!path.empty())
      posix_spawn_file_actions_addopen(&actions, target, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  };
  redirect(1, options.StdoutFd, options.StdoutPath);
  redirect(2, options.StderrFd, options.StderrPath);
  // A program starts as from a shell, with no signal held: a suite that holds
  // the termination signals for a hook must not pass that on.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  if (posix_spawnp(&Pid_, args[0], &actions, &attributes, args.data(), envp.data()) != 0) Pid_ = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
}

TChild::TChild(const std::function<int()>& body) {
  Pid_ = ::fork();
  if (Pid_ == 0) ::_exit(body());
}

TChild::~TChild() {
  if (Pid_ <= 0 || Exited()) return;
  kill(Pid_, SIGTERM);
  if (!Wait(5s)) {
    kill(Pid_, SIGKILL);
    Wait(5s);
  }
}

bool TChild::Exited() {
  if (Status_) return true;
  if (Pid_ <= 0) return false;
  int status = 0;
  if (waitpid(Pid_, &status, WNOHANG) == Pid_) {
    KilledBy_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    Status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + KilledBy_;
  }
  return Status_.has_value();
}

std::optional<int> TChild::Wait(std::chrono::milliseconds limit) {
  WaitUntil([this] { return Exited(); }, limit);
  return Status_;
}

std::optional<int> TChild::Stop(int signal, std::chrono::milliseconds limit) {
  if (Started() && !Exited()) kill(Pid_, signal);
  return Wait(limit);
}

namespace {

// Both ends closed on exec: only the child's dup2 copy survives it, so
// commands run side by side never hold each other's pipes open.
struct TPipe {
  int Read = -1, Write = -1;
  TPipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) Read = fds[0], Write = fds[1];
  }
  ~TPipe() {
    CloseWrite();
    if (Read >= 0) ::close(Read);
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  void CloseWrite() {
    if (Write >= 0) ::close(Write);
    Write = -1;
  }
};

// Reads both pipes until each reports its end or `end` comes.
void Collect(TPipe& out, TPipe& err, std::string& output, std::string& errors,
             std::chrono::steady_clock::time_point end) {
  pollfd fds[2] = {{out.Read, POLLIN, 0}, {err.Read, POLLIN, 0}};
  std::string* texts[2] = {&output, &errors};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(fds, 2, int(left.count())) <= 0) return;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0)
        texts[i]->append(buffer, std::size_t(got));
      else if (got == 0 || errno != EINTR)
        fds[i].fd = -1;
    }
  }
}

}  // namespace

TRun RunCommand(const std::string& command, std::chrono::milliseconds limit) {
  TRun run;
  const auto end = std::chrono::steady_clock::now() + limit;
  TPipe out, err;
  if (out.Read < 0 || err.Read < 0) return run;
  TChild shell({"/bin/sh", "-c", command}, TChildOptions().WithStdoutFd(out.Write).WithStderrFd(err.Write));
  out.CloseWrite();
  err.CloseWrite();
  if (!shell.Started()) return run;
  Collect(out, err, run.Output, run.Errors, end);
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
  const std::optional<int> code = shell.Wait(std::max(left, std::chrono::milliseconds(0)));
  if (!code) {
    run.Errors += "(the command was still running after " + std::to_string(limit.count()) + " ms)\n";
    return run;
  }
  if (shell.KilledBy()) {
    run.Signal = shell.KilledBy();
    return run;
  }
  run.ExitCode = *code;
  // The shell reports a child killed by a signal as 128 + the signal.
  if (*code > 128) run.Signal = *code - 128;
  return run;
}

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pinlark-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::system_error(errno, std::generic_category(), "cannot make a folder like " + pattern);
  Path_ = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Path_, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace pinlark::testsupport
