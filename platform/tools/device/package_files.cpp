#include "package_files.h"

#include "../../src/kernel/system_error_text.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce::tool {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kSetupFolder = u"\\Windows\\AppMgr";

class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

private:
  int fd_;
};

bool writeAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0)
      return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

std::string hostReason(const std::string &what, int error) {
  return what + ": " + std::strerror(error);
}

std::size_t depth(std::u16string_view path) {
  return static_cast<std::size_t>(std::count(path.begin(), path.end(), u'\\'));
}

} // namespace

std::u16string PackageFiles::keptSetupLibrary(std::u16string_view name) {
  return std::u16string(kSetupFolder) + u"\\" + std::u16string(name) + u".dll";
}

std::u16string PackageFiles::stagedSetupLibrary(std::u16string_view name) {
  return std::u16string(kSetupFolder) + u"\\Install\\" + std::u16string(name) + u".dll";
}

bool PackageFiles::isKeptSetupLibrary(std::u16string_view name, std::u16string_view devicePath) {
  return !name.empty() && (ce::equalsIgnoreCase(devicePath, keptSetupLibrary(name)) ||
                           ce::equalsIgnoreCase(devicePath, stagedSetupLibrary(name)));
}

std::vector<std::u16string> PackageFiles::parentFolders(std::u16string_view devicePath) {
  std::vector<std::u16string> folders;
  for (std::size_t at = devicePath.find(u'\\', 1); at != std::u16string_view::npos;
       at = devicePath.find(u'\\', at + 1))
    folders.emplace_back(devicePath.substr(0, at));
  return folders;
}

DWORD PackageFiles::makeFolders(std::u16string_view folder, std::vector<std::u16string> *created) {
  std::vector<std::u16string> chain = parentFolders(folder);
  if (folder.size() > 1)
    chain.emplace_back(folder);
  for (const auto &path : chain) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ALREADY_EXISTS; // a file where a folder should be
      continue;
    }
    if (!CreateDirectoryW(path.c_str(), nullptr))
      return GetLastError();
    created->push_back(path);
  }
  return ERROR_SUCCESS;
}

bool PackageFiles::copyIn(const fs::path &source, const std::u16string &destination,
                          std::string *reason) {
  DWORD error = ERROR_SUCCESS;
  const auto resolved = DevicePath::resolve(destination, &error);
  if (!resolved) {
    *reason = errorText(error);
    return false;
  }
  if (resolved->isDirectory || resolved->isRoot) {
    *reason = "a folder of that name is in the way";
    return false;
  }
  const fs::path target = resolved->hostPath;

  Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0 || ::fstat(in.get(), &info) != 0) {
    *reason = hostReason("reading " + source.string(), errno);
    return false;
  }

  std::string temporary =
      (target.parent_path() / ("." + target.filename().string() + ".install-XXXXXX")).string();
  Descriptor out(::mkstemp(temporary.data()));
  if (out.get() < 0) {
    *reason = hostReason("writing", errno);
    return false;
  }

  bool ok = true;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      *reason = hostReason("reading " + source.string(), errno);
      ok = false;
      break;
    }
    if (got == 0)
      break;
    if (!writeAll(out.get(), buffer.data(), static_cast<std::size_t>(got))) {
      *reason = hostReason("writing", errno);
      ok = false;
      break;
    }
  }
  if (ok) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t execute = (info.st_mode & 0111) ? 0111 : 0;
    if (::fchmod(out.get(), (0666 | execute) & ~mask) != 0) {
      *reason = hostReason("writing", errno);
      ok = false;
    }
  }
  if (ok && ::close(out.release()) != 0) {
    *reason = hostReason("writing", errno);
    ok = false;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    *reason = hostReason("writing", errno);
    ok = false;
  }
  if (!ok)
    ::unlink(temporary.c_str());
  return ok;
}

bool PackageFiles::removeFile(const std::u16string &devicePath, std::string *reason) {
  if (DeleteFileW(devicePath.c_str()))
    return true;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return true;
  *reason = errorText(error);
  return false;
}

void PackageFiles::removeEmptyFolders(const std::vector<std::u16string> &folders) {
  for (const auto &folder : folders)
    RemoveDirectoryW(folder.c_str()); // refuses a folder that still holds something
}

void PackageFiles::sortDeepestFirst(std::vector<std::u16string> &folders) {
  std::stable_sort(folders.begin(), folders.end(),
                   [](const auto &a, const auto &b) { return depth(a) > depth(b); });
}

std::string PackageFiles::errorText(DWORD error) {
  std::string text = "error " + std::to_string(error);
  if (const char16_t *words = systemErrorText(error))
    text += " (" + ce::toUtf8(words) + ")";
  return text;
}

} // namespace ce::tool
