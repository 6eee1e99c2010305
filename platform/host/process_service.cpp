#include "process_service.h"

#include "../src/kernel/poll_deadline.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/host/process_identity.h>
#include <ce/kernel.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace ce::host {
namespace {

std::uint64_t nowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

int openPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

bool endsWithExe(const std::u16string &path) {
  return path.size() >= 4 && ce::equalsIgnoreCase(path.substr(path.size() - 4), u".exe");
}

bool isElf(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  in.read(magic, 4);
  return in.gcount() == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' &&
         magic[3] == 'F';
}

// The device's files have no execute permission: a program is a program whether it came in by
// `device push`, CopyFileW or WriteFile. The host's loader wants the bit, so the host gives it
// (to whoever may read the file) just before starting it.
bool makeRunnable(const std::filesystem::path &path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return false;
  if (info.st_mode & S_IXUSR)
    return true;
  mode_t mode = info.st_mode & 07777;
  mode |= S_IXUSR;
  if (mode & S_IRGRP)
    mode |= S_IXGRP;
  if (mode & S_IROTH)
    mode |= S_IXOTH;
  return ::chmod(path.c_str(), mode) == 0;
}

DWORD errorFromErrno(int error) {
  switch (error) {
  case ENOENT:
    return ERROR_FILE_NOT_FOUND;
  case EACCES:
  case EPERM:
    return ERROR_ACCESS_DENIED;
  case ENOEXEC:
    return ERROR_BAD_FORMAT;
  case ENOMEM:
  case EAGAIN:
    return ERROR_NOT_ENOUGH_MEMORY;
  default:
    return ERROR_INVALID_FUNCTION;
  }
}

} // namespace

ProcessService::ProcessService(HostServer &server, std::filesystem::path deviceRoot)
    : server_(server), root_(std::move(deviceRoot)) {
  using namespace protocol;
  server.on<Hello>([this](HostRequest &r, Hello &hello) { return this->hello(r, hello); });
  server.on<PingRequest>([](HostRequest &, PingRequest &) { return ERROR_SUCCESS; });
  server.on<StartProcess>(
      [this](HostRequest &r, StartProcess &start) { return startProcess(r, start); });
  server.on<ListProcesses>([this](HostRequest &, ListProcesses &) { return listProcesses(); });
  server.on<QueryProcess>(
      [this](HostRequest &, QueryProcess &query) { return queryProcess(query); });
  server.on<TerminateProcessRequest>(
      [this](HostRequest &r, TerminateProcessRequest &end) { return terminateProcess(r, end); });
  server.on<ProcessExitingNotice>(
      [this](HostRequest &r, ProcessExitingNotice &notice) { return processExiting(r, notice); });
  server.on<ShutdownRequest>([this](HostRequest &r, ShutdownRequest &) { return shutdown(r); });
  for (const DeviceProcess &process :
       {ProcessIdentity::windowSystem(), ProcessIdentity::shell(), ProcessIdentity::services()}) {
    ProcessRecord record;
    record.pid = process.pid;
    record.devicePath = process.devicePath;
    record.startTimeMs = nowMs();
    record.inHost = true;
    server.processes().add(std::move(record));
  }
}

ProcessService::Answer<ProcessService::Hello> ProcessService::hello(HostRequest &request,
                                                                    const Hello &hello) {
  if (request.peer().greeted())
    return ERROR_INVALID_PARAMETER;
  PeerConnection &peer = request.peer();
  const bool tool = (hello.flags & protocol::kHelloTool) != 0;
  const bool postConnection = (hello.flags & protocol::kHelloPostConnection) != 0;
  peer.greet(tool, postConnection);
  Hello::Reply answer{static_cast<DWORD>(::getpid()), u""};
  // A post connection adds nothing to the process table: the process joins (and leaves) by its
  // own connection.
  if (tool || postConnection)
    return answer;
  ProcessRecord *record = server_.processes().find(peer.pid());
  if (!record) {
    ProcessRecord fresh;
    fresh.pid = peer.pid();
    fresh.startTimeMs = nowMs();
    // (The host's own process has its record from the start.) The pidfd is opened while the
    // process is connected, so it is this process and no later one.
    fresh.pidfd = openPidfd(static_cast<pid_t>(peer.pid()));
    DWORD error = 0;
    auto device = DevicePath::toDevice(std::filesystem::path(ce::toUtf8(hello.executable)), &error);
    fresh.devicePath = device ? *device : hello.executable;
    record = &server_.processes().add(std::move(fresh));
    server_.log().line("process " + std::to_string(peer.pid()) + " joined as " +
                       ce::toUtf8(record->devicePath));
  }
  ++record->connections;
  answer.devicePath = record->devicePath;
  return answer;
}

