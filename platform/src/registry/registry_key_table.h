// The process's table of open registry handles (HKEY values returned by RegOpenKeyExW and
// RegCreateKeyExW). Each handle keeps the database it was opened on, so it goes on working on
// that device's registry after the process switches to another device root.
#pragma once

#include "registry/registry_database.h"
#include "registry/registry_key_ref.h"

#include <ce/types.h>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace ce {

struct RegistryOpenKey {
  std::shared_ptr<RegistryDatabase> database;
  RegistryKeyRef key;
};

class RegistryKeyTable {
public:
  static RegistryKeyTable &instance();

  HKEY add(RegistryOpenKey key);
  // Null when the handle is not open.
  std::shared_ptr<const RegistryOpenKey> get(HKEY handle) const;
  // False when the handle was not open.
  bool close(HKEY handle);
  std::size_t size() const;

private:
  // Handle values are multiples of 4 in [first, last]. They are not reused until the counter
  // wraps, so a handle used after RegCloseKey fails instead of reaching another key. The range
  // lies below the predefined roots (0x80000000...) and far above kernel handles.
  static constexpr std::uintptr_t first = 0x40000000;
  static constexpr std::uintptr_t last = 0x7FFFFFFC;

  mutable std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<const RegistryOpenKey>> keys_;
  std::uintptr_t next_ = first;
};

} // namespace ce
