#include "files/device_file.h"
#include "files/host_error.h"

#include <ce/errors.h>
#include <ce/files.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace ce {

DeviceFile::DeviceFile(int fd, DWORD access, OpenFileTable::FileId id, std::uint64_t shareTicket)
    : fd_(fd), access_(access), id_(id), shareTicket_(shareTicket) {}

DeviceFile::~DeviceFile() {
  releaseShare();
  if (fd_ >= 0) ::close(fd_);
}

void DeviceFile::onHandleClosed() {
  // Another thread may still be inside a call on this object; it keeps the descriptor alive,
  // but the share mode ends with the handle.
  std::lock_guard lock(mutex_);
  releaseShare();
}

void DeviceFile::releaseShare() {
  if (shareTicket_) {
    OpenFileTable::instance().release(id_, *shareTicket_);
    shareTicket_.reset();
  }
}

bool DeviceFile::canRead() const { return (access_ & GENERIC_READ) != 0; }
bool DeviceFile::canWrite() const { return (access_ & GENERIC_WRITE) != 0; }

DWORD DeviceFile::read(void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!canRead()) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(mutex_);
  auto* out = static_cast<char*>(buffer);
  while (*done < size) {
    const ssize_t n =
        ::pread(fd_, out + *done, size - *done, static_cast<off_t>(position_ + *done));
    if (n < 0) {
      if (errno == EINTR) continue;
      position_ += *done;
      return errno == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT;
    }
    if (n == 0) break; // end of file: success with fewer bytes
    *done += static_cast<std::size_t>(n);
  }
  position_ += *done;
  return ERROR_SUCCESS;
}

DWORD DeviceFile::write(const void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!canWrite()) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(mutex_);
  const auto* in = static_cast<const char*>(buffer);
  while (*done < size) {
    const ssize_t n =
        ::pwrite(fd_, in + *done, size - *done, static_cast<off_t>(position_ + *done));
    if (n < 0) {
      if (errno == EINTR) continue;
      const int hostError = errno;
      position_ += *done;
      return hostError == ENOSPC || hostError == EDQUOT || hostError == EFBIG ? ERROR_DISK_FULL
                                                                              : ERROR_WRITE_FAULT;
    }
    *done += static_cast<std::size_t>(n);
  }
  position_ += *done;
  return ERROR_SUCCESS;
}

DWORD DeviceFile::seek(std::int64_t distance, DWORD moveMethod, std::uint64_t limit,
                       std::uint64_t* position) {
  std::lock_guard lock(mutex_);
  std::int64_t base = 0;
  switch (moveMethod) {
  case FILE_BEGIN:
    base = 0;
    break;
  case FILE_CURRENT:
    base = static_cast<std::int64_t>(position_);
    break;
  case FILE_END: {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND);
    base = info.st_size;
    break;
  }
  default:
    return ERROR_INVALID_PARAMETER;
  }
  if (distance > 0 && base > std::numeric_limits<std::int64_t>::max() - distance)
    return ERROR_INVALID_PARAMETER;
  if (base + distance < 0) return ERROR_NEGATIVE_SEEK;
  if (static_cast<std::uint64_t>(base + distance) > limit) return ERROR_INVALID_PARAMETER;
  position_ = static_cast<std::uint64_t>(base + distance);
  *position = position_;
  return ERROR_SUCCESS;
}

DWORD DeviceFile::size(std::uint64_t* size) {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND);
  *size = static_cast<std::uint64_t>(info.st_size);
  return ERROR_SUCCESS;
}

DWORD DeviceFile::flush() {
  if (!canWrite()) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(mutex_);
  if (::fsync(fd_) != 0 && errno != EINVAL) return ERROR_WRITE_FAULT;
  return ERROR_SUCCESS;
}

DWORD DeviceFile::setEnd() {
  if (!canWrite()) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(mutex_);
  if (position_ > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
    return ERROR_INVALID_PARAMETER;
  if (::ftruncate(fd_, static_cast<off_t>(position_)) != 0)
    return errno == EFBIG || errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
  return ERROR_SUCCESS;
}

} // namespace ce
