// The host's process requests: Hello (a process joins the device), Ping, StartProcess,
// ListProcesses, QueryProcess, TerminateProcess, ProcessExiting and Shutdown.
//
// Device paths: a process the host started has the device path it was started from; one that
// joined by connecting has the device path of its executable when that lies inside fs/, else
// its host path. The processes whose code runs inside the host are listed from the start, as on
// the device (kernel/process_identity.h): the host's own process as "\Windows\gwes.exe", and
// "\Windows\shell32.exe" and "\Windows\services.exe" under ids of their own. They cannot be
// terminated (ERROR_ACCESS_DENIED), and QueryProcess names the host's process as the one whose
// life stands for theirs.
//
// Programs are started with the host's environment plus CE_DEVICE (the device root),
// CE_DEVICE_PATH (their own device path), CE_COMMAND_LINE (the command line exactly as given,
// UTF-8), CE_SHOW_COMMAND (the show command) and CE_HOST_PID (the host's process id: a program
// ends when this process ends, see <ce/entry.h>), in the folder of their executable, with standard
// input from /dev/null and their output appended to the host's log. Only ELF executables inside fs/
// are started. The device's file system has no execute permission: a program file runs however it
// reached fs/ (the host sets the host's execute bit on it before the start).
#pragma once

#include "host_server.h"

#include <filesystem>

namespace ce::host {

class ProcessService {
public:
  ProcessService(HostServer &server, std::filesystem::path deviceRoot);

  // Ends every device process but the host's own: SIGTERM, then SIGKILL for those still there
  // after `graceMs`. Returns once they are gone (or after a last short wait).
  void endAll(int graceMs);

private:
  void hello(HostRequest &request);
  void startProcess(HostRequest &request);
  void listProcesses(HostRequest &request);
  void queryProcess(HostRequest &request);
  void terminateProcess(HostRequest &request);
  void processExiting(HostRequest &request);
  void shutdown(HostRequest &request);

  // Starts the executable; its pid, or nothing with *error set.
  std::optional<DWORD> spawn(const std::filesystem::path &hostPath,
                             const std::u16string &devicePath, const std::u16string &arguments,
                             DWORD show, DWORD *error);

  HostServer &server_;
  const std::filesystem::path root_;
};

} // namespace ce::host
