#include "host_launcher.h"

#include "../../host/boot_answer.h"

#include <ce/host/host_lock.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace ce::tool {
namespace {

namespace fs = std::filesystem;

// The descriptor the host's ready pipe has in the host.
constexpr int kReadyFd = 3;

void writeAll(int fd, std::string_view text) {
  [[maybe_unused]] const auto written = ::write(fd, text.data(), text.size());
}

// Reads until the host closes its end.
std::string readAll(int fd) {
  std::string text;
  char buffer[256];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR)
      continue;
    return text;
  }
}

// In the forked child: becomes the host, detached. Only async-signal-safe calls from here on (the
// tool may have threads), everything else was prepared before the fork.
[[noreturn]] void becomeHost(int readyWrite, const char *path, char *const *argv,
                             const std::string &cannotStart) {
  ::setsid();
  const pid_t second = ::fork();
  if (second != 0)
    ::_exit(second < 0 ? 1 : 0);
  // A daemon keeps none of its starter's descriptors (a starter waiting for its own output pipes
  // to close would wait for the host's whole life): only the ready pipe, at kReadyFd, moved there
  // before the standard descriptors are pointed at /dev/null (it may have been one of them).
  if (readyWrite != kReadyFd)
    ::dup2(readyWrite, kReadyFd);
  else
    ::fcntl(kReadyFd, F_SETFD, 0);
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (null > 2) // never kReadyFd, which is open by now
      ::close(null);
  }
  ::close_range(kReadyFd + 1, ~0u, 0);
  [[maybe_unused]] const int changed = ::chdir("/");
  ::execve(path, argv, environ);
  const char *why = ::strerrordesc_np(errno); // a constant text, unlike strerror's
  writeAll(kReadyFd, cannotStart);
  writeAll(kReadyFd, why ? why : "unknown error");
  ::_exit(127);
}

} // namespace

fs::path HostLauncher::program() {
  if (const char *given = std::getenv("CE_DEVICE_HOST"); given && *given)
    return given;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return (ec ? fs::path("device-host") : self.parent_path() / "device-host");
}

HostLauncher::BootResult HostLauncher::boot(const fs::path &root, const host::HostOptions &options,
                                            std::string *message) {
  std::error_code error;
  fs::create_directories(root / "run", error);
  if (error) {
    *message = "cannot create " + (root / "run").string() + ": " + error.message();
    return BootResult::Failed;
  }
  ::chmod((root / "run").c_str(), 0700);
  if (HostLock::isHeld(root))
    return BootResult::AlreadyRunning;
  const fs::path host = program();
  if (::access(host.c_str(), X_OK) != 0) {
    *message = "cannot start the host program " + host.string() + ": " + std::strerror(errno);
    return BootResult::Failed;
  }

  std::vector<std::string> words = {host.string(), "--ready-fd", std::to_string(kReadyFd)};
  if (options.window)
    words.push_back("--window");
  words.insert(words.end(), {"--zoom", std::to_string(options.zoom), "--", fs::absolute(root)});
  std::vector<char *> argv;
  for (auto &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string cannotStart = std::string(1, host::BootAnswer::kFailed) +
                                  "cannot start the host program " + host.string() + ": ";

  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    *message = std::string("cannot make a pipe: ") + std::strerror(errno);
    return BootResult::Failed;
  }
  const pid_t first = ::fork();
  if (first < 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    *message = std::string("cannot fork: ") + std::strerror(errno);
    return BootResult::Failed;
  }
  if (first == 0)
    becomeHost(ready[1], words[0].c_str(), argv.data(), cannotStart);
  ::close(ready[1]);
  int status = 0;
  while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string answer = readAll(ready[0]);
  ::close(ready[0]);
  if (answer.empty()) {
    *message = "the host ended before it was ready";
    return BootResult::Failed;
  }
  switch (answer[0]) {
  case host::BootAnswer::kReady:
    return BootResult::Started;
  case host::BootAnswer::kLockHeld:
    return BootResult::AlreadyRunning;
  case host::BootAnswer::kRefused:
    *message = answer.substr(1);
    return BootResult::Refused;
  default:
    *message = answer.size() > 1 ? answer.substr(1) : "the host ended before it was ready";
    return BootResult::Failed;
  }
}

} // namespace ce::tool
