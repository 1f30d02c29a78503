// POSIX side of interrupt.h: the handler sets a flag and wakes the sleeper
// through a pipe, the only things a signal handler may safely do.
#include "interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace lptctl {

namespace {

constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t Flag = 0;
int WakeRead = -1;
int WakeWrite = -1;
struct sigaction Previous[std::size(Signals)];

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
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
    WakeRead = wake[0];
    WakeWrite = wake[1];
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(Signals); ++i) ::sigaction(Signals[i], &action, &Previous[i]);
}

TInterrupt::~TInterrupt() {
  for (std::size_t i = 0; i < std::size(Signals); ++i) ::sigaction(Signals[i], &Previous[i], nullptr);
  if (WakeRead >= 0) ::close(WakeRead);
  if (WakeWrite >= 0) ::close(WakeWrite);
  WakeRead = WakeWrite = -1;
}

bool TInterrupt::Requested() const { return Flag != 0; }

bool TInterrupt::WaitUntil(TClock::time_point deadline) {
  while (!Flag) {
    const auto left = deadline - TClock::now();
    if (left <= TClock::duration::zero()) return false;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
    pollfd wake{WakeRead, POLLIN, 0};
    ::ppoll(&wake, WakeRead >= 0 ? 1 : 0, &timeout, nullptr);
  }
  return true;
}

}  // namespace lptctl
