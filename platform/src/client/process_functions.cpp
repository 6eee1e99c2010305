// Starting and inspecting device processes through the host.
#include "host_connection.h"
#include "process_handle.h"
#include "shortcut_text.h"
#include "toolhelp_snapshot.h"

#include "../services/library_loader.h"

#include "../protocol/process_messages.h"

#include <ce/core/device_path.h>
#include <ce/core/device_root.h>
#include <ce/core/handle_table.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/host/process_identity.h>
#include <ce/kernel.h>
#include <ce/processes.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce {

ProcessHandle::ProcessHandle(DWORD pid, DWORD lifePid)
    : pid_(pid), pidfd_(static_cast<int>(
                     ::syscall(SYS_pidfd_open, static_cast<pid_t>(lifePid ? lifePid : pid), 0))) {}

bool ProcessHandle::ended() const {
  if (!pidfd_)
    return true;
  pollfd ready{pidfd_.get(), POLLIN, 0};
  return ::poll(&ready, 1, 0) > 0;
}

DWORD ProcessHandle::wait(DWORD milliseconds) {
  if (!pidfd_)
    return WAIT_OBJECT_0;
  pollfd ready{pidfd_.get(), POLLIN, 0};
  const int timeout =
      milliseconds == INFINITE ? -1 : static_cast<int>(std::min<DWORD>(milliseconds, INT32_MAX));
  for (;;) {
    const int result = ::poll(&ready, 1, timeout);
    if (result > 0)
      return WAIT_OBJECT_0;
    if (result == 0)
      return WAIT_TIMEOUT;
    if (errno != EINTR) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
  }
}

const ToolhelpSnapshot::Entry *ToolhelpSnapshot::first() {
  cursor_ = 0;
  return next();
}

const ToolhelpSnapshot::Entry *ToolhelpSnapshot::next() {
  return cursor_ < entries_.size() ? &entries_[cursor_++] : nullptr;
}

