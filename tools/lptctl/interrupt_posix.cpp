// POSIX side of interrupt.h: the handler sets a flag and wakes the sleeper
// through a pipe, the only things a signal handler may safely do.
#include "interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lptctl {

namespace {

constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

volatile sig_atomic_t Flag = 0;
bool Gone = false;
bool WatchOutput = true;
int WakeRead = -1;
int WakeWrite = -1;
struct sigaction Previous[std::size(Signals)];
bool Installed[std::size(Signals)];

void OnSignal(int) {
  Flag = 1;
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(WakeWrite, &byte, 1);
  errno = saved;
}

}  // namespace

TInterrupt::TInterrupt() {
  Flag = 0;
  Gone = false;
  WatchOutput = true;
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
    WakeRead = wake[0];
    WakeWrite = wake[1];
  }
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  // A signal ignored when the program started (SIGHUP under nohup) stays
  // ignored; SIGPIPE is ignored so that a write to a closed pipe fails.
  for (std::size_t i = 0; i < std::size(Signals); ++i) {
    action.sa_handler = Signals[i] == SIGPIPE ? SIG_IGN : OnSignal;
    Installed[i] = ::sigaction(Signals[i], nullptr, &Previous[i]) == 0 && Previous[i].sa_handler != SIG_IGN &&
                   ::sigaction(Signals[i], &action, nullptr) == 0;
  }
}

TInterrupt::~TInterrupt() {
  for (std::size_t i = 0; i < std::size(Signals); ++i)
    if (Installed[i]) ::sigaction(Signals[i], &Previous[i], nullptr);
  if (WakeRead >= 0) ::close(WakeRead);
  if (WakeWrite >= 0) ::close(WakeWrite);
  WakeRead = WakeWrite = -1;
}

bool TInterrupt::Requested() const { return Flag != 0; }

bool TInterrupt::OutputGone() const { return Gone; }

// A pipe whose reader has gone polls as an error on its writing end, a
// terminal that hung up as a hang-up; a file never does either.
bool TInterrupt::WaitUntil(TClock::time_point deadline) {
  for (;;) {
    if (Flag || Gone) return true;
    const auto left = std::max(deadline - TClock::now(), TClock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
    pollfd watched[] = {{WakeRead, POLLIN, 0}, {WatchOutput ? STDOUT_FILENO : -1, 0, 0}};
    if (::ppoll(watched, std::size(watched), &timeout, nullptr) > 0) {
      if (watched[1].revents & POLLNVAL)
        WatchOutput = false;  // no standard output at all
      else if (watched[1].revents & (POLLERR | POLLHUP))
        Gone = true;
    }
    if (Flag || Gone) return true;
    if (left == TClock::duration::zero()) return false;
  }
}

}  // namespace lptctl
