// A handle to a device process: signalled when the process ends (through its pidfd, so a wait
// needs no host round trip).
#pragma once

#include "../protocol/unique_fd.h"

#include <ce/core/kernel_object.h>

namespace ce {

class ProcessHandle : public KernelObject {
public:
  // Opens the pidfd of `lifePid` (the process itself, or the host for a process whose code runs
  // in the host); a process that is already gone counts as ended.
  explicit ProcessHandle(DWORD pid, DWORD lifePid = 0);

  DWORD pid() const { return pid_; }
  bool ended() const;
  DWORD wait(DWORD milliseconds) override;

private:
  const DWORD pid_;
  protocol::UniqueFd pidfd_;
};

} // namespace ce
