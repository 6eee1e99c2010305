// File handles: CreateFileW and the calls on the handles it returns.
#include "files/device_file.h"
#include "files/host_error.h"
#include "files/path_argument.h"

#include <ce/core/device_path.h>
#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <memory>

namespace {

constexpr DWORD genericAll = 0x10000000u;
constexpr DWORD genericExecute = 0x20000000u;

HANDLE fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

BOOL failBool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::shared_ptr<ce::DeviceFile> fileOf(HANDLE handle) {
  return ce::HandleTable::instance().getAs<ce::DeviceFile>(handle);
}

int hostOpenMode(bool read, bool write) {
  if (read && write) return O_RDWR;
  if (write) return O_WRONLY;
  return O_RDONLY;
}

// Opens an existing regular file (never following a link: the resolver already did) or
// creates a new one. FIFOs and devices are refused before they could block.
int openHostFile(const std::filesystem::path& path, int flags, DWORD* error) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0) {
    *error =
        errno == ELOOP ? ERROR_ACCESS_DENIED : ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    *error = ERROR_ACCESS_DENIED;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

} // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flags, HANDLE) {
  if (!fileName || creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
    return fail(ERROR_INVALID_PARAMETER);
  DWORD access = desiredAccess & (GENERIC_READ | GENERIC_WRITE);
  if (desiredAccess & genericAll) access |= GENERIC_READ | GENERIC_WRITE;
  if (desiredAccess & genericExecute) access |= GENERIC_READ;
  if (creationDisposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
    return fail(ERROR_INVALID_PARAMETER);

  DWORD error = ERROR_SUCCESS;
  auto target = ce::DevicePath::resolve(ce::pathArgument(fileName), &error);
  if (!target) return fail(error);
  if (target->isDirectory) return fail(ERROR_ACCESS_DENIED);
  if (target->trailingSeparator) return fail(ERROR_INVALID_NAME);

  const bool truncates =
      creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
  const bool hostRead = (access & GENERIC_READ) || !(access & GENERIC_WRITE);
  const bool hostWrite = (access & GENERIC_WRITE) || truncates;
  bool existed = target->exists;
  int fd = -1;
  if (!existed) {
    if (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING)
      return fail(ERROR_FILE_NOT_FOUND);
    fd = openHostFile(target->hostPath, hostOpenMode(hostRead, hostWrite) | O_CREAT | O_EXCL,
                      &error);
    if (fd < 0 && error != ERROR_ALREADY_EXISTS) return fail(error);
    if (fd < 0)
      existed = true; // created by someone else in between: treat as existing
    else if (flags & FILE_ATTRIBUTE_READONLY)
      ::fchmod(fd, 0444);
  }
  if (existed) {
    if (creationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    struct stat info {};
    if (::stat(target->hostPath.c_str(), &info) != 0)
      return fail(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
    if (S_ISDIR(info.st_mode)) return fail(ERROR_ACCESS_DENIED);
    // The device refuses to write a read-only file, whatever the host user may do.
    if (hostWrite && !(info.st_mode & S_IWUSR)) return fail(ERROR_ACCESS_DENIED);
    fd = openHostFile(target->hostPath, hostOpenMode(hostRead, hostWrite), &error);
    if (fd < 0) return fail(error);
  }

  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    return fail(ERROR_ACCESS_DENIED);
  }
  const ce::OpenFileTable::FileId id{info.st_dev, info.st_ino};
  auto ticket = ce::OpenFileTable::instance().acquire(id, access, shareMode);
  if (!ticket) {
    ::close(fd);
    return fail(ERROR_SHARING_VIOLATION);
  }
  auto file = std::make_shared<ce::DeviceFile>(fd, access, id, *ticket);
  // Truncate only once the share modes allowed this open.
  if (existed && truncates && ::ftruncate(fd, 0) != 0) return fail(ERROR_ACCESS_DENIED);
  HANDLE handle = ce::HandleTable::instance().add(std::move(file));
  const bool reportsExisting =
      existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
  SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPVOID overlapped) {
  if (bytesRead) *bytesRead = 0;
  auto file = fileOf(handle);
  if (!file) return failBool(ERROR_INVALID_HANDLE);
  if (overlapped || (!buffer && bytesToRead > 0)) return failBool(ERROR_INVALID_PARAMETER);
  std::size_t done = 0;
  const DWORD error = file->read(buffer, bytesToRead, &done);
  if (bytesRead) *bytesRead = static_cast<DWORD>(done);
  if (error != ERROR_SUCCESS) return failBool(error);
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  auto file = fileOf(handle);
  if (!file) return failBool(ERROR_INVALID_HANDLE);
  if (overlapped || (!buffer && bytesToWrite > 0)) return failBool(ERROR_INVALID_PARAMETER);
  std::size_t done = 0;
  const DWORD error = file->write(buffer, bytesToWrite, &done);
  if (bytesWritten) *bytesWritten = static_cast<DWORD>(done);
  if (error != ERROR_SUCCESS) return failBool(error);
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LPLONG distanceHigh, DWORD moveMethod) {
  auto file = fileOf(handle);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the distance is a signed 32-bit value and the result must fit 32 bits.
  std::int64_t move = distance;
  std::uint64_t limit = 0xFFFFFFFFull;
  if (distanceHigh) {
    move = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
        static_cast<DWORD>(distance));
    limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  }
  std::uint64_t position = 0;
  const DWORD error = file->seek(move, moveMethod, limit, &position);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(position >> 32);
  // A low part of 0xFFFFFFFF is a valid position; callers tell it apart by GetLastError.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh) {
  auto file = fileOf(handle);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  std::uint64_t size = 0;
  if (DWORD error = file->size(&size); error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_SIZE;
  }
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL FlushFileBuffers(HANDLE handle) {
  auto file = fileOf(handle);
  if (!file) return failBool(ERROR_INVALID_HANDLE);
  if (DWORD error = file->flush(); error != ERROR_SUCCESS) return failBool(error);
  return TRUE;
}

BOOL SetEndOfFile(HANDLE handle) {
  auto file = fileOf(handle);
  if (!file) return failBool(ERROR_INVALID_HANDLE);
  if (DWORD error = file->setEnd(); error != ERROR_SUCCESS) return failBool(error);
  return TRUE;
}
