// Runs a command line through the shell and collects what it printed, its
// exit code and, when it died of one, the signal.
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
  int Signal = 0;
};

// stderr goes to errorsFile and is read back from there.
inline TRun RunCommand(const std::string& command, const std::filesystem::path& errorsFile) {
  TRun run;
  FILE* pipe = ::popen((command + " 2>" + errorsFile.string()).c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
  // The shell reports a child killed by a signal as 128 + the signal.
  if (WIFEXITED(status) && WEXITSTATUS(status) > 128) run.Signal = WEXITSTATUS(status) - 128;
  if (WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
  std::ostringstream errors;
  errors << std::ifstream(errorsFile).rdbuf();
  run.Errors = errors.str();
  return run;
}
