// lptctl doctor's Linux checks on made-up /proc, /sys and /dev trees.
#include "doctor_linux.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace lptctl;
namespace fs = std::filesystem;

namespace {

class DoctorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"proc", "sys/module", "parport", "dev"}) fs::create_directories(Root / dir);
    System.ModulesFile = (Root / "proc" / "modules").string();
    System.SysModuleDir = (Root / "sys" / "module").string();
    System.ParportDir = (Root / "parport").string();
    System.DevDir = (Root / "dev").string();
    System.ProcDir = (Root / "proc").string();
    System.UserName = "ada";
    System.Uid = 4242;  // owns none of the files
  }

  void Modules(const std::string& names) {
    std::ofstream out(System.ModulesFile);
    std::istringstream in(names);
    for (std::string name; in >> name;) out << name << " 16384 0 - Live 0x0000000000000000\n";
  }
  // A port the kernel knows, its holder, and (when node) its /dev node.
  void Port(const std::string& name, unsigned base, const std::string& active, bool node = true) {
    fs::create_directories(Root / "parport" / name / "devices");
    std::ofstream(Root / "parport" / name / "base-addr") << base << "\t0\n";
    std::ofstream(Root / "parport" / name / "devices" / "active") << active << "\n";
    if (!node) return;
    const fs::path path = Root / "dev" / name;
    std::ofstream(path) << "";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write);
  }
  // Sets the check, finding and fix of every finding apart by " | ".
  std::string Findings() {
    std::string text;
    for (const TFinding& finding : CheckLinuxSystem(System))
      text += std::string(finding.Severity == TSeverity::Ok ? "ok " : "FAIL ") + finding.Check + ": " +
              finding.Finding + (finding.Fix.empty() ? "" : " | fix: " + finding.Fix) + "\n";
    return text;
  }
  static void Has(const std::string& text, const std::string& line) {
    EXPECT_NE(text.find(line), std::string::npos) << "no '" << line << "' in:\n" << text;
  }

  pinlark::testsupport::TTempDir Root;
  TLinuxSystem System;
};

TEST_F(DoctorTest, NoPortAtAllAsksForTheModules) {
  const std::string text = Findings();
  Has(text,
      "FAIL kernel modules: loaded: none; not loaded: parport, parport_pc, ppdev, lp | fix: sudo modprobe "
      "parport_pc ppdev");
  Has(text, "FAIL ports the kernel knows: none");
}

TEST_F(DoctorTest, PortsWithoutNodesAskForPpdev) {
  Modules("parport_pc parport");
  Port("parport0", 0x378, "none", false);
  const std::string text = Findings();
  Has(text,
      "FAIL kernel modules: loaded: parport, parport_pc; not loaded: ppdev, lp | fix: sudo modprobe ppdev");
  Has(text, "ok parport0: known at 0x378, free");
  Has(text, "FAIL port nodes: no " + System.DevDir + "/parport*");
}

TEST_F(DoctorTest, SaysWhoHoldsEachPort) {
  Modules("parport_pc parport ppdev lp");
  Port("parport0", 0x378, "lp0");
  Port("parport1", 0x278, "ppdev0");
  Port("parport2", 0x3BC, "ppdev1");
  fs::create_directories(Root / "proc" / "812" / "fd");
  std::ofstream(Root / "proc" / "812" / "comm") << "cupsd\n";
  fs::create_symlink(System.DevDir + "/parport1", Root / "proc" / "812" / "fd" / "5");
  const std::string text = Findings();
  Has(text,
      "FAIL parport0: known at 0x378, held by the printer driver lp (lp0) | fix: stop printing to it, or "
      "unload the printer driver: sudo rmmod lp");
  Has(text, "FAIL parport1: known at 0x278, held by the print spooler cupsd (pid 812)");
  Has(text, "FAIL parport2: known at 0x3bc, held by another program (ppdev1)");
}

TEST_F(DoctorTest, ListsPortsInNumberOrder) {
  Modules("parport_pc parport ppdev");
  for (const char* name : {"parport10", "parport2", "parport1"}) Port(name, 0x378, "none");
  const std::string text = Findings();
  const auto at = [&text](const std::string& line) { return text.find(line); };
  EXPECT_LT(at("ok parport1: "), at("ok parport2: ")) << text;
  EXPECT_LT(at("ok parport2: "), at("ok parport10: ")) << text;
  EXPECT_NE(at("ok parport10: "), std::string::npos) << text;
}

TEST_F(DoctorTest, GroupMembershipAndThisLogin) {
  Modules("parport_pc parport ppdev");
  Port("parport0", 0x378, "none");
  const gid_t group = ::getegid();  // the nodes' group: they are this process's files
  struct TCase {
    const char* Name;
    std::vector<gid_t> MemberOf;
    std::vector<gid_t> Session;
    const char* Node;
    const char* Group;
  };
  const TCase cases[] = {
      {"not a member", {}, {}, "you cannot open it", "is not in group"},
      {"member, old login",
       {group},
       {},
       "you cannot open it",
       "but this login does not have it yet | fix: log out"},
      {"member, new login", {group}, {group}, "you can open it", "and so is this login"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    System.MemberOf = c.MemberOf;
    System.Session = c.Session;
    const std::string text = Findings();
    Has(text, c.Node);
    Has(text, c.Group);
  }
  System.MemberOf = System.Session = {};
  Has(Findings(), "| fix: sudo usermod -aG ");
}

}  // namespace
