// The parallel ports the kernel knows and their ppdev nodes, as
// /proc/sys/dev/parport and /dev show them: read by the driver module and by
// lptctl doctor alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lptwdmio {

// A port the kernel knows: procDir's parportN entry.
struct TKernelParport {
  int Number = 0;
  std::string Name;                     // parportN
  std::optional<unsigned> BaseAddress;  // from base-addr, none when unreadable
  std::string ActiveFile;               // devices/active, which names who has claimed it
};

struct TParportNode {
  int Number = 0;
  std::string Path;                     // /dev/parportN
  std::optional<unsigned> BaseAddress;  // from /proc/sys/dev/parport/parportN/base-addr
  std::string ActiveFile;               // its devices/active, which names who has claimed it
  bool Interrupt = false;               // its irq names a line the kernel serves it on
};

// The ports of procDir in number order (parport2 before parport10).
std::vector<TKernelParport> KernelParports(const std::string& procDir);

// The parportN nodes of devDir in number order, each with the base address
// procDir reports for it (none when unreadable).
std::vector<TParportNode> FindParports(const std::string& devDir, const std::string& procDir);

// Whether the kernel knows any parallel port: procDir holds a parportN entry,
// whether or not ppdev made a node for it.
bool KernelHasParports(const std::string& procDir);

// The word of a devices/active file: who has claimed the port, "none" when
// free, empty when unreadable.
std::string ReadActive(const std::string& activeFile);

// Whether a devices/active file names a holder; false when it says "none"
// or cannot be read.
bool ReadInUse(const std::string& activeFile);

// The processes under processDir (/proc) that have node open, those this
// process may look into.
std::vector<uint32_t> ProcessesHolding(const std::string& processDir, const std::string& node);

}  // namespace lptwdmio
