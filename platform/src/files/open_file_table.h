// The share modes of every file this process holds open, keyed by host file identity.
//
// Share modes are enforced between the open handles of one process. Opens by other processes
// of the device are not seen here; the device host arbitrates those once files go through it.
#pragma once

#include <ce/types.h>

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace ce {

class OpenFileTable {
public:
  struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileId&) const = default;
  };

  static OpenFileTable& instance();

  // Records an open with the given GENERIC_READ/WRITE access and FILE_SHARE_* mode. Returns a
  // ticket for release(), or nothing when it conflicts with an open already recorded (the
  // caller reports ERROR_SHARING_VIOLATION).
  std::optional<std::uint64_t> acquire(FileId id, DWORD access, DWORD share);
  void release(FileId id, std::uint64_t ticket);

  // True when every open of the file lets others delete or rename it (FILE_SHARE_DELETE), or
  // when it is not open at all.
  bool allowsDelete(FileId id) const;
  // True when some open handle refers to the file.
  bool isOpen(FileId id) const;

private:
  struct Open {
    std::uint64_t ticket;
    DWORD access;
    DWORD share;
  };
  mutable std::mutex mutex_;
  std::map<FileId, std::vector<Open>> opens_;
  std::uint64_t nextTicket_ = 1;
};

} // namespace ce
