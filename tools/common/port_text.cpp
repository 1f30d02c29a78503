#include "port_text.h"

#include <cstdio>

#include "process_info.h"
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

std::string FolderNameAdvice(const std::string& program) {
  return "the name of the folder " + program +
         " lies in cannot be passed to the service manager: it has characters outside the system's ANSI "
         "code page and no short (8.3) name. Move the folder to a plain path such as C:\\Pinlark, or turn "
         "8.3 names on (as administrator: fsutil 8dot3name set 0) and copy the folder anew";
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

std::string HolderText(const TLptPortReport& report) {
  if (!report.Holder) return "held by another program";
  const std::string name = platform::ProcessName(report.Holder);
  return "held by pid " + std::to_string(report.Holder) + (name.empty() ? "" : " (" + name + ")");
}

std::string PortLine(const std::string& name, const TPortLook& look) {
  switch (look.State) {
    case TPortLook::Absent: return name + " absent";
    case TPortLook::Held: return name + ' ' + HolderText(look.Report) + PortKindText(look.Report);
    case TPortLook::Failed: return name + " present error " + std::to_string(look.Error);
    case TPortLook::Read: break;
  }
  char registers[48];
  std::snprintf(registers, sizeof registers, " present data=%02X status=%02X control=%02X", look.Data,
                look.Status, look.Control);
  return name + registers + PortKindText(look.Report);
}
