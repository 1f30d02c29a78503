#include <poll.h>
#include <unistd.h>

#include <climits>
#include <fstream>

#include "process_info.h"

namespace platform {

std::string ExecutablePath() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

std::string ProcessName(unsigned long pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// A pipe whose reader has gone polls as an error on its writing end, a
// terminal that hung up as a hang-up; a file never does either.
bool StandardOutputGone() {
  pollfd output{STDOUT_FILENO, 0, 0};
  return ::poll(&output, 1, 0) > 0 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

}  // namespace platform
