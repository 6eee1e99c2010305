// Faults a running device must survive: a damaged profile or registry at boot, a host that stops
// answering or dies, a process that opens connection after connection, process ids used again,
// and device data that would fake log lines or drive a terminal.
#include "host_test_device.h"

#include "../host/host_log.h"
#include "../host/host_server.h"
#include "../host/process_service.h"
#include "../src/protocol/packet_socket.h"

#include <ce/core/printable_text.h>
#include <ce/core/utf.h>
#include <ce/host/host_lock.h>
#include <ce/kernel.h>
#include <ce/processes.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>

#include <cstring>
#include <thread>

using namespace hosttest;

namespace {

std::string readFile(const fs::path &path) { return devtooltest::readFile(path); }

devtooltest::ToolRun toolWith(const HostDevice &device, std::vector<std::string> args,
                              std::vector<std::string> environment = {}) {
  args.insert(args.begin(), {"--device", device.root.string()});
  devtooltest::ToolOptions options;
  options.environment = std::move(environment);
  options.killAfterMs = 30000; // a tool that waits for ever fails the test instead of hanging it
  return devtooltest::runToolWith(args, options);
}

pid_t hostPid(const HostDevice &device) {
  const std::string status = device.tool({"status"}).out;
  const std::string prefix = "running, host process ";
  if (status.rfind(prefix, 0) != 0)
    return 0;
  return static_cast<pid_t>(std::stol(status.substr(prefix.size())));
}

// A connection to the host's socket that says nothing; -1 when it cannot be made at once.
int rawConnection(const fs::path &root) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (root / "run" / "host.sock").string();
  if (fd < 0 || path.size() >= sizeof address.sun_path)
    return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool hungUp(int fd) {
  pollfd state{fd, POLLRDHUP, 0};
  return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLRDHUP)) != 0;
}

std::size_t countOf(const std::string &text, const std::string &part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

} // namespace

TEST(HostFaults, BootRefusesADamagedProfileOrRegistry) {
  HostDevice device(false);
  const fs::path conf = device.root / "device.conf";
  const std::string profile = readFile(conf);
  const auto lines = std::count(profile.begin(), profile.end(), '\n');
  devtooltest::writeFile(conf, profile + "taskbar=wm65\nscreen=480by800\n");
  auto boot = device.tool({"boot"});
  EXPECT_EQ(boot.exitCode, 2);
  EXPECT_EQ(boot.err, "device boot: device.conf line " + std::to_string(lines + 2) +
                          ": screen must be WIDTHxHEIGHT between 120 and 4096\n");
  EXPECT_FALSE(ce::HostLock::isHeld(device.root));
  devtooltest::writeFile(conf, profile);

  // A registry that is not a database, then one whose first page is garbage (read from the
  // file itself: no log of later pages beside it).
  const fs::path registry = device.root / "registry.db";
  const fs::path wal = device.root / "registry.db-wal";
  const fs::path shm = device.root / "registry.db-shm";
  const std::string good = readFile(registry);
  const std::string goodWal = fs::exists(wal) ? readFile(wal) : std::string();
  // The page size as the database header gives it (big-endian at offset 16).
  ASSERT_GE(good.size(), 100u);
  const std::size_t pageSize =
      (static_cast<unsigned char>(good[16]) << 8) | static_cast<unsigned char>(good[17]);
  ASSERT_GE(good.size(), pageSize);
  std::string brokenPage = good;
  brokenPage.replace(100, pageSize - 100, std::string(pageSize - 100, '\xA5'));
  for (const std::string &bad : {std::string("this is not a registry\n"), brokenPage}) {
    devtooltest::writeFile(registry, bad);
    fs::remove(wal);
    fs::remove(shm);
    boot = device.tool({"boot"});
    EXPECT_EQ(boot.exitCode, 2) << boot.err;
    EXPECT_EQ(boot.err.rfind("device boot: registry.db is damaged: ", 0), 0u) << boot.err;
    EXPECT_EQ(std::count(boot.err.begin(), boot.err.end(), '\n'), 1) << boot.err;
    EXPECT_FALSE(ce::HostLock::isHeld(device.root));
    EXPECT_TRUE(readFile(registry) == bad) << "refused, and left as it was";
  }
  if (!goodWal.empty())
    devtooltest::writeFile(wal, goodWal);
  devtooltest::writeFile(registry, good);
  boot = device.tool({"boot"});
  EXPECT_EQ(boot.exitCode, 0) << boot.err;
}

