// The lock that tells whether a device root has a host, seen from outside the host.
//
// A host holds an exclusive flock on run/host.lock for as long as it runs and writes its process
// id into the file; the kernel lets the lock go when the host's process ends, however it ends.
// Tools and programs look at the lock to learn whether a host runs, wait on the holder's pidfd
// for its end, and, for a host that no longer answers, kill the holder.
#pragma once

#include <ce/export.h>

#include <filesystem>

CE_EXPORT_BEGIN

namespace ce {

class HostLock {
public:
  // run/host.lock of the device root.
  static std::filesystem::path file(const std::filesystem::path &root);
  // A host holds the root's lock.
  static bool isHeld(const std::filesystem::path &root);
  // Waits until no host holds the lock; false after `timeoutMs`.
  static bool waitUntilReleased(const std::filesystem::path &root, int timeoutMs);
  // Kills the host that holds the lock (a host that does not answer), through a pidfd opened
  // for the pid the host wrote into its lock file and checked against the lock afterwards, so
  // that no other process is ever hit. True once no host holds the lock (within `timeoutMs`).
  static bool killHolder(const std::filesystem::path &root, int timeoutMs);
};

} // namespace ce
CE_EXPORT_END
