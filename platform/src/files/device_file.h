// An open device file: the kernel object behind a HANDLE from CreateFileW.
#pragma once

#include "files/open_file_table.h"

#include <ce/core/kernel_object.h>

#include <cstdint>
#include <mutex>
#include <optional>

namespace ce {

class DeviceFile : public KernelObject {
public:
  // Takes ownership of `fd`; the share ticket is released when the handle closes.
  DeviceFile(int fd, DWORD access, OpenFileTable::FileId id, std::uint64_t shareTicket);
  ~DeviceFile() override;
  DeviceFile(const DeviceFile&) = delete;
  DeviceFile& operator=(const DeviceFile&) = delete;

  void onHandleClosed() override;

  bool canRead() const;
  bool canWrite() const;

  // Each operation returns ERROR_SUCCESS or a Win32 error code. Operations on one handle are
  // serialised, so threads sharing a handle see whole reads and writes at distinct positions.
  DWORD read(void* buffer, std::size_t size, std::size_t* done);
  DWORD write(const void* buffer, std::size_t size, std::size_t* done);
  // Moves the position by `distance` from FILE_BEGIN, FILE_CURRENT or FILE_END. A new position
  // below 0 fails with ERROR_NEGATIVE_SEEK, one above `limit` with ERROR_INVALID_PARAMETER;
  // either way the position stays where it was.
  DWORD seek(std::int64_t distance, DWORD moveMethod, std::uint64_t limit, std::uint64_t* position);
  DWORD size(std::uint64_t* size);
  DWORD flush();
  // Cuts or extends the file to the current position.
  DWORD setEnd();

private:
  mutable std::mutex mutex_;
  int fd_;
  DWORD access_;
  OpenFileTable::FileId id_;
  std::optional<std::uint64_t> shareTicket_;
  std::uint64_t position_ = 0;

  void releaseShare();
};

} // namespace ce
