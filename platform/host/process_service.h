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

#include "../src/protocol/process_messages.h"
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
  using Hello = protocol::HelloRequest;
  using StartProcess = protocol::StartProcessRequest;
  using ListProcesses = protocol::ListProcessesRequest;
  using QueryProcess = protocol::QueryProcessRequest;
  template <class Request> using Answer = protocol::Answer<protocol::ReplyOf<Request>>;

  Answer<Hello> hello(HostRequest &request, const Hello &hello);
  Answer<StartProcess> startProcess(HostRequest &request, const StartProcess &start);
  Answer<ListProcesses> listProcesses();
  Answer<QueryProcess> queryProcess(const QueryProcess &query);
  DWORD terminateProcess(HostRequest &request, const protocol::TerminateProcessRequest &end);
  DWORD processExiting(HostRequest &request, const protocol::ProcessExitingNotice &notice);
  DWORD shutdown(HostRequest &request);

  // Starts the executable; its pid, or nothing with *error set.
  std::optional<DWORD> spawn(const std::filesystem::path &hostPath,
                             const std::u16string &devicePath, const std::u16string &arguments,
                             DWORD show, DWORD *error);

  HostServer &server_;
  const std::filesystem::path root_;
};

} // namespace ce::host
