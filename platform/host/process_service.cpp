#include "process_service.h"

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

using protocol::MessageType;
using protocol::MessageWriter;

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
  server.registerHandler(MessageType::Hello, [this](HostRequest &r) { hello(r); });
  server.registerHandler(MessageType::Ping, [](HostRequest &r) { r.reply(ERROR_SUCCESS); });
  server.registerHandler(MessageType::StartProcess, [this](HostRequest &r) { startProcess(r); });
  server.registerHandler(MessageType::ListProcesses, [this](HostRequest &r) { listProcesses(r); });
  server.registerHandler(MessageType::QueryProcess, [this](HostRequest &r) { queryProcess(r); });
  server.registerHandler(MessageType::TerminateProcess,
                         [this](HostRequest &r) { terminateProcess(r); });
  server.registerHandler(MessageType::ProcessExiting,
                         [this](HostRequest &r) { processExiting(r); });
  server.registerHandler(MessageType::Shutdown, [this](HostRequest &r) { shutdown(r); });
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

void ProcessService::hello(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t flags = 0;
  std::u16string exePath;
  if (!reader.u32(flags) || !reader.string(exePath, 4096) || !reader.complete() ||
      request.peer().greeted()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  PeerConnection &peer = request.peer();
  const bool tool = (flags & protocol::kHelloTool) != 0;
  const bool postConnection = (flags & protocol::kHelloPostConnection) != 0;
  peer.greet(tool, postConnection);
  MessageWriter answer;
  answer.u32(static_cast<std::uint32_t>(::getpid()));
  // A post connection adds nothing to the process table: the process joins (and leaves) by its
  // own connection.
  if (tool || postConnection) {
    answer.string(u"");
    request.reply(ERROR_SUCCESS, answer);
    return;
  }
  ProcessRecord *record = server_.processes().find(peer.pid());
  if (!record) {
    ProcessRecord fresh;
    fresh.pid = peer.pid();
    fresh.startTimeMs = nowMs();
    // (The host's own process has its record from the start.) The pidfd is opened while the
    // process is connected, so it is this process and no later one.
    fresh.pidfd = openPidfd(static_cast<pid_t>(peer.pid()));
    DWORD error = 0;
    auto device = DevicePath::toDevice(std::filesystem::path(ce::toUtf8(exePath)), &error);
    fresh.devicePath = device ? *device : exePath;
    record = &server_.processes().add(std::move(fresh));
    server_.log().line("process " + std::to_string(peer.pid()) + " joined as " +
                       ce::toUtf8(record->devicePath));
  }
  ++record->connections;
  answer.string(record->devicePath);
  request.reply(ERROR_SUCCESS, answer);
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

void ProcessService::startProcess(HostRequest &request) {
  auto reader = request.reader();
  std::u16string devicePath, arguments;
  std::uint32_t show = 0;
  if (!reader.name(devicePath, MAX_PATH) || !reader.string(arguments) || !reader.u32(show) ||
      !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  DWORD error = ERROR_SUCCESS;
  auto resolved = DevicePath::resolve(devicePath, &error);
  if (!resolved) {
    request.reply(error);
    return;
  }
  if (!resolved->exists) {
    request.reply(ERROR_FILE_NOT_FOUND);
    return;
  }
  if (resolved->isDirectory || !endsWithExe(devicePath) || !isElf(resolved->hostPath)) {
    request.reply(ERROR_BAD_FORMAT);
    return;
  }
  if (!makeRunnable(resolved->hostPath)) {
    request.reply(ERROR_ACCESS_DENIED);
    return;
  }
  // The device path as the file system spells it, whatever case the caller used.
  auto canonical = DevicePath::toDevice(resolved->hostPath, &error);
  const std::u16string path = canonical ? *canonical : devicePath;
  auto pid = spawn(resolved->hostPath, path, arguments, show, &error);
  if (!pid) {
    request.reply(error);
    return;
  }
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
  MessageWriter answer;
  answer.u32(*pid);
  request.reply(ERROR_SUCCESS, answer);
}

void ProcessService::listProcesses(HostRequest &request) {
  if (!request.reader().complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const auto records = server_.processes().list();
  MessageWriter answer;
  answer.u32(static_cast<std::uint32_t>(records.size()));
  for (const ProcessRecord *record : records)
    answer.u32(record->pid)
        .u32(record->parentPid)
        .u64(record->startTimeMs)
        .string(record->devicePath);
  request.reply(ERROR_SUCCESS, answer);
}

void ProcessService::queryProcess(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t pid = 0;
  if (!reader.u32(pid) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  MessageWriter answer;
  // The last field: the process whose end is this one's (the host's, for processes in it).
  if (const ProcessRecord *record = server_.processes().find(pid)) {
    answer.u32(1).u32(STILL_ACTIVE).string(record->devicePath);
    answer.u32(record->inHost ? static_cast<std::uint32_t>(::getpid()) : pid);
  } else if (auto code = server_.processes().exitCodeOf(pid)) {
    answer.u32(0).u32(*code).string(u"").u32(pid);
  } else {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  request.reply(ERROR_SUCCESS, answer);
}

void ProcessService::terminateProcess(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t pid = 0, code = 0;
  if (!reader.u32(pid) || !reader.u32(code) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  ProcessRecord *record = server_.processes().find(pid);
  if (!record) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  if (record->inHost) {
    request.reply(ERROR_ACCESS_DENIED);
    return;
  }
  record->requestedExitCode = code;
  // Through the pidfd only: without one the process cannot be told from a later one that
  // reused its id.
  const bool sent = record->pidfd >= 0 &&
                    ::syscall(SYS_pidfd_send_signal, record->pidfd, SIGKILL, nullptr, 0) == 0;
  server_.log().line("process " + std::to_string(request.peer().pid()) + " terminated process " +
                     std::to_string(pid));
  request.reply(sent ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
}

void ProcessService::processExiting(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t code = 0;
  if (!reader.u32(code) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  if (ProcessRecord *record = server_.processes().find(request.peer().pid()))
    if (!record->requestedExitCode)
      record->requestedExitCode = code;
  request.reply(ERROR_SUCCESS);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      std::vector<pollfd> fds = running();
      if (fds.empty())
        return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0)
        return false;
      // Wakes at the first end; the next round drops the ended ones.
      ::poll(fds.data(), fds.size(), static_cast<int>(left));
    }
  };
  if (!signalAll(SIGTERM))
    return;
  if (waitForEnds(graceMs))
    return;
  signalAll(SIGKILL);
  waitForEnds(1000);
}

void ProcessService::shutdown(HostRequest &request) {
  if (!request.reader().complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  server_.log().line("shutdown asked by process " + std::to_string(request.peer().pid()));
  endAll(2000);
  request.reply(ERROR_SUCCESS);
  server_.stop();
}

} // namespace ce::host