std::optional<DWORD> ProcessService::spawn(const std::filesystem::path &hostPath,
                                           const std::u16string &devicePath,
                                           const std::u16string &arguments, DWORD show,
                                           DWORD *error) {
  const std::string program = hostPath.string();
  const std::string commandLine = ce::toUtf8(arguments);
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) {
    const std::string_view entry(*e);
    if (entry.rfind("CE_DEVICE=", 0) == 0 || entry.rfind("CE_DEVICE_PATH=", 0) == 0 ||
        entry.rfind("CE_COMMAND_LINE=", 0) == 0 || entry.rfind("CE_SHOW_COMMAND=", 0) == 0 ||
        entry.rfind("CE_HOST_PID=", 0) == 0)
      continue;
    env.emplace_back(entry);
  }
  env.push_back("CE_DEVICE=" + root_.string());
  env.push_back("CE_DEVICE_PATH=" + ce::toUtf8(devicePath));
  env.push_back("CE_COMMAND_LINE=" + commandLine);
  env.push_back("CE_SHOW_COMMAND=" + std::to_string(show));
  env.push_back("CE_HOST_PID=" + std::to_string(::getpid()));
  std::vector<char *> envp;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args{program};
  if (!commandLine.empty())
    args.push_back(commandLine);
  std::vector<char *> argv;
  for (auto &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const int logFd = server_.log().descriptor();
  if (logFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, logFd, 1);
    posix_spawn_file_actions_adddup2(&actions, logFd, 2);
  }
  posix_spawn_file_actions_addchdir_np(&actions, hostPath.parent_path().c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The program starts with default signal handling whatever the host blocks for itself.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int result =
      ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    *error = errorFromErrno(result);
    return std::nullopt;
  }
  return static_cast<DWORD>(pid);
}

ProcessService::Answer<ProcessService::StartProcess>
ProcessService::startProcess(HostRequest &request, const StartProcess &start) {
  DWORD error = ERROR_SUCCESS;
  auto resolved = DevicePath::resolve(start.devicePath, &error);
  if (!resolved)
    return error;
  if (!resolved->exists)
    return ERROR_FILE_NOT_FOUND;
  if (resolved->isDirectory || !endsWithExe(start.devicePath) || !isElf(resolved->hostPath))
    return ERROR_BAD_FORMAT;
  if (!makeRunnable(resolved->hostPath))
    return ERROR_ACCESS_DENIED;
  // The device path as the file system spells it, whatever case the caller used.
  auto canonical = DevicePath::toDevice(resolved->hostPath, &error);
  const std::u16string path = canonical ? *canonical : start.devicePath;
  auto pid = spawn(resolved->hostPath, path, start.arguments, start.show, &error);
  if (!pid)
    return error;
  ProcessRecord record;
  record.pid = *pid;
  record.parentPid = request.peer().isTool() ? 0 : request.peer().pid();
  record.devicePath = path;
  record.startTimeMs = nowMs();
  record.startedByHost = true;
  record.pidfd = openPidfd(static_cast<pid_t>(*pid));
  const int pidfd = record.pidfd;
  server_.processes().add(std::move(record));
  if (pidfd >= 0)
    server_.watchChild(*pid, pidfd);
  server_.log().line("started " + ce::toUtf8(path) + " as process " + std::to_string(*pid));
  return StartProcess::Reply{*pid};
}

