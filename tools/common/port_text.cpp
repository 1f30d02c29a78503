#include "port_text.h"

#include <cstdio>
#include <fstream>

#include "winapi.h"

namespace {

struct TErrorAdvice {
  DWORD Code;
  const char* Before;  // the program's name goes between the two halves
  const char* After;
};

constexpr TErrorAdvice ErrorAdvice[] = {
    {ERROR_FILE_NOT_FOUND, "the driver module LPTWDMIO.SYS beside ",
     " is missing or did not start, or the port has no device node (on Linux: sudo modprobe ppdev)"},
    {ERROR_ACCESS_DENIED,
     "no permission to open the port: on Linux join group lp (sudo usermod -aG lp $USER, then log in "
     "again); on Windows run as administrator",
     nullptr},
    {ERROR_BUSY, "another program holds the port: close that program, or let it finish, and try again",
     nullptr},
    {ERROR_OPERATION_ABORTED, "the wait for the port was interrupted", nullptr},
    {ERROR_BAD_EXE_FORMAT, "the driver module LPTWDMIO.SYS is damaged: build or install it again", nullptr},
};

}  // namespace

std::string ConnectionAdvice(DWORD code, const std::string& program) {
  for (const TErrorAdvice& advice : ErrorAdvice)
    if (advice.Code == code) return advice.After ? advice.Before + program + advice.After : advice.Before;
  return "";
}

std::string BaseText(unsigned base) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%03x", base);
  return text;
}

std::string PortKindText(const TLptPortReport& report) {
  if (!report.Present) return "";
  if (report.Simulated) return " simulated";
  std::string text = report.Base ? " base=" + BaseText(report.Base) : "";
  if (report.SystemNumber) text += " windows=LPT" + std::to_string(report.SystemNumber);
  return text;
}

// Where the system keeps it (Linux); elsewhere nothing is known.
std::string ProcessName(DWORD pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

std::string HolderText(const TLptPortReport& report) {
  if (!report.Holder) return "held by another program";
  const std::string name = ProcessName(report.Holder);
  return "held by pid " + std::to_string(report.Holder) + (name.empty() ? "" : " (" + name + ")");
}