// A stopped host (SIGSTOP) answers nothing: every verb gives up after the answer limit with one
// line and exit 3, and shutdown ends such a host by force.
TEST(HostFaults, AHostThatDoesNotAnswerHoldsNoVerbForEver) {
  HostDevice device;
  const pid_t host = hostPid(device);
  ASSERT_GT(host, 0);
  ASSERT_EQ(::kill(host, SIGSTOP), 0);
  const std::vector<std::string> limit = {"CE_HOST_TIMEOUT_MS=400"};
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"ps"}, {"status"}, {"tap", "5", "5"}, {"windows"}, {"run", "\\Windows\\ctlpnl.exe"}}) {
    const auto run = toolWith(device, args, limit);
    EXPECT_EQ(run.signal, 0) << args[0] << " was still waiting";
    EXPECT_EQ(run.exitCode, 3) << args[0];
    EXPECT_EQ(run.err, "device " + args[0] + ": the host did not answer within 400 ms\n");
  }
  const auto down = toolWith(device, {"shutdown"}, limit);
  EXPECT_EQ(down.signal, 0);
  EXPECT_EQ(down.exitCode, 3);
  EXPECT_EQ(down.err, "device shutdown: the host did not answer within 400 ms; it was killed\n");
  EXPECT_FALSE(ce::HostLock::isHeld(device.root));
  EXPECT_EQ(device.tool({"boot"}).exitCode, 0) << "the next boot takes the root over";
}

// A host that dies takes its programs along: those it started (through their parent's death)
// and those that joined from outside (through the lost connection); a gesture it was playing
// fails.
TEST(HostFaults, ProgramsAndGesturesEndWithTheirHost) {
  HostDevice device;
  device.install("Windows/waiter.exe");
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = u"\\Windows\\waiter.exe";
  info.lpParameters = u"wait";
  ASSERT_TRUE(ShellExecuteEx(&info));
  const pid_t joined = device.startOutside(kPeerProgram, {"wait"});
  ASSERT_TRUE(eventually([&] {
    return ("\n" + device.tool({"ps"}).out).find("\n" + std::to_string(joined) + " ") !=
           std::string::npos;
  }));
  const pid_t host = hostPid(device);
  ASSERT_GT(host, 0);
  ce::HostConnection::instance().disconnect();

  devtooltest::ToolRun hold;
  std::thread holding([&] { hold = toolWith(device, {"hold", "200", "300", "20000"}); });
  // However far the hold has got when the host dies, it must not report success. Deliberate:
  // any moment of the 20-second hold gives the same outcome; 1.5 s in, it is most likely held.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_EQ(::kill(host, SIGKILL), 0);
  holding.join();
  EXPECT_EQ(hold.signal, 0);
  EXPECT_EQ(hold.exitCode, 3) << hold.err;

  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0) << "started by the host";
  CloseHandle(info.hProcess);
  int status = 0;
  const bool joinedEnded =
      eventually([&] { return ::waitpid(joined, &status, WNOHANG) == joined; }, 10000);
  EXPECT_TRUE(joinedEnded) << "joined from outside";
  if (!joinedEnded) {
    ::kill(joined, SIGKILL);
    ::waitpid(joined, &status, 0);
  }
  EXPECT_TRUE(WIFSIGNALED(status));
}

// Processes are signalled through pidfds: a record whose process has ended, while its id now
// names another process, never reaches that other process.
TEST(HostFaults, EndingProcessesNeverHitsAProcessThatReusedAnId) {
  char pattern[] = "/tmp/ce-faults-XXXXXX";
  const fs::path folder = ::mkdtemp(pattern);
  ce::host::HostLog log(folder / "host.log");
  ce::host::HostServer server(ce::protocol::UniqueFd(), log);
  ce::host::ProcessService processes(server, folder);

  const pid_t ended = ::fork();
  if (ended == 0)
    ::_exit(0);
  const int endedPidfd = static_cast<int>(::syscall(SYS_pidfd_open, ended, 0));
  ASSERT_GE(endedPidfd, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(ended, &status, 0), ended);
  const pid_t other = ::fork();
  if (other == 0) {
    ::pause();
    ::_exit(0);
  }
  const pid_t live = ::fork();
  if (live == 0) {
    ::pause();
    ::_exit(0);
  }
  // The ended program's record, its id now standing for `other`; and a live program.
  ce::host::ProcessRecord reused;
  reused.pid = static_cast<DWORD>(other);
  reused.pidfd = endedPidfd;
  reused.devicePath = u"\\Windows\\ended.exe";
  server.processes().add(std::move(reused));
  ce::host::ProcessRecord running;
  running.pid = static_cast<DWORD>(live);
  running.pidfd = static_cast<int>(::syscall(SYS_pidfd_open, live, 0));
  running.devicePath = u"\\Windows\\running.exe";
  server.processes().add(std::move(running));

  processes.endAll(2000);
  EXPECT_EQ(::waitpid(live, &status, 0), live);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the live program is ended";
  EXPECT_EQ(::waitpid(other, &status, WNOHANG), 0) << "the process that reused the id lives";
  ::kill(other, SIGKILL);
  ::waitpid(other, &status, 0);
  std::error_code error;
  fs::remove_all(folder, error);
}

