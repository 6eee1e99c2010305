// device-host: the host of one device root, started by `device boot`.
#include "boot_answer.h"
#include "boot_check.h"
#include "host_command_line.h"
#include "host_daemon.h"

#include <ce/host/host_lock.h>

#include <fcntl.h>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Tells the starter why the host does not run: on the ready pipe when there is one, else on the
// standard error.
void answer(int readyFd, char letter, const std::string &reason) {
  if (readyFd >= 0) {
    const std::string text = letter + reason;
    [[maybe_unused]] const auto written = ::write(readyFd, text.data(), text.size());
    ::close(readyFd);
  } else {
    std::cerr << "device-host: " << reason << "\n";
  }
}

} // namespace

int main(int argc, char **argv) {
  using namespace ce::host;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << HostCommandLine::usage();
    return 0;
  }
  std::string error;
  const auto line = HostCommandLine::parse(args, &error);
  if (!line) {
    std::cerr << "device-host: " << error << "\n\n" << HostCommandLine::usage();
    return 2;
  }
  const int readyFd = line->readyFd;
  // The pipe is the starter's alone: programs the host starts must not hold it open.
  if (readyFd >= 0 && ::fcntl(readyFd, F_SETFD, FD_CLOEXEC) != 0) {
    std::cerr << "device-host: --ready-fd " << readyFd << " is not an open descriptor\n";
    return 2;
  }
  std::error_code ec;
  const auto root = std::filesystem::absolute(line->root, ec).lexically_normal();
  if (ec) {
    answer(readyFd, BootAnswer::kFailed, "cannot use " + line->root.string() + ": " + ec.message());
    return 1;
  }
  // A device whose profile or registry is damaged is refused before anything starts.
  if (auto problem = BootCheck::problem(root)) {
    answer(readyFd, BootAnswer::kRefused, *problem);
    return 2;
  }
  // Started by hand on a device that runs: say so (a starter with a pipe gets kLockHeld).
  if (readyFd < 0 && ce::HostLock::isHeld(root)) {
    std::cerr << "device-host: another host runs for " << root.string() << "\n";
    return 1;
  }
  // Detached threads (the signal thread, the services' own threads) may still run when the host
  // has stopped: the process ends without running static destructors under them.
  std::cout.flush();
  ::_exit(HostDaemon::serve(root, line->options, readyFd));
}
