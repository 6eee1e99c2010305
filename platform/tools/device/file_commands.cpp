#include "file_commands.h"

#include "argument_parser.h"
#include "command_line_text.h"

#include <ce/core/device_path.h>
#include <ce/core/printable_text.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ce::tool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = std::size_t{64} * 1024;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool hasWildcard(std::u16string_view path) {
  return path.find_first_of(u"*?") != std::u16string_view::npos;
}

// The path without trailing separators, keeping a lone root "\".
std::u16string withoutTrailingSeparators(std::u16string path) {
  while (path.size() > 1 && isSeparator(path.back()))
    path.pop_back();
  return path;
}

std::u16string join(std::u16string_view folder, std::u16string_view name) {
  std::u16string path = withoutTrailingSeparators(std::u16string(folder));
  if (!path.empty() && !isSeparator(path.back()))
    path += u'\\';
  return path + std::u16string(name);
}

std::u16string lastComponent(std::u16string_view path) {
  const std::u16string trimmed = withoutTrailingSeparators(std::u16string(path));
  const auto slash = trimmed.find_last_of(u"\\/");
  return slash == std::u16string::npos ? trimmed : trimmed.substr(slash + 1);
}

// True when the path names the root of the device's file system after "." and ".." are
// applied; a path that climbs above the root is left to the platform, which refuses it.
bool namesRoot(std::u16string_view path) {
  int depth = 0;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !isSeparator(path[end]))
      ++end;
    const std::u16string_view part = path.substr(start, end - start);
    if (part == u"..") {
      if (--depth < 0)
        return false;
    } else if (!part.empty() && part != u".") {
      ++depth;
    }
    start = end + 1;
  }
  return depth == 0;
}

// The device path argument `text` in UTF-16, refused when it is not valid UTF-8 or empty.
Outcome devicePath(const std::string &text, std::u16string *path) {
  auto converted = CommandLineText::toDevice(text);
  if (!converted)
    return Outcome::refused("device path '" + text + "' is not valid UTF-8");
  if (converted->empty())
    return Outcome::refused("empty device path");
  *path = std::move(*converted);
  return Outcome::success();
}

Outcome attributesOf(const std::u16string &path, DWORD *attributes) {
  *attributes = GetFileAttributesW(path.c_str());
  if (*attributes == INVALID_FILE_ATTRIBUTES)
    return Outcome::fromPlatformError(GetLastError(), toUtf8(path));
  return Outcome::success();
}

Outcome hostError(int error, const std::string &subject) {
  const std::string message = subject + ": " + std::strerror(error);
  if (error == ENOENT || error == ENOTDIR)
    return Outcome::notFound(message);
  if (error == EACCES || error == EPERM || error == EROFS || error == EISDIR)
    return Outcome::refused(message);
  return Outcome::failed(message);
}

Outcome parseArguments(ArgumentParser &parser, std::span<const std::string> args,
                       ArgumentParser::Parsed *parsed) {
  Outcome stop = Outcome::success();
  auto result = ToolContext::parse(parser, args, &stop);
  if (!result)
    return stop;
  *parsed = std::move(*result);
  return Outcome::success();
}

// Closes a device file handle or a host descriptor when it goes out of scope.
struct DeviceHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~DeviceHandle() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
};
struct HostDescriptor {
  int fd = -1;
  ~HostDescriptor() {
    if (fd >= 0)
      ::close(fd);
  }
};

bool writeAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

} // namespace

std::string FileCommands::usage(std::string_view verb) {
  const std::string paths =
      "\nDevice paths use \\ (or /) and start at the device's file system; names match without\n"
      "regard to case. A path that leads out of the device's fs/ folder is refused.\n";
  if (verb == "push")
    return "usage: device push HOSTFILE DEVPATH\n\n"
           "Copies the host file HOSTFILE to DEVPATH on the device, replacing a file there. When\n"
           "DEVPATH is an existing folder, the file goes inside it under its own name.\n" +
           paths;
  if (verb == "pull")
    return "usage: device pull DEVPATH HOSTFILE\n\n"
           "Copies the device file DEVPATH to HOSTFILE on the host, replacing a file there. When\n"
           "HOSTFILE is an existing folder, the file goes inside it under its own name.\n" +
           paths;
  if (verb == "ls")
    return "usage: device ls [DEVPATTERN]\n\n"
           "Lists the names in a device folder (default: the root), or the names matching a\n"
           "pattern with * and ?, one a line, sorted; folder names end in \\.\n" +
           paths;
  return "usage: device rm [-r] DEVPATH\n\n"
         "Removes a device file or an empty folder; with -r a folder and everything in it.\n"
         "A link is removed itself, wherever it points. The root folder is never removed.\n" +
         paths;
}

