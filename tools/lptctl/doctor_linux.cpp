#include "doctor_linux.h"

#include "emulation/module_image.h"
#include "port_text.h"
#include "ppdev_bank.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

namespace lptctl {

namespace {

namespace fs = std::filesystem;

constexpr const char* LoadPorts = "sudo modprobe parport_pc ppdev";

std::string EnvironmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

std::set<std::string> LoadedModules(const TLinuxSystem& system) {
  std::set<std::string> modules;
  std::ifstream in(system.ModulesFile);
  std::string line;
  while (std::getline(in, line)) modules.insert(line.substr(0, line.find(' ')));
  return modules;
}

bool HasModule(const TLinuxSystem& system, const std::set<std::string>& loaded, const std::string& name) {
  std::error_code error;
  return loaded.count(name) || fs::is_directory(fs::path(system.SysModuleDir) / name, error);
}

std::string ReadWord(const fs::path& file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  return word;
}

std::string GroupName(gid_t gid) {
  if (const group* entry = ::getgrgid(gid)) return entry->gr_name;
  return std::to_string(gid);
}

std::string UserNameOf(uid_t uid) {
  if (const passwd* entry = ::getpwuid(uid)) return entry->pw_name;
  return std::to_string(uid);
}

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
  return text;
}

bool Contains(const std::vector<gid_t>& groups, gid_t gid) {
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// Who has a node open, by the processes' descriptors (all of them as root,
// the user's own otherwise).
std::vector<std::string> Holders(const TLinuxSystem& system, const std::string& node) {
  static const std::set<std::string> Spoolers = {"cupsd", "lpd", "lpsched", "cups-lpd"};
  std::vector<std::string> holders;
  std::error_code error;
  for (const auto& process : fs::directory_iterator(system.ProcDir, error)) {
    const std::string pid = process.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
      std::error_code linkError;
      if (fs::read_symlink(fd.path(), linkError).string() != node) continue;
      const std::string name = ReadWord(process.path() / "comm");
      holders.push_back((Spoolers.count(name) ? "the print spooler " : "") + name + " (pid " + pid + ")");
      break;
    }
  }
  return holders;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text.empty() ? "none" : text;
}

TFinding CheckModules(const TLinuxSystem& system, bool kernelHasPorts, bool nodes) {
  const std::set<std::string> loaded = LoadedModules(system);
  std::vector<std::string> present, missing;
  for (const char* name : {"parport", "parport_pc", "ppdev", "lp"})
    (HasModule(system, loaded, name) ? present : missing).push_back(name);
  const std::string finding = "loaded: " + Joined(present) + "; not loaded: " + Joined(missing);
  if (!kernelHasPorts && !HasModule(system, loaded, "parport_pc"))
    return {TSeverity::Problem, "kernel modules", finding, LoadPorts};
  if (kernelHasPorts && !nodes && !HasModule(system, loaded, "ppdev"))
    return {TSeverity::Problem, "kernel modules", finding,
            "sudo modprobe ppdev (to load it at every start: echo ppdev | sudo tee "
            "/etc/modules-load.d/ppdev.conf)"};
  return {TSeverity::Ok, "kernel modules", finding, ""};
}

std::vector<TFinding> CheckPorts(const TLinuxSystem& system) {
  std::vector<TFinding> findings;
  std::error_code error;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(system.ParportDir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("parport", 0) == 0 && name.size() > 7) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) {
    findings.push_back(
        {TSeverity::Problem, "ports the kernel knows",
         "none: no parallel port was found, or parport_pc is not loaded",
         std::string(LoadPorts) + "; if it finds none, enable the port in the firmware setup"});
    return findings;
  }
  for (const std::string& name : names) {
    const fs::path dir = fs::path(system.ParportDir) / name;
    std::ifstream baseFile(dir / "base-addr");
    unsigned long base = 0;
    const std::string where = (baseFile >> base) ? " at " + BaseText(unsigned(base)) : " (base unknown)";
    const std::string active = ReadWord(dir / "devices" / "active");
    const std::string node = system.DevDir + "/" + name;
    if (active.empty() || active == "none") {
      findings.push_back({TSeverity::Ok, name, "known" + where + ", free"});
    } else if (active.rfind("lp", 0) == 0) {
      findings.push_back({TSeverity::Problem, name,
                          "known" + where + ", held by the printer driver lp (" + active + ")",
                          "stop printing to it, or unload the printer driver: sudo rmmod lp"});
    } else {
      const std::vector<std::string> holders = Holders(system, node);
      std::string who = holders.empty() ? "another program (" + active + ")" : holders.front();
      findings.push_back({TSeverity::Problem, name, "known" + where + ", held by " + who,
                          "close that program, then try again"});
    }
  }
  return findings;
}

