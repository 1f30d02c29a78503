// What lptctl doctor looks at on Linux, and where; tests hand it made-up trees.
#pragma once

#include "doctor.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace lptctl {

struct TLinuxSystem {
  std::string ModulesFile = "/proc/modules";
  std::string SysModuleDir = "/sys/module";          // built-in drivers show here too
  std::string ParportDir = "/proc/sys/dev/parport";  // LPTWDMIO_PROC_DIR, as the driver module reads it
  std::string DevDir = "/dev";                       // LPTWDMIO_DEV_DIR
  std::string ProcDir = "/proc";                     // the processes that hold port nodes
  std::string UserName;
  uid_t Uid = 0;
  std::vector<gid_t> MemberOf;  // the user's groups as the group database has them
  std::vector<gid_t> Session;   // the groups this login carries

  // This machine, with the driver module's own overrides of DevDir and ParportDir.
  static TLinuxSystem Current();
};

// Kernel modules, the ports the kernel knows and who holds them, the port
// nodes and whether this user can open them.
std::vector<TFinding> CheckLinuxSystem(const TLinuxSystem& system);

}  // namespace lptctl
