#include "icons/icon_table.h"

namespace ce {

IconTable &IconTable::instance() {
  static IconTable *table = new IconTable; // lives until exit; threads may outlive statics
  return *table;
}

HICON IconTable::add(std::shared_ptr<Icon> icon) {
  std::lock_guard lock(mutex_);
  next_ += 4;
  icons_.emplace(next_, std::move(icon));
  return reinterpret_cast<HICON>(next_);
}

std::shared_ptr<Icon> IconTable::get(HICON handle) const {
  std::lock_guard lock(mutex_);
  auto it = icons_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == icons_.end() ? nullptr : it->second;
}

bool IconTable::remove(HICON handle) {
  std::shared_ptr<Icon> gone;
  std::lock_guard lock(mutex_);
  auto it = icons_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == icons_.end())
    return false;
  gone = std::move(it->second); // destroyed after the lock is released
  icons_.erase(it);
  return true;
}

} // namespace ce
