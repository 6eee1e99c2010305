// Whole-file operations by name: DeleteFileW, MoveFileW, CopyFileW.
#include "files/host_error.h"
#include "files/open_file_table.h"
#include "files/path_argument.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

BOOL failBool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

ce::OpenFileTable::FileId idOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

// Renames without ever replacing an existing entry; falls back to a check-then-rename on host
// file systems that cannot do it atomically.
int renameNoReplace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
  struct stat info {};
  if (::lstat(to, &info) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from, to);
}

bool isInside(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  const std::string a = inner.string(), b = outer.string();
  return a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '/';
}

// The name a new entry gets: the last component of the device path, with the case given.
std::string newLeafName(std::u16string_view devicePath) {
  std::size_t end = devicePath.size();
  while (end > 0 && (devicePath[end - 1] == u'\\' || devicePath[end - 1] == u'/')) --end;
  std::size_t start = end;
  while (start > 0 && devicePath[start - 1] != u'\\' && devicePath[start - 1] != u'/') --start;
  return ce::toUtf8(devicePath.substr(start, end - start));
}

// Copies every byte of `in` to `out`; a Win32 error code on failure.
DWORD copyBytes(int in, int out) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return ERROR_READ_FAULT;
    }
    if (got == 0) return ERROR_SUCCESS;
    ssize_t put = 0;
    while (put < got) {
      const ssize_t n = ::write(out, buffer + put, static_cast<std::size_t>(got - put));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno == ENOSPC || errno == EDQUOT ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
      }
      put += n;
    }
  }
}

} // namespace

BOOL DeleteFileW(LPCWSTR fileName) {
  if (!fileName) return failBool(ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  auto target =
      ce::DevicePath::resolve(ce::pathArgument(fileName), &error, ce::DevicePath::LastLink::Keep);
  if (!target) return failBool(error);
  if (!target->exists) return failBool(ERROR_FILE_NOT_FOUND);
  if (target->isDirectory || target->isRoot) return failBool(ERROR_ACCESS_DENIED);
  if (target->trailingSeparator) return failBool(ERROR_INVALID_NAME);
  if (!target->isLink) {
    struct stat info {};
    if (::lstat(target->hostPath.c_str(), &info) != 0)
      return failBool(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
    if (!(info.st_mode & S_IWUSR)) return failBool(ERROR_ACCESS_DENIED);
    if (!ce::OpenFileTable::instance().allowsDelete(idOf(info)))
      return failBool(ERROR_SHARING_VIOLATION);
  }
  if (::unlink(target->hostPath.c_str()) != 0)
    return failBool(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
  return TRUE;
}

BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName) {
  if (!existingName || !newName) return failBool(ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  auto source = ce::DevicePath::resolve(ce::pathArgument(existingName), &error,
                                        ce::DevicePath::LastLink::Keep);
  if (!source) return failBool(error);
  if (!source->exists) return failBool(ERROR_FILE_NOT_FOUND);
  if (source->isRoot) return failBool(ERROR_ACCESS_DENIED);
  const std::u16string_view newPath = ce::pathArgument(newName);
  auto target = ce::DevicePath::resolve(newPath, &error, ce::DevicePath::LastLink::Keep);
  if (!target) return failBool(error);
  if (target->isRoot) return failBool(ERROR_ACCESS_DENIED);

  std::filesystem::path destination = target->hostPath;
  if (target->exists) {
    // Only the entry itself may be found there: a rename that changes nothing but case.
    if (target->hostPath != source->hostPath) return failBool(ERROR_ALREADY_EXISTS);
    destination = target->hostPath.parent_path() / newLeafName(newPath);
    if (destination == source->hostPath) return TRUE;
  }
  if (source->isDirectory && isInside(destination, source->hostPath))
    return failBool(ERROR_ACCESS_DENIED);
  struct stat info {};
  if (::lstat(source->hostPath.c_str(), &info) != 0)
    return failBool(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
  if (S_ISREG(info.st_mode) && !ce::OpenFileTable::instance().allowsDelete(idOf(info)))
    return failBool(ERROR_SHARING_VIOLATION);
  const bool caseOnly = target->exists;
  const int result = caseOnly ? ::rename(source->hostPath.c_str(), destination.c_str())
                              : renameNoReplace(source->hostPath.c_str(), destination.c_str());
  if (result != 0) {
    if (errno == EEXIST || errno == ENOTEMPTY) return failBool(ERROR_ALREADY_EXISTS);
    return failBool(ce::win32ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND));
  }
  return TRUE;
}

BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists) {
  if (!existingName || !newName) return failBool(ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  auto source = ce::DevicePath::resolve(ce::pathArgument(existingName), &error);
  if (!source) return failBool(error);
  if (!source->exists) return failBool(ERROR_FILE_NOT_FOUND);
  if (source->isDirectory) return failBool(ERROR_ACCESS_DENIED);
  auto target = ce::DevicePath::resolve(ce::pathArgument(newName), &error);
  if (!target) return failBool(error);
  if (target->isDirectory) return failBool(ERROR_ACCESS_DENIED);
  if (target->trailingSeparator) return failBool(ERROR_INVALID_NAME);

  const int in = ::open(source->hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (in < 0) return failBool(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
  struct stat sourceInfo {};
  if (::fstat(in, &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode)) {
    ::close(in);
    return failBool(ERROR_ACCESS_DENIED);
  }
  ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
  // The copy reads the source as a reader that shares reading would.
  auto& opens = ce::OpenFileTable::instance();
  const auto sourceId = idOf(sourceInfo);
  auto ticket = opens.acquire(sourceId, GENERIC_READ, FILE_SHARE_READ);
  auto finish = [&](DWORD code) {
    if (ticket) opens.release(sourceId, *ticket);
    ::close(in);
    if (code == ERROR_SUCCESS) return TRUE;
    return failBool(code);
  };
  if (!ticket) return finish(ERROR_SHARING_VIOLATION);

  if (target->exists) {
    if (failIfExists) return finish(ERROR_FILE_EXISTS);
    struct stat targetInfo {};
    if (::stat(target->hostPath.c_str(), &targetInfo) != 0)
      return finish(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
    if (!(targetInfo.st_mode & S_IWUSR)) return finish(ERROR_ACCESS_DENIED);
    // The new content replaces the old file whole; a handle open on the old one would keep
    // seeing the old bytes, so an open destination is refused instead.
    if (idOf(targetInfo) == sourceId || opens.isOpen(idOf(targetInfo)))
      return finish(ERROR_SHARING_VIOLATION);
  }

  // Write beside the destination, then put it in place in one step: a failed copy leaves the
  // old destination as it was and no half-written file behind.
  std::string temporary = (target->hostPath.parent_path() / ".ce-copy-XXXXXX").string();
  const int out = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (out < 0) return finish(ce::win32ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND));
  DWORD code = copyBytes(in, out);
  if (code == ERROR_SUCCESS) {
    // The copy keeps the source's read-only state and last write time, as the device does.
    ::fchmod(out, sourceInfo.st_mode & 0777);
    const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0 && code == ERROR_SUCCESS) code = ERROR_WRITE_FAULT;
  if (code == ERROR_SUCCESS) {
    const int moved = failIfExists ? renameNoReplace(temporary.c_str(), target->hostPath.c_str())
                                   : ::rename(temporary.c_str(), target->hostPath.c_str());
    if (moved != 0)
      code = errno == EEXIST ? ERROR_FILE_EXISTS
                             : ce::win32ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND);
  }
  if (code != ERROR_SUCCESS) ::unlink(temporary.c_str());
  return finish(code);
}
