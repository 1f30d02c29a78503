// Runs a command line through the shell and collects what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct TRun {
  std::string Output;
  std::string Errors;
  int ExitCode = -1;
};

// stderr goes to errorsFile and is read back from there.
inline TRun RunCommand(const std::string& command, const std::filesystem::path& errorsFile) {
  TRun run;
  FILE* pipe = ::popen((command + " 2>" + errorsFile.string()).c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
  const int status = ::pclose(pipe);
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ostringstream errors;
  errors << std::ifstream(errorsFile).rdbuf();
  run.Errors = errors.str();
  return run;
}