namespace {

constexpr std::size_t kMaxShortcutBytes = 4096;
constexpr int kMaxShortcutDepth = 4;

bool endsWith(const std::u16string &text, std::u16string_view suffix) {
  return text.size() >= suffix.size() &&
         ce::equalsIgnoreCase(std::u16string_view(text).substr(text.size() - suffix.size()),
                              suffix);
}

// Finds a device file: as given, then (for a bare name) in \Windows.
std::optional<DevicePath::Resolution> findFile(std::u16string &path, DWORD *error) {
  auto resolved = DevicePath::resolve(path, error);
  if (resolved && resolved->exists && !resolved->isDirectory)
    return resolved;
  if (!path.empty() && path[0] != u'\\' && path[0] != u'/') {
    std::u16string inWindows = u"\\Windows\\" + path;
    DWORD second = 0;
    auto again = DevicePath::resolve(inWindows, &second);
    if (again && again->exists && !again->isDirectory) {
      path = inWindows;
      return again;
    }
  }
  if (resolved)
    *error = resolved->isDirectory ? ERROR_BAD_FORMAT : ERROR_FILE_NOT_FOUND;
  return std::nullopt;
}

HINSTANCE shellResult(DWORD error) {
  int code = 33; // success: above 32
  switch (error) {
  case ERROR_SUCCESS:
    break;
  case ERROR_FILE_NOT_FOUND:
    code = SE_ERR_FNF;
    break;
  case ERROR_PATH_NOT_FOUND:
    code = SE_ERR_PNF;
    break;
  case ERROR_ACCESS_DENIED:
    code = SE_ERR_ACCESSDENIED;
    break;
  case ERROR_BAD_FORMAT:
    code = SE_ERR_NOASSOC;
    break;
  default:
    code = SE_ERR_OOM;
    break;
  }
  return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

// Works out which executable to start for `file` and with which command line.
DWORD resolveLaunch(std::u16string file, std::u16string arguments, std::u16string &program,
                    std::u16string &commandLine) {
  for (int depth = 0; depth < kMaxShortcutDepth; ++depth) {
    DWORD error = ERROR_SUCCESS;
    auto resolved = findFile(file, &error);
    if (!resolved)
      return error;
    if (endsWith(file, u".lnk")) {
      std::ifstream in(resolved->hostPath, std::ios::binary);
      std::string bytes;
      bytes.resize(kMaxShortcutBytes + 1);
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      bytes.resize(static_cast<std::size_t>(in.gcount()));
      if (bytes.size() > kMaxShortcutBytes)
        return ERROR_BAD_FORMAT;
      auto command = ShortcutText::parse(ShortcutText::decode(bytes));
      if (!command)
        return ERROR_BAD_FORMAT;
      file = command->target;
      if (!command->arguments.empty())
        arguments = arguments.empty() ? command->arguments : command->arguments + u" " + arguments;
      continue;
    }
    if (endsWith(file, u".cpl")) {
      arguments = arguments.empty() ? file : file + u" " + arguments;
      file = u"\\Windows\\ctlpnl.exe";
      continue;
    }
    if (!endsWith(file, u".exe"))
      return ERROR_BAD_FORMAT;
    program = file;
    commandLine = arguments;
    return ERROR_SUCCESS;
  }
  return ERROR_BAD_FORMAT; // shortcuts pointing at shortcuts, round and round
}

std::u16string fileNameOf(const std::u16string &path) {
  const auto slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// This process's device path without asking the host: the one the host started it as, else its
// executable's place in fs/, else its host path.
std::u16string ownPathOffline() {
  if (const char *given = std::getenv("CE_DEVICE_PATH"))
    return ce::toUtf16(given);
  char buffer[4096];
  const ssize_t size = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (size <= 0)
    return {};
  const std::string host(buffer, static_cast<std::size_t>(size));
  DWORD error = 0;
  if (!DeviceRoot::path().empty())
    if (auto device = DevicePath::toDevice(host, &error))
      return *device;
  return ce::toUtf16(host);
}

// Asks the host about a process: alive, exit code, device path and the process whose end is its
// own (itself, or the host for processes in it). False with the last error set.
bool queryProcess(DWORD pid, bool &alive, DWORD &exitCode, std::u16string &path,
                  DWORD *lifePid = nullptr) {
  auto answer = HostConnection::instance().request(protocol::QueryProcessRequest{pid});
  if (!answer)
    return false;
  alive = answer->alive;
  exitCode = answer->exitCode;
  path = std::move(answer->devicePath);
  if (lifePid)
    *lifePid = answer->lifePid;
  return true;
}

DWORD copyOut(const std::u16string &text, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(text.size(), size - 1));
  std::copy_n(text.data(), copied, buffer);
  buffer[copied] = 0;
  if (text.size() >= size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  SetLastError(ERROR_SUCCESS);
  return copied;
}

} // namespace
} // namespace ce

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  using namespace ce;
  if (!info ||
      (info->cbSize != SHELLEXECUTEINFO_DEVICE_SIZE && info->cbSize != sizeof(SHELLEXECUTEINFO))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto fail = [info](DWORD error) {
    info->hInstApp = shellResult(error);
    SetLastError(error);
    return FALSE;
  };
  if (!info->lpFile || !*info->lpFile)
    return fail(ERROR_FILE_NOT_FOUND);
  if (info->lpVerb && *info->lpVerb && !ce::equalsIgnoreCase(info->lpVerb, u"open"))
    return fail(ERROR_NOT_SUPPORTED);
  std::u16string program, commandLine;
  const DWORD resolved = resolveLaunch(info->lpFile, info->lpParameters ? info->lpParameters : u"",
                                       program, commandLine);
  if (resolved != ERROR_SUCCESS)
    return fail(resolved);
  const auto started = HostConnection::instance().request(
      protocol::StartProcessRequest{program, commandLine, static_cast<DWORD>(info->nShow)});
  if (!started)
    return fail(started.error());
  const DWORD pid = started->pid;
  info->hInstApp = shellResult(ERROR_SUCCESS);
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
    info->hProcess = HandleTable::instance().add(std::make_shared<ProcessHandle>(pid));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

HANDLE OpenProcess(DWORD, BOOL, DWORD processId) {
  bool alive = false;
  DWORD code = 0, lifePid = 0;
  std::u16string path;
  if (!ce::queryProcess(processId, alive, code, path, &lifePid))
    return nullptr;
  if (!alive) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ce::HandleTable::instance().add(std::make_shared<ce::ProcessHandle>(processId, lifePid));
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  DWORD pid = 0;
  if (process == GetCurrentProcess()) {
    pid = GetCurrentProcessId();
  } else if (auto handle = ce::HandleTable::instance().getAs<ce::ProcessHandle>(process)) {
    pid = handle->pid();
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return ce::HostConnection::instance().request(
             ce::protocol::TerminateProcessRequest{pid, exitCode})
             ? TRUE
             : FALSE;
}

DWORD GetProcessId(HANDLE process) {
  const auto handle = ce::HandleTable::instance().getAs<ce::ProcessHandle>(process);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return handle->pid();
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  auto handle = ce::HandleTable::instance().getAs<ce::ProcessHandle>(process);
  if (!handle || !exitCode) {
    SetLastError(handle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  bool alive = false;
  DWORD code = 0;
  std::u16string path;
  if (!handle->ended()) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  // The host records the exit once it has reaped the process; wait a moment for that.
  for (int tries = 0; tries < 200; ++tries) {
    if (!ce::queryProcess(handle->pid(), alive, code, path))
      return FALSE;
    if (!alive) {
      *exitCode = code;
      return TRUE;
    }
    Sleep(5);
  }
  *exitCode = STILL_ACTIVE;
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  using namespace ce;
  if (!module || module == LibraryLoader::programModule()) {
    // A thread of the device host answers for the device process its code belongs to.
    if (const DeviceProcess *identity = ProcessIdentity::current())
      return copyOut(identity->devicePath, fileName, size);
    auto &connection = HostConnection::instance();
    std::u16string path;
    if (!DeviceRoot::path().empty() && connection.connect())
      path = connection.devicePath();
    if (path.empty())
      path = ownPathOffline();
    return copyOut(path, fileName, size);
  }
  if (auto library = LibraryLoader::instance().devicePath(module))
    return copyOut(*library, fileName, size);
  if (auto process =
          HandleTable::instance().getAs<ProcessHandle>(reinterpret_cast<HANDLE>(module))) {
    bool alive = false;
    DWORD code = 0;
    std::u16string path;
    if (!queryProcess(process->pid(), alive, code, path))
      return 0;
    if (!alive) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    return copyOut(path, fileName, size);
  }
  // An address inside a module, as the instance handle WinMain gets.
  Dl_info where{};
  if (::dladdr(reinterpret_cast<void *>(module), &where) == 0 || !where.dli_fname) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string host = where.dli_fname;
  if (length > 0 && (host.empty() || host == std::string(self, static_cast<std::size_t>(length))))
    return GetModuleFileNameW(nullptr, fileName, size);
  DWORD error = 0;
  auto device = DevicePath::toDevice(host, &error);
  return copyOut(device ? *device : ce::toUtf16(host), fileName, size);
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) {
  if (!(flags & TH32CS_SNAPPROCESS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const auto listed = ce::HostConnection::instance().request(ce::protocol::ListProcessesRequest{});
  if (!listed)
    return INVALID_HANDLE_VALUE;
  std::vector<ce::ToolhelpSnapshot::Entry> entries;
  for (const ce::protocol::ProcessEntry &process : listed->processes)
    entries.push_back({process.pid, process.parent, ce::fileNameOf(process.devicePath)});
  return ce::HandleTable::instance().add(
      std::make_shared<ce::ToolhelpSnapshot>(std::move(entries)));
}

BOOL CloseToolhelp32Snapshot(HANDLE snapshot) { return CloseHandle(snapshot); }

namespace {

BOOL fillEntry(HANDLE snapshot, LPPROCESSENTRY32W entry, bool first) {
  auto list = ce::HandleTable::instance().getAs<ce::ToolhelpSnapshot>(snapshot);
  if (!list) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!entry || entry->dwSize < sizeof(PROCESSENTRY32W)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto *item = first ? list->first() : list->next();
  if (!item) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  const DWORD size = entry->dwSize;
  *entry = PROCESSENTRY32W{};
  entry->dwSize = size;
  entry->cntUsage = 1;
  entry->th32ProcessID = item->pid;
  entry->cntThreads = 1;
  entry->th32ParentProcessID = item->parentPid;
  entry->pcPriClassBase = 3; // THREAD_PRIORITY_NORMAL
  const std::size_t units = std::min<std::size_t>(item->exeFile.size(), MAX_PATH - 1);
  std::copy_n(item->exeFile.data(), units, entry->szExeFile);
  return TRUE;
}

} // namespace

BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
  return fillEntry(snapshot, entry, true);
}

BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
  return fillEntry(snapshot, entry, false);
}
