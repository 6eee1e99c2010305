#include "windowing/window_procedure_table.h"

namespace ce {

WindowProcedureTable &WindowProcedureTable::instance() {
  static auto *table = new WindowProcedureTable; // lives until exit; detached threads dispatch
  return *table;
}

void WindowProcedureTable::add(HWND hwnd, WNDPROC procedure) {
  std::lock_guard lock(mutex_);
  entries_[hwnd] = Entry{procedure, 0};
}

void WindowProcedureTable::remove(HWND hwnd) {
  std::lock_guard lock(mutex_);
  entries_.erase(hwnd);
}

bool WindowProcedureTable::contains(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  return entries_.count(hwnd) != 0;
}

std::optional<WNDPROC> WindowProcedureTable::procedure(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(hwnd);
  if (it == entries_.end())
    return std::nullopt;
  return it->second.procedure;
}

std::optional<WNDPROC> WindowProcedureTable::setProcedure(HWND hwnd, WNDPROC procedure) {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(hwnd);
  if (it == entries_.end())
    return std::nullopt;
  const WNDPROC previous = it->second.procedure;
  it->second.procedure = procedure;
  return previous;
}

std::optional<LONG_PTR> WindowProcedureTable::userData(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(hwnd);
  if (it == entries_.end())
    return std::nullopt;
  return it->second.userData;
}

std::optional<LONG_PTR> WindowProcedureTable::setUserData(HWND hwnd, LONG_PTR value) {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(hwnd);
  if (it == entries_.end())
    return std::nullopt;
  const LONG_PTR previous = it->second.userData;
  it->second.userData = value;
  return previous;
}

} // namespace ce
