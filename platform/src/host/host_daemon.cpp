#include "host_daemon.h"

#include "../client/host_connection.h"
#include "../controls/input_panel_window.h"
#include "../controls/menu_bar_server.h"
#include "../protocol/packet_socket.h"
#include "../shell/shell_windows.h"
#include "../windowing/host_ui_thread.h"
#include "boot_check.h"
#include "device_sync.h"
#include "host_log.h"
#include "host_server.h"
#include "loop_thread_input_sink.h"
#include "named_object_service.h"
#include "process_service.h"
#include "screen_service.h"
#include "services_service.h"
#include "thread_message_router.h"
#include "window_service.h"

#include <ce/core/device_profile.h>

#include <ce/core/device_root.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ce::host {
namespace {

namespace fs = std::filesystem;

fs::path lockFile(const fs::path &root) { return root / "run" / "host.lock"; }

void writeAll(int fd, const std::string &text) {
  if (fd >= 0) [[maybe_unused]]
    const auto written = ::write(fd, text.data(), text.size());
}

} // namespace

bool HostDaemon::isRunning(const fs::path &root) {
  const int fd = ::open(lockFile(root).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

namespace {

// The pid the host wrote into its lock file, 0 when there is none.
pid_t lockHolder(const fs::path &root) {
  std::ifstream in(lockFile(root));
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
  if (!pidfd || !HostDaemon::isRunning(root) || lockHolder(root) != pid)
    return protocol::UniqueFd();
  return pidfd;
}

} // namespace

bool HostDaemon::waitUntilStopped(const fs::path &root, int timeoutMs) {
  if (!isRunning(root))
    return true;
  // The kernel releases the lock when the host's process ends: wait for that end itself.
  if (const protocol::UniqueFd pidfd = hostPidfd(root)) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      pollfd ended{pidfd.get(), POLLIN, 0};
      const int ready = ::poll(&ended, 1, static_cast<int>(std::max<long long>(left, 0)));
      if (ready >= 0 || errno != EINTR || left <= 0)
        break;
    }
    return !isRunning(root);
  }
  // No pidfd (a lock file without a readable pid): look at the lock a few times a second.
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (!isRunning(root))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return !isRunning(root);
}

bool HostDaemon::forceStop(const fs::path &root, int timeoutMs) {
  const protocol::UniqueFd pidfd = hostPidfd(root);
  if (!pidfd)
    return waitUntilStopped(root, lockHolder(root) > 0 ? timeoutMs : 0);
  ::syscall(SYS_pidfd_send_signal, pidfd.get(), SIGKILL, nullptr, 0);
  return waitUntilStopped(root, timeoutMs);
}

HostDaemon::BootResult HostDaemon::boot(const fs::path &root, const HostOptions &options,
                                        std::string *message) {
  std::error_code error;
  fs::create_directories(root / "run", error);
  if (error) {
    *message = "cannot create " + (root / "run").string() + ": " + error.message();
    return BootResult::Failed;
  }
  ::chmod((root / "run").c_str(), 0700);
  if (isRunning(root))
    return BootResult::AlreadyRunning;
  if (auto problem = BootCheck::problem(root)) {
    *message = *problem;
    return BootResult::Refused;
  }
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
  if (first == 0) {
    ::close(ready[0]);
    ::setsid();
    const pid_t second = ::fork();
    if (second != 0)
      ::_exit(second < 0 ? 1 : 0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      if (null > 2)
        ::close(null);
    }
    // A daemon keeps none of its starter's descriptors (a starter waiting for its own output
    // pipes to close would wait for the host's whole life): only the ready pipe, moved to 3.
    if (ready[1] != 3) {
      ::dup2(ready[1], 3);
      ::close(ready[1]);
    }
    ::close_range(4, ~0u, 0);
    [[maybe_unused]] const int changed = ::chdir("/");
    ::_exit(serve(fs::absolute(root), options, 3));
  }
  ::close(ready[1]);
  int status = 0;
  ::waitpid(first, &status, 0);
  std::string answer;
  char buffer[256];
  for (;;) {
    const ssize_t got = ::read(ready[0], buffer, sizeof buffer);
    if (got > 0) {
      answer.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR)
      continue;
    break;
  }
  ::close(ready[0]);
  if (answer.rfind("R", 0) == 0)
    return BootResult::Started;
  if (answer.rfind("A", 0) == 0)
    return BootResult::AlreadyRunning;
  *message = answer.size() > 1 ? answer.substr(1) : "the host ended before it was ready";
  return BootResult::Failed;
}