// One process opening connection after connection gets a bounded share; a host out of
// descriptors refuses connections without spinning or flooding its log, and recovers.
TEST(HostFaults, ConnectionFloodsAreCappedAndDescriptorsRunningOutIsSurvived) {
  HostDevice device;
  const fs::path logFile = device.root / "run" / "host.log";
  std::vector<int> connections;
  for (int i = 0; i < 100; ++i)
    if (const int fd = rawConnection(device.root); fd >= 0)
      connections.push_back(fd);
  ASSERT_GT(connections.size(), 50u);
  const std::size_t allowed = ce::host::HostServer::kMaxConnectionsPerProcess;
  EXPECT_TRUE(eventually([&] {
    return static_cast<std::size_t>(std::count_if(connections.begin(), connections.end(),
                                                  hungUp)) >= connections.size() - allowed;
  }));
  EXPECT_EQ(device.tool({"ps"}).exitCode, 0) << "other processes are still served";
  EXPECT_EQ(countOf(readFile(logFile),
                    "refusing connections: process " + std::to_string(::getpid()) + " holds"),
            1u);
  for (int fd : connections)
    ::close(fd);
  connections.clear();

  // Now the host has hardly a descriptor to spare.
  const pid_t host = hostPid(device);
  ASSERT_GT(host, 0);
  rlimit original{};
  ASSERT_EQ(::prlimit(host, RLIMIT_NOFILE, nullptr, &original), 0);
  const auto used = std::distance(fs::directory_iterator("/proc/" + std::to_string(host) + "/fd"),
                                  fs::directory_iterator());
  rlimit tight = original;
  tight.rlim_cur = static_cast<rlim_t>(used + 6);
  ASSERT_EQ(::prlimit(host, RLIMIT_NOFILE, &tight, nullptr), 0);
  for (int i = 0; i < 30; ++i)
    if (const int fd = rawConnection(device.root); fd >= 0)
      connections.push_back(fd);
  ASSERT_TRUE(eventually([&] {
    return readFile(logFile).find("refusing connections: out of descriptors") != std::string::npos;
  }));
  const auto before = fs::file_size(logFile);
  // Deliberate: a second of refusals is watched, since how much the log grows over time is what
  // is checked.
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_LT(fs::file_size(logFile) - before, 1000u) << "no flood of log lines";

  for (int fd : connections)
    ::close(fd);
  ASSERT_EQ(::prlimit(host, RLIMIT_NOFILE, &original, nullptr), 0);
  EXPECT_TRUE(eventually([&] { return device.tool({"ps"}).exitCode == 0; }))
      << "the host serves again";
}

// Device data in the log and on the terminal stays on its own line and drives nothing.
TEST(HostFaults, DeviceDataIsEscapedInTheLogAndOnTheTerminal) {
  HostDevice device;
  char pattern[] = "/tmp/ce-faults-XXXXXX";
  const fs::path folder = ::mkdtemp(pattern);
  const fs::path program = folder / "evil\n[    0.000] fake line\x1b[2J.exe";
  fs::copy_file(kPeerProgram, program);
  const pid_t joined = device.startOutside(program, {"wait"});
  const std::string shown = ce::printable(program.string());
  ASSERT_TRUE(eventually([&] { return device.tool({"ps"}).out.find(shown) != std::string::npos; }))
      << device.tool({"ps"}).out;
  const std::string log = readFile(device.root / "run" / "host.log");
  EXPECT_NE(log.find("joined as " + shown + "\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("\x1b"), std::string::npos);
  EXPECT_EQ(log.find("\n[    0.000] fake line"), std::string::npos);
  ::kill(joined, SIGKILL);
  waitExit(joined);
  std::error_code error;
  fs::remove_all(folder, error);
}
