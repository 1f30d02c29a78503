#include "xserver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace pinlark::testsupport {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
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
  if (!options.StdoutPath.empty())
    posix_spawn_file_actions_addopen(&actions, 1, options.StdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  if (!options.StderrPath.empty())
    posix_spawn_file_actions_addopen(&actions, 2, options.StderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  if (posix_spawnp(&Pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) Pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
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
  if (waitpid(Pid_, &status, WNOHANG) == Pid_)
    Status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return Status_.has_value();
}

std::optional<int> TChild::Wait(std::chrono::milliseconds limit) {
  WaitUntil([this] { return Exited(); }, limit);
  return Status_;
}

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pinlark-test-XXXXXX").string();
  if (mkdtemp(pattern.data())) Path_ = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  if (!Path_.empty()) std::filesystem::remove_all(Path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TXvfb::TXvfb(const std::string& screen) {
  int fds[2];
  if (pipe(fds) != 0) return;
  Server_ = std::make_unique<TChild>(
      std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                               "-nolisten", "tcp"},
      TChildOptions().WithStdout("/dev/null").WithStderr("/dev/null").Keeping(fds[1]));
  close(fds[1]);
  // Xvfb writes the number once it listens; end of file means it gave up.
  std::string number;
  char c;
  pollfd ready{fds[0], POLLIN, 0};
  while (poll(&ready, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) Name_ = ":" + number;
}

TXvfb::~TXvfb() = default;

}  // namespace pinlark::testsupport
