#include "files/open_file_table.h"

#include <ce/files.h>

#include <algorithm>

namespace ce {

OpenFileTable& OpenFileTable::instance() {
  static OpenFileTable* table = new OpenFileTable; // outlives handles closed during exit
  return *table;
}

std::optional<std::uint64_t> OpenFileTable::acquire(FileId id, DWORD access, DWORD share) {
  std::lock_guard lock(mutex_);
  auto& opens = opens_[id];
  for (const Open& other : opens) {
    // Each side must allow what the other does: the new open's access against the old share
    // mode, and the old open's access against the new share mode.
    if ((access & GENERIC_READ) && !(other.share & FILE_SHARE_READ)) return std::nullopt;
    if ((access & GENERIC_WRITE) && !(other.share & FILE_SHARE_WRITE)) return std::nullopt;
    if ((other.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return std::nullopt;
    if ((other.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return std::nullopt;
  }
  const std::uint64_t ticket = nextTicket_++;
  opens.push_back({ticket, access, share});
  return ticket;
}

void OpenFileTable::release(FileId id, std::uint64_t ticket) {
  std::lock_guard lock(mutex_);
  auto it = opens_.find(id);
  if (it == opens_.end()) return;
  std::erase_if(it->second, [&](const Open& open) { return open.ticket == ticket; });
  if (it->second.empty()) opens_.erase(it);
}

bool OpenFileTable::allowsDelete(FileId id) const {
  std::lock_guard lock(mutex_);
  auto it = opens_.find(id);
  if (it == opens_.end()) return true;
  return std::all_of(it->second.begin(), it->second.end(),
                     [](const Open& open) { return (open.share & FILE_SHARE_DELETE) != 0; });
}

bool OpenFileTable::isOpen(FileId id) const {
  std::lock_guard lock(mutex_);
  return opens_.count(id) != 0;
}

} // namespace ce
