// Booting the host for a device root, and the host process's life.
//
// One host per device root: it holds an exclusive lock on run/host.lock for as long as it runs
// (the file holds the host's process id),
// listens on run/host.sock (mode 0600) and logs to run/host.log. Booting forks twice (the host is
// nobody's child and has no terminal) and returns once the host accepts connections, or with the
// reason it could not start. A device whose device.conf or registry.db is damaged is refused
// before anything starts (BootCheck). SIGTERM, SIGINT and SIGHUP to the host end it like a Shutdown
// request: every device process is ended first.
#pragma once

#include "host_options.h"

#include <filesystem>
#include <string>

namespace ce::host {

class HostDaemon {
public:
  enum class BootResult { Started, AlreadyRunning, Refused, Failed };

  static BootResult boot(const std::filesystem::path &root, const HostOptions &options,
                         std::string *message);
  // A host holds the root's lock.
  static bool isRunning(const std::filesystem::path &root);
  // Waits until no host holds the lock; false after `timeoutMs`.
  static bool waitUntilStopped(const std::filesystem::path &root, int timeoutMs);
  // Kills the host that holds the lock (a host that does not answer), through a pidfd opened
  // for the pid the host wrote into its lock file and checked against the lock afterwards, so
  // that no other process is ever hit. True once no host holds the lock (within `timeoutMs`).
  static bool forceStop(const std::filesystem::path &root, int timeoutMs);

  // Runs the host in this process until it is shut down. `readyFd` (may be -1) receives "R" once
  // connections are accepted, "A" when another host holds the lock, or "F" and a reason. Returns
  // the process's exit code.
  static int serve(const std::filesystem::path &root, const HostOptions &options, int readyFd);
};

} // namespace ce::host
