#include "registry/registry_key_table.h"

namespace ce {

RegistryKeyTable &RegistryKeyTable::instance() {
  static auto *table = new RegistryKeyTable; // lives until exit; threads may outlive statics
  return *table;
}

HKEY RegistryKeyTable::add(RegistryOpenKey key) {
  auto shared = std::make_shared<const RegistryOpenKey>(std::move(key));
  std::lock_guard lock(mutex_);
  std::uintptr_t value = next_;
  while (keys_.count(value))
    value = value == last ? first : value + 4;
  next_ = value == last ? first : value + 4;
  keys_.emplace(value, std::move(shared));
  return reinterpret_cast<HKEY>(value);
}

std::shared_ptr<const RegistryOpenKey> RegistryKeyTable::get(HKEY handle) const {
  std::lock_guard lock(mutex_);
  auto it = keys_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == keys_.end() ? nullptr : it->second;
}

bool RegistryKeyTable::close(HKEY handle) {
  std::shared_ptr<const RegistryOpenKey> closed;
  {
    std::lock_guard lock(mutex_);
    auto it = keys_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == keys_.end())
      return false;
    closed = std::move(it->second);
    keys_.erase(it);
  }
  // The last reference to a database may close its connections; do that outside the lock.
  return true;
}

std::size_t RegistryKeyTable::size() const {
  std::lock_guard lock(mutex_);
  return keys_.size();
}

} // namespace ce
