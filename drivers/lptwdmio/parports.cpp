#include "parports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace lptwdmio {

namespace fs = std::filesystem;

namespace {

std::optional<int> ParportNumber(const std::string& name) {
  const std::string prefix = "parport";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const std::string digits = name.substr(prefix.size());
  if (digits.size() > 6 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoi(digits);
}

// base-addr holds "base base_hi" in decimal.
std::optional<unsigned> ReadBaseAddress(const fs::path& file) {
  std::ifstream in(file);
  unsigned long base = 0;
  if (!(in >> base) || base > 0xFFFF) return std::nullopt;
  return static_cast<unsigned>(base);
}

// irq holds the line's number, or -1 when the kernel serves the port without one.
bool ReadHasIrq(const fs::path& file) {
  std::ifstream in(file);
  int irq = -1;
  return (in >> irq) && irq >= 0;
}

// The parportN entries of dir, each as make(number, entry), in number order.
template <typename T, typename F>
std::vector<T> ScanParports(const std::string& dir, F make) {
  std::vector<T> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error))
    if (const std::optional<int> number = ParportNumber(entry.path().filename().string()))
      found.push_back(make(*number, entry.path()));
  std::sort(found.begin(), found.end(), [](const T& a, const T& b) { return a.Number < b.Number; });
  return found;
}

}  // namespace

std::vector<TKernelParport> KernelParports(const std::string& procDir) {
  return ScanParports<TKernelParport>(procDir, [](int number, const fs::path& dir) {
    return TKernelParport{number, dir.filename().string(), ReadBaseAddress(dir / "base-addr"),
                          (dir / "devices" / "active").string()};
  });
}

std::vector<TParportNode> FindParports(const std::string& devDir, const std::string& procDir) {
  return ScanParports<TParportNode>(devDir, [&procDir](int number, const fs::path& node) {
    const fs::path kernel = fs::path(procDir) / node.filename();
    return TParportNode{number, node.string(), ReadBaseAddress(kernel / "base-addr"),
                        (kernel / "devices" / "active").string(), ReadHasIrq(kernel / "irq")};
  });
}

bool KernelHasParports(const std::string& procDir) { return !KernelParports(procDir).empty(); }

std::string ReadActive(const std::string& activeFile) {
  std::ifstream in(activeFile);
  std::string active;
  in >> active;
  return active;
}

bool ReadInUse(const std::string& activeFile) {
  const std::string active = ReadActive(activeFile);
  return !active.empty() && active != "none";
}

std::vector<uint32_t> ProcessesHolding(const std::string& processDir, const std::string& node) {
  std::vector<uint32_t> holders;
  std::error_code error;
  for (fs::directory_iterator process(processDir, error), end; !error && process != end;
       process.increment(error)) {
    const std::string name = process->path().filename().string();
    if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::error_code unreadable;
    for (fs::directory_iterator fd(process->path() / "fd", unreadable); !unreadable && fd != end;
         fd.increment(unreadable)) {
      std::error_code gone;
      if (fs::read_symlink(fd->path(), gone) != node) continue;
      holders.push_back(uint32_t(std::stoul(name)));
      break;
    }
  }
  return holders;
}

}  // namespace lptwdmio
