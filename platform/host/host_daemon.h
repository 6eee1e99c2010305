// The host process's life for one device root.
//
// One host per device root: it holds an exclusive lock on run/host.lock for as long as it runs
// (the file holds the host's process id; ce::HostLock reads it from outside), listens on
// run/host.sock (mode 0600) and logs to run/host.log. The device-host program runs it (main.cpp);
// `device boot` starts that program detached, with no terminal and nobody's child, and reads
// BootAnswer from its ready pipe. SIGTERM, SIGINT and SIGHUP to the host end it like a Shutdown
// request: every device process is ended first.
#pragma once

#include "host_options.h"

#include <filesystem>
#include <string>

namespace ce::host {

class HostDaemon {
public:
  // Runs the host in this process until it is shut down. `readyFd` (may be -1) receives
  // BootAnswer::kReady once connections are accepted, kLockHeld when another host holds the
  // lock, or kFailed and a reason. Returns the process's exit code.
  static int serve(const std::filesystem::path &root, const HostOptions &options, int readyFd);
};

} // namespace ce::host
