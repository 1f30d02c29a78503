#include "port_text.h"

#include <cstdio>

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
    {ERROR_BUSY, "another program holds the port: close that program and try again", nullptr},
    {ERROR_BAD_EXE_FORMAT, "the driver module LPTWDMIO.SYS is damaged: build or install it again", nullptr},
};

}  // namespace

std::string ConnectionAdvice(DWORD code, const std::string& program) {
  for (const TErrorAdvice& advice : ErrorAdvice)
    if (advice.Code == code) return advice.After ? advice.Before + program + advice.After : advice.Before;
  return "";
}

std::string ConnectionAdvice(const TLptPortConnection& connection, DWORD code, const std::string& program) {
  return connection.DriverFolderNotAnsi() ? FolderNameAdvice(program) : ConnectionAdvice(code, program);
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
  return report.Base ? " base=" + BaseText(report.Base) : "";
}
