// The device's processes as the host knows them: those it started and those that joined by
// connecting. Pids are the host's process ids.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ce::host {

struct ProcessRecord {
  DWORD pid = 0;
  DWORD parentPid = 0;                    // the process that asked for the start; 0 when unknown
  std::u16string devicePath;              // \Program Files\Vireta\Vireta.exe, or a host path
  std::uint64_t startTimeMs = 0;          // wall clock, milliseconds since 1970
  bool startedByHost = false;             // a child of the host, reaped through its pidfd
  int pidfd = -1;                         // for children: readable once the process has ended
  int connections = 0;                    // open connections of the process
  std::optional<DWORD> requestedExitCode; // TerminateProcess's code, or the one the process
                                          // reported on its way out
  bool goneNotified = false;              // observers have heard of its end
  bool inHost = false;                    // its code runs in the host's process (the window
                                          // system, the shell, the services host): it lives and
                                          // ends with the host, and nobody may end it
};

class ProcessTable {
public:
  ~ProcessTable();

  ProcessRecord &add(ProcessRecord record);
  ProcessRecord *find(DWORD pid);
  const ProcessRecord *find(DWORD pid) const;
  // Removes the record and remembers its exit code for later GetExitCodeProcess calls.
  void remove(DWORD pid, DWORD exitCode);
  // Exit code of a process that has left the table (the last few hundred are kept).
  std::optional<DWORD> exitCodeOf(DWORD pid) const;

  std::vector<const ProcessRecord *> list() const;
  std::size_t size() const { return records_.size(); }

private:
  static constexpr std::size_t kRememberedExits = 256;
  std::map<DWORD, ProcessRecord> records_;
  std::vector<std::pair<DWORD, DWORD>> exits_; // oldest first
};

} // namespace ce::host