Outcome FileCommands::run(std::string_view verb, std::span<const std::string> args,
                          const ToolContext &context) {
  if (verb == "push")
    return push(args, context);
  if (verb == "pull")
    return pull(args, context);
  if (verb == "ls")
    return list(args, context);
  return remove(args, context);
}

Outcome FileCommands::push(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device push");
  parser.positional("HOSTFILE").positional("DEVPATH");
  ArgumentParser::Parsed parsed;
  if (auto outcome = parseArguments(parser, args, &parsed); !outcome.ok() || outcome.wantsUsage())
    return outcome;
  const std::string &host = parsed.positionals[0];
  std::u16string target;
  if (auto outcome = devicePath(parsed.positionals[1], &target); !outcome.ok())
    return outcome;
  const auto hostName = CommandLineText::toDevice(fs::path(host).filename().string());
  if (!hostName)
    return Outcome::refused("host file name is not valid UTF-8");
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  // The device side is checked before the host file is even opened: a path that leaves the
  // device reads nothing and writes nothing.
  DWORD attributes = GetFileAttributesW(target.c_str());
  DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (hostName->empty())
      return Outcome::refused(host + " is a folder");
    target = join(target, *hostName);
    attributes = GetFileAttributesW(target.c_str());
    error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return Outcome::refused(toUtf8(target) + " is a folder");
  } else if (error == ERROR_FILE_NOT_FOUND && isSeparator(target.back())) {
    return Outcome::notFound(toUtf8(target) + ": folder not found");
  }
  // A missing file is what push makes; any other failure (a missing folder, a path that
  // leaves the device) stops here.
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
    return Outcome::fromPlatformError(error, toUtf8(target));

  HostDescriptor source;
  source.fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (source.fd < 0)
    return hostError(errno, "host file " + host);
  struct stat info {};
  if (::fstat(source.fd, &info) != 0)
    return hostError(errno, "host file " + host);
  if (S_ISDIR(info.st_mode))
    return Outcome::refused(host + " is a folder");

  DeviceHandle file;
  file.handle = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file.handle == INVALID_HANDLE_VALUE)
    return Outcome::fromPlatformError(GetLastError(), toUtf8(target));

  std::vector<char> buffer(kChunk);
  Outcome outcome = Outcome::success();
  while (outcome.ok()) {
    const ssize_t got = ::read(source.fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      outcome = hostError(errno, "reading " + host);
      break;
    }
    if (got == 0)
      break;
    DWORD written = 0;
    if (!WriteFile(file.handle, buffer.data(), static_cast<DWORD>(got), &written, nullptr) ||
        written != static_cast<DWORD>(got))
      outcome = Outcome::fromPlatformError(GetLastError(), "writing " + toUtf8(target));
  }
  CloseHandle(file.handle);
  file.handle = INVALID_HANDLE_VALUE;
  // A half-copied file is worse than none.
  if (!outcome.ok())
    DeleteFileW(target.c_str());
  return outcome;
}

Outcome FileCommands::pull(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device pull");
  parser.positional("DEVPATH").positional("HOSTFILE");
  ArgumentParser::Parsed parsed;
  if (auto outcome = parseArguments(parser, args, &parsed); !outcome.ok() || outcome.wantsUsage())
    return outcome;
  std::u16string source;
  if (auto outcome = devicePath(parsed.positionals[0], &source); !outcome.ok())
    return outcome;
  fs::path target = parsed.positionals[1];
  if (target.empty())
    return Outcome::refused("empty host file name");
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  DWORD attributes = 0;
  if (auto outcome = attributesOf(source, &attributes); !outcome.ok())
    return outcome;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return Outcome::refused(toUtf8(source) + " is a folder");

  std::error_code ec;
  if (fs::is_directory(target, ec))
    target /= toUtf8(lastComponent(source));

  DeviceHandle file;
  file.handle = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file.handle == INVALID_HANDLE_VALUE)
    return Outcome::fromPlatformError(GetLastError(), toUtf8(source));

  // The copy lands in a temporary file beside the target and replaces it only when complete.
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temporary = (folder / ("." + target.filename().string() + ".pull-XXXXXX")).string();
  HostDescriptor out;
  out.fd = ::mkstemp(temporary.data());
  if (out.fd < 0)
    return hostError(errno, "host folder " + folder.string());

  std::vector<char> buffer(kChunk);
  Outcome outcome = Outcome::success();
  while (outcome.ok()) {
    DWORD got = 0;
    if (!ReadFile(file.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      outcome = Outcome::fromPlatformError(GetLastError(), "reading " + toUtf8(source));
      break;
    }
    if (got == 0)
      break;
    if (!writeAll(out.fd, buffer.data(), got))
      outcome = hostError(errno, "writing " + target.string());
  }
  if (outcome.ok()) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(out.fd, 0666 & ~mask) != 0)
      outcome = hostError(errno, target.string());
  }
  if (outcome.ok() && ::close(out.fd) != 0)
    outcome = hostError(errno, "writing " + target.string());
  out.fd = -1;
  if (outcome.ok() && ::rename(temporary.c_str(), target.c_str()) != 0)
    outcome = hostError(errno, target.string());
  if (!outcome.ok())
    ::unlink(temporary.c_str());
  return outcome;
}