std::vector<TFinding> CheckNodes(const TLinuxSystem& system) {
  std::vector<TFinding> findings;
  const std::vector<lptwdmio::TParportNode> nodes = lptwdmio::FindParports(system.DevDir, system.ParportDir);
  if (nodes.empty()) {
    findings.push_back(
        {TSeverity::Problem, "port nodes", "no " + system.DevDir + "/parport*", "sudo modprobe ppdev"});
    return findings;
  }
  std::set<gid_t> denyingGroups;
  for (const lptwdmio::TParportNode& node : nodes) {
    struct stat info {};
    if (::stat(node.Path.c_str(), &info) != 0) continue;
    const bool owner = info.st_uid == system.Uid;
    const bool member = Contains(system.Session, info.st_gid);
    const mode_t rw = owner ? S_IRUSR | S_IWUSR : member ? S_IRGRP | S_IWGRP : S_IROTH | S_IWOTH;
    const bool opens = system.Uid == 0 || (info.st_mode & rw) == rw;
    const std::string finding = UserNameOf(info.st_uid) + ":" + GroupName(info.st_gid) + " mode " +
                                Mode(info.st_mode) + (opens ? ", you can open it" : ", you cannot open it");
    if (!opens) denyingGroups.insert(info.st_gid);
    findings.push_back({opens ? TSeverity::Ok : TSeverity::Problem, node.Path, finding, ""});
  }
  if (system.Uid == 0) {
    findings.push_back({TSeverity::Ok, "group", "running as root: the nodes' permissions do not apply", ""});
    return findings;
  }
  struct stat first {};
  const gid_t gid = ::stat(nodes.front().Path.c_str(), &first) == 0 ? first.st_gid : 0;
  const std::string group = GroupName(gid);
  const std::string user = system.UserName;
  if (!Contains(system.MemberOf, gid))
    findings.push_back({TSeverity::Problem, "group " + group, user + " is not in group " + group,
                        "sudo usermod -aG " + group + " " + user + ", then log out and in again"});
  else if (!Contains(system.Session, gid))
    findings.push_back({TSeverity::Problem, "group " + group,
                        user + " is in group " + group + " but this login does not have it yet",
                        "log out and in again (or start a shell that has it: newgrp " + group + ")"});
  else
    findings.push_back(
        {TSeverity::Ok, "group " + group, user + " is in group " + group + ", and so is this login", ""});
  return findings;
}

}  // namespace

TLinuxSystem TLinuxSystem::Current() {
  TLinuxSystem system;
  system.DevDir = EnvironmentOr("LPTWDMIO_DEV_DIR", system.DevDir);
  system.ParportDir = EnvironmentOr("LPTWDMIO_PROC_DIR", system.ParportDir);
  system.Uid = ::geteuid();
  system.UserName = UserNameOf(system.Uid);
  const int count = ::getgroups(0, nullptr);
  system.Session.resize(count > 0 ? std::size_t(count) : 0);
  if (count > 0) system.Session.resize(std::size_t(::getgroups(count, system.Session.data())));
  system.Session.push_back(::getegid());
  if (const passwd* entry = ::getpwuid(system.Uid)) {
    int groups = 64;
    system.MemberOf.resize(std::size_t(groups));
    if (::getgrouplist(entry->pw_name, entry->pw_gid, system.MemberOf.data(), &groups) < 0) {
      system.MemberOf.resize(std::size_t(groups));
      ::getgrouplist(entry->pw_name, entry->pw_gid, system.MemberOf.data(), &groups);
    }
    system.MemberOf.resize(std::size_t(groups));
  }
  return system;
}

std::vector<TFinding> CheckLinuxSystem(const TLinuxSystem& system) {
  std::vector<TFinding> findings;
  const bool kernelHasPorts = lptwdmio::KernelHasParports(system.ParportDir);
  const bool nodes = !lptwdmio::FindParports(system.DevDir, system.ParportDir).empty();
  findings.push_back(CheckModules(system, kernelHasPorts, nodes));
  for (TFinding& finding : CheckPorts(system)) findings.push_back(std::move(finding));
  if (kernelHasPorts || nodes)
    for (TFinding& finding : CheckNodes(system)) findings.push_back(std::move(finding));
  return findings;
}

namespace {

// The check the service start makes, so that the doctor never calls a module
// whole that the start then refuses.
std::string ModuleImageProblem(const std::string& path) { return emulation::CheckModuleImage(path).Problem; }

}  // namespace

int Doctor(std::ostream& out, std::ostream&) {
  std::vector<TFinding> findings = CheckLinuxSystem(TLinuxSystem::Current());
  findings.push_back(CheckDriverFile(ModuleImageProblem));
  bool realUsable = false;
  for (TFinding& finding : CheckConnection(realUsable)) findings.push_back(std::move(finding));
  PrintFindings(findings, out);
  return realUsable ? 0 : 1;
}

}  // namespace lptctl