ProcessService::Answer<ProcessService::ListProcesses> ProcessService::listProcesses() {
  ListProcesses::Reply answer;
  for (const ProcessRecord *record : server_.processes().list())
    answer.processes.push_back(
        {record->pid, record->parentPid, record->startTimeMs, record->devicePath});
  return answer;
}

ProcessService::Answer<ProcessService::QueryProcess>
ProcessService::queryProcess(const QueryProcess &query) {
  // The last field: the process whose end is this one's (the host's, for processes in it).
  if (const ProcessRecord *record = server_.processes().find(query.pid))
    return QueryProcess::Reply{true, STILL_ACTIVE, record->devicePath,
                               record->inHost ? static_cast<DWORD>(::getpid()) : query.pid};
  if (auto code = server_.processes().exitCodeOf(query.pid))
    return QueryProcess::Reply{false, *code, u"", query.pid};
  return ERROR_INVALID_PARAMETER;
}

DWORD ProcessService::terminateProcess(HostRequest &request,
                                       const protocol::TerminateProcessRequest &end) {
  ProcessRecord *record = server_.processes().find(end.pid);
  if (!record)
    return ERROR_INVALID_PARAMETER;
  if (record->inHost)
    return ERROR_ACCESS_DENIED;
  record->requestedExitCode = end.exitCode;
  // Through the pidfd only: without one the process cannot be told from a later one that
  // reused its id.
  const bool sent = record->pidfd >= 0 &&
                    ::syscall(SYS_pidfd_send_signal, record->pidfd, SIGKILL, nullptr, 0) == 0;
  server_.log().line("process " + std::to_string(request.peer().pid()) + " terminated process " +
                     std::to_string(end.pid));
  return sent ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD ProcessService::processExiting(HostRequest &request,
                                     const protocol::ProcessExitingNotice &notice) {
  if (ProcessRecord *record = server_.processes().find(request.peer().pid()))
    if (!record->requestedExitCode)
      record->requestedExitCode = notice.exitCode;
  return ERROR_SUCCESS;
}

void ProcessService::endAll(int graceMs) {
  const DWORD self = static_cast<DWORD>(::getpid());
  // Processes are reached through their pidfds only: a pid may name another process by now. A
  // pidfd becomes readable when its process ends, so the waits below follow the ends themselves.
  auto running = [&] {
    std::vector<pollfd> fds;
    for (const ProcessRecord *record : server_.processes().list()) {
      if (record->pid == self || record->pidfd < 0)
        continue;
      pollfd entry{record->pidfd, POLLIN, 0};
      if (::poll(&entry, 1, 0) == 0)
        fds.push_back(pollfd{record->pidfd, POLLIN, 0});
    }
    return fds;
  };
  auto signalAll = [&](int signal) {
    const std::vector<pollfd> fds = running();
    for (const pollfd &entry : fds)
      ::syscall(SYS_pidfd_send_signal, entry.fd, signal, nullptr, 0);
    return !fds.empty();
  };
  // Waits until every process has ended or the time is up; true when all have ended.
  auto waitForEnds = [&](int ms) {
    const auto deadline = PollDeadline::in(ms);
    for (;;) {
      std::vector<pollfd> fds = running();
      if (fds.empty())
        return true;
      const auto timeout = deadline.pollTimeout();
      if (!timeout)
        return false;
      // Wakes at the first end; the next round drops the ended ones.
      ::poll(fds.data(), fds.size(), *timeout);
    }
  };
  if (!signalAll(SIGTERM))
    return;
  if (waitForEnds(graceMs))
    return;
  signalAll(SIGKILL);
  waitForEnds(1000);
}

DWORD ProcessService::shutdown(HostRequest &request) {
  server_.log().line("shutdown asked by process " + std::to_string(request.peer().pid()));
  endAll(2000);
  request.reply(ERROR_SUCCESS);
  server_.stop();
  return ERROR_SUCCESS; // answered already, before the loop stops
}

} // namespace ce::host