int HostDaemon::serve(const fs::path &root, const HostOptions &options, int readyFd) {
  const fs::path run = root / "run";
  std::error_code error;
  fs::create_directories(run, error);
  const int lock = ::open(lockFile(root).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) {
    writeAll(readyFd, std::string("Fcannot open the lock file: ") + std::strerror(errno));
    return 1;
  }
  if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
    writeAll(readyFd, "A");
    return 0;
  }
  // Who holds the lock, for a shutdown that has to kill a host that does not answer.
  if (::ftruncate(lock, 0) == 0)
    writeAll(lock, std::to_string(::getpid()) + "\n");
  // Signals that end the host are taken by a thread of their own; every thread started from here
  // on inherits the blocked mask, and started programs get default handling back.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGHUP);
  ::pthread_sigmask(SIG_BLOCK, &ending, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGCHLD, SIG_DFL);

  DeviceRoot::use(root);
  HostLog log(run / "host.log");
  log.line("host " + std::to_string(::getpid()) + " starting for " + root.string() +
           (options.window ? " with a window" : " headless") + ", zoom " +
           std::to_string(options.zoom));
  const fs::path socketPath = run / "host.sock";
  protocol::UniqueFd listener = protocol::PacketSocket::listenAt(socketPath);
  if (!listener) {
    const std::string reason =
        std::string("cannot listen on ") + socketPath.string() + ": " + std::strerror(errno);
    log.line(reason);
    writeAll(readyFd, "F" + reason);
    return 1;
  }
  HostServer server(std::move(listener), log);
  ProcessService processes(server, root);
  NamedObjectService namedObjects(server);
  ThreadMessageRouter router(server);
  // The window manager, the screen (with its presenters, chosen from `options`) and the services
  // host attach themselves to `server` here, before connections are accepted.

  // The screen: framebuffer, overlays, presenters and input.
  ScreenService screen(server, options);
  if (std::string why; !screen.ready(&why)) {
    writeAll(readyFd, "F" + why);
    return 1;
  }

  // Window manager: windows, messages to windows, painting state and input. Input and rotation
  // arrive on the screen's threads and are handed over to the loop thread.
  const DeviceProfile profile = DeviceProfile::current();
  WindowService windows(server, router, profile.screenWidth, profile.screenHeight);
  LoopThreadInputSink windowInput(server, windows);
  screen.setInputSink(&windowInput);
  screen.setRotationHook([&server, &windows](int, int) {
    server.runOnLoop([&windows] {
      InputEvent rotate;
      rotate.kind = InputKind::Rotate;
      windows.deliverInput(rotate);
    });
  });
  screen.setWindowListing(&windows);
  // SetCursor(IDC_WAIT) shows the screen's wait mark; both sides run on the loop thread.
  windows.setWaitCursorHook([&screen](DWORD pid, bool on) { screen.setWaitMark(pid, on); });

  // The device barrier waits for the input verbs' queued input before it probes the threads:
  // the player calls back on its own thread once that input is on the loop's list, and the
  // loop runs the barrier after it.
  DeviceSync sync(server, [&screen, &server](std::function<void()> then) {
    screen.afterQueuedInput([&server, then] { server.runOnLoop(then); });
  });

  // Services host: boot services load on its workers as soon as the loop runs.
  ServicesService services(server);

  std::thread([&server, &ending] {
    int signal = 0;
    if (::sigwait(&ending, &signal) == 0)
      server.stop();
  }).detach();

  // What the host's UI threads reach of this function: the log while it is open.
  auto logOpen = std::make_shared<std::atomic<bool>>(true);
  const HostUiThread::Log threadLog = [&log, logOpen](const std::string &line) {
    if (logOpen->load())
      log.line(line);
  };

  // The input panel's window and the soft-key bars run on threads of their own, clients of this
  // host like any program; their windows belong to the host's own process (gwes.exe).
  HostUiThread inputPanel(HostUiThread::Options{"input panel", std::nullopt, threadLog, {}},
                          [] { return std::make_unique<InputPanelWindow>(); });
  inputPanel.start();
  HostUiThread menuBars(HostUiThread::Options{"soft-key bars", std::nullopt, threadLog, {}},
                        [] { return std::make_unique<MenuBarServer>(); });
  menuBars.start();

  // The host says it is ready once the shell has put up the desktop and the taskbar, so that a
  // program drawing right after boot never races the shell's first paint; a shell that has not
  // come up after kShellReadyLimitMs does not hold the boot up.
  static constexpr int kShellReadyLimitMs = 5000;
  struct Ready {
    std::mutex mutex;
    std::condition_variable said;
    bool done = false;
  };
  auto ready = std::make_shared<Ready>();
  // Says "R" on the ready pipe, once; `running` false only closes it.
  const auto sayReady = [ready, readyFd, threadLog](bool running, const std::string &how) {
    std::lock_guard lock(ready->mutex);
    if (ready->done)
      return;
    ready->done = true;
    if (running)
      writeAll(readyFd, "R");
    if (readyFd >= 0)
      ::close(readyFd);
    if (running)
      threadLog("host ready" + how);
    ready->said.notify_all();
  };
  std::thread readyWatch([ready, sayReady] {
    std::unique_lock lock(ready->mutex);
    if (ready->said.wait_for(lock, std::chrono::milliseconds(kShellReadyLimitMs),
                             [&] { return ready->done; }))
      return;
    lock.unlock();
    sayReady(true, " (the shell is not up yet)");
  });

  // The shell: desktop, taskbar, platform Start menu and the StartUp folder, on a thread of its
  // own that talks to this host like any device process. The host is ready once the shell has
  // answered, whether its windows came up or not.
  HostUiThread shellThread(
      shell::ShellWindows::threadOptions(threadLog, [sayReady](bool) { sayReady(true, ""); }),
      [taskbar = profile.taskbar, threadLog] {
        return std::make_unique<shell::ShellWindows>(taskbar, threadLog);
      });
  shellThread.start();

  const bool ran = server.run();
  screen.setInputSink(nullptr); // no input may reach the window service once the loop has ended
  screen.setRotationHook({});
  processes.endAll(2000);
  ::unlink(socketPath.c_str());
  // The loop no longer answers: the shell's calls fail at once instead of waiting.
  HostConnection::instance().disconnect();
  shellThread.stop();
  inputPanel.stop();
  menuBars.stop(500);  // before the services go: one of them may have subclassed a bar
  sayReady(false, ""); // the loop ended before anything was ready: the booter sees the end
  readyWatch.join();
  logOpen->store(false);
  services.stop(); // every service's _Deinit, the newest first, before the lock is let go
  log.line(ran ? "host stopped" : "host loop failed");
  ::close(lock);
  return ran ? 0 : 1;
}

} // namespace ce::host
