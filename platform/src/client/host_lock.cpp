#include <ce/host/host_lock.h>

#include "../kernel/poll_deadline.h"
#include "../protocol/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace ce {
namespace {

namespace fs = std::filesystem;

// The pid the host wrote into its lock file, 0 when there is none.
pid_t lockHolder(const fs::path &root) {
  std::ifstream in(HostLock::file(root));
  long value = 0;
  return in >> value && value > 0 ? static_cast<pid_t>(value) : 0;
}

// A pidfd for the host that holds the lock, or none: the pidfd names whatever process had the pid
// when it was opened; the host wrote the pid before, and still holds the lock after, so a pid read
// again unchanged while the lock is held names the host.
protocol::UniqueFd hostPidfd(const fs::path &root) {
  const pid_t pid = lockHolder(root);
  if (pid <= 0)
    return protocol::UniqueFd();
  protocol::UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (!pidfd || !HostLock::isHeld(root) || lockHolder(root) != pid)
    return protocol::UniqueFd();
  return pidfd;
}

} // namespace

fs::path HostLock::file(const fs::path &root) { return root / "run" / "host.lock"; }

bool HostLock::isHeld(const fs::path &root) {
  const int fd = ::open(file(root).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

bool HostLock::waitUntilReleased(const fs::path &root, int timeoutMs) {
  if (!isHeld(root))
    return true;
  // The kernel releases the lock when the host's process ends: wait for that end itself.
  if (const protocol::UniqueFd pidfd = hostPidfd(root)) {
    const auto deadline = PollDeadline::in(timeoutMs);
    for (;;) {
      const auto timeout = deadline.pollTimeout();
      pollfd ended{pidfd.get(), POLLIN, 0};
      const int ready = ::poll(&ended, 1, timeout.value_or(0));
      if (ready >= 0 || errno != EINTR || !timeout)
        break;
    }
    return !isHeld(root);
  }
  // No pidfd (a lock file without a readable pid): look at the lock a few times a second.
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (!isHeld(root))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return !isHeld(root);
}

bool HostLock::killHolder(const fs::path &root, int timeoutMs) {
  const protocol::UniqueFd pidfd = hostPidfd(root);
  if (!pidfd)
    return waitUntilReleased(root, lockHolder(root) > 0 ? timeoutMs : 0);
  ::syscall(SYS_pidfd_send_signal, pidfd.get(), SIGKILL, nullptr, 0);
  return waitUntilReleased(root, timeoutMs);
}

} // namespace ce
