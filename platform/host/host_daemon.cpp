#include "host_daemon.h"

#include "../src/client/host_connection.h"
#include "../src/protocol/packet_socket.h"
#include "boot_answer.h"
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
#include <ce/host/host_lock.h>
#include <ce/host/host_ui_thread.h>
#include <ce/host/host_windows.h>

#include <ce/core/device_root.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace ce::host {
namespace {

namespace fs = std::filesystem;

void writeAll(int fd, const std::string &text) {
  if (fd >= 0) [[maybe_unused]]
    const auto written = ::write(fd, text.data(), text.size());
}

} // namespace

int HostDaemon::serve(const fs::path &root, const HostOptions &options, int readyFd) {
  const fs::path run = root / "run";
  std::error_code error;
  fs::create_directories(run, error);
  const int lock = ::open(HostLock::file(root).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) {
    writeAll(readyFd, BootAnswer::kFailed + std::string("cannot open the lock file: ") +
                          std::strerror(errno));
    return 1;
  }
  if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
    writeAll(readyFd, std::string(1, BootAnswer::kLockHeld));
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
    writeAll(readyFd, BootAnswer::kFailed + reason);
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
    writeAll(readyFd, BootAnswer::kFailed + why);
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
                          &host_windows::inputPanel);
  inputPanel.start();
  HostUiThread menuBars(HostUiThread::Options{"soft-key bars", std::nullopt, threadLog, {}},
                        &host_windows::menuBars);
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
  // Says it is ready on the ready pipe, once; `running` false only closes it.
  const auto sayReady = [ready, readyFd, threadLog](bool running, const std::string &how) {
    std::lock_guard lock(ready->mutex);
    if (ready->done)
      return;
    ready->done = true;
    if (running)
      writeAll(readyFd, std::string(1, BootAnswer::kReady));
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
      host_windows::shellThreadOptions(threadLog, [sayReady](bool) { sayReady(true, ""); }),
      [taskbar = profile.taskbar, threadLog] {
        return host_windows::shell(taskbar, threadLog);
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