Outcome FileCommands::list(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device ls");
  parser.optionalPositional("DEVPATTERN");
  ArgumentParser::Parsed parsed;
  if (auto outcome = parseArguments(parser, args, &parsed); !outcome.ok() || outcome.wantsUsage())
    return outcome;
  std::u16string pattern = u"\\";
  if (!parsed.positionals.empty())
    if (auto outcome = devicePath(parsed.positionals[0], &pattern); !outcome.ok())
      return outcome;
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  bool folder = false;
  if (!hasWildcard(pattern)) {
    DWORD attributes = 0;
    if (auto outcome = attributesOf(pattern, &attributes); !outcome.ok())
      return outcome;
    folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder)
      pattern = join(pattern, u"*");
  }

  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool nothing = error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    if (folder && nothing)
      return Outcome::success(); // an empty folder
    if (nothing)
      return Outcome::notFound("nothing matches " + toUtf8(pattern));
    return Outcome::fromPlatformError(error, toUtf8(pattern));
  }
  struct Entry {
    std::u16string folded;
    std::string line;
  };
  std::vector<Entry> entries;
  DWORD error = ERROR_NO_MORE_FILES;
  do {
    const std::u16string name(data.cFileName,
                              std::find(data.cFileName, data.cFileName + MAX_PATH, u'\0'));
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back({foldCase(name), toUtf8(name) + (isFolder ? "\\" : "")});
    data = {};
    if (!FindNextFileW(find, &data)) {
      error = GetLastError();
      break;
    }
  } while (true);
  FindClose(find);
  if (error != ERROR_NO_MORE_FILES)
    return Outcome::fromPlatformError(error, toUtf8(pattern));

  std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
    return a.folded != b.folded ? a.folded < b.folded : a.line < b.line;
  });
  for (const auto &entry : entries)
    context.out() << printable(entry.line) << '\n';
  return Outcome::success();
}

Outcome FileCommands::remove(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device rm");
  parser.flag("-r").positional("DEVPATH");
  ArgumentParser::Parsed parsed;
  if (auto outcome = parseArguments(parser, args, &parsed); !outcome.ok() || outcome.wantsUsage())
    return outcome;
  std::u16string path;
  if (auto outcome = devicePath(parsed.positionals[0], &path); !outcome.ok())
    return outcome;
  if (namesRoot(path))
    return Outcome::refused("refusing to remove the root folder of the device");
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  const std::string subject = toUtf8(path);
  // A link is removed itself, wherever it points (outside fs/ included): nothing behind it is
  // touched or even looked at.
  DWORD error = ERROR_SUCCESS;
  const auto kept = DevicePath::resolve(path, &error, DevicePath::LastLink::Keep);
  if (kept && kept->isLink) {
    if (!DeleteFileW(path.c_str()))
      return Outcome::fromPlatformError(GetLastError(), subject);
    return Outcome::success();
  }

  DWORD attributes = 0;
  if (auto outcome = attributesOf(path, &attributes); !outcome.ok())
    return outcome;

  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!DeleteFileW(path.c_str()))
      return Outcome::fromPlatformError(GetLastError(), subject);
    return Outcome::success();
  }
  if (!parsed.has("-r")) {
    if (RemoveDirectoryW(path.c_str()))
      return Outcome::success();
    const DWORD error = GetLastError();
    if (error == ERROR_DIR_NOT_EMPTY)
      return Outcome::refused(subject + ": folder not empty (use rm -r to remove it all)");
    return Outcome::fromPlatformError(error, subject);
  }

  std::u16string from = path;
  from.push_back(u'\0'); // the list ends with two zeros; c_str() adds the second
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  SetLastError(ERROR_SUCCESS);
  const int result = SHFileOperationW(&operation);
  if (result != 0 || operation.fAnyOperationsAborted) {
    const DWORD error = GetLastError();
    return Outcome::fromPlatformError(error != ERROR_SUCCESS ? error : static_cast<DWORD>(result),
                                      subject);
  }
  return Outcome::success();
}

} // namespace ce::tool
