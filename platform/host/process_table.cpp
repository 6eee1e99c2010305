#include "process_table.h"

#include <algorithm>
#include <unistd.h>

namespace ce::host {

ProcessTable::~ProcessTable() {
  for (auto &[pid, record] : records_)
    if (record.pidfd >= 0)
      ::close(record.pidfd);
}

ProcessRecord &ProcessTable::add(ProcessRecord record) {
  const DWORD pid = record.pid;
  // A pid seen again after its process ended is a new process: forget the old exit.
  exits_.erase(
      std::remove_if(exits_.begin(), exits_.end(), [pid](const auto &e) { return e.first == pid; }),
      exits_.end());
  auto [it, inserted] = records_.insert_or_assign(pid, std::move(record));
  return it->second;
}

ProcessRecord *ProcessTable::find(DWORD pid) {
  auto it = records_.find(pid);
  return it == records_.end() ? nullptr : &it->second;
}

const ProcessRecord *ProcessTable::find(DWORD pid) const {
  auto it = records_.find(pid);
  return it == records_.end() ? nullptr : &it->second;
}

void ProcessTable::remove(DWORD pid, DWORD exitCode) {
  auto it = records_.find(pid);
  if (it == records_.end())
    return;
  if (it->second.pidfd >= 0)
    ::close(it->second.pidfd);
  records_.erase(it);
  if (exits_.size() >= kRememberedExits)
    exits_.erase(exits_.begin());
  exits_.emplace_back(pid, exitCode);
}

std::optional<DWORD> ProcessTable::exitCodeOf(DWORD pid) const {
  for (auto it = exits_.rbegin(); it != exits_.rend(); ++it)
    if (it->first == pid)
      return it->second;
  return std::nullopt;
}

std::vector<const ProcessRecord *> ProcessTable::list() const {
  std::vector<const ProcessRecord *> out;
  for (const auto &[pid, record] : records_)
    out.push_back(&record);
  return out;
}

} // namespace ce::host
