#include "xserver.h"

#include <poll.h>
#include <unistd.h>

namespace pinlark::testsupport {

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

TXSession::TXSession(const std::string& screen, const std::vector<std::string>& tools) {
  for (const std::string& tool : tools) {
    if (!OnPath(tool)) {
      Problem_ = tool + " is missing: run scripts/setup.sh --test";
      return;
    }
  }
  Server_ = std::make_unique<TXvfb>(screen);
  if (Server_->DisplayName().empty()) {
    Problem_ = "Xvfb did not start";
    return;
  }
  X_ = std::make_unique<TXClient>(Server_->DisplayName());
  if (!X_->Connected()) Problem_ = "cannot open " + Server_->DisplayName();
}

TXSession::~TXSession() = default;

const std::string& TXSession::DisplayName() const {
  static const std::string none;
  return Server_ ? Server_->DisplayName() : none;
}

}  // namespace pinlark::testsupport
