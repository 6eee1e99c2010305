// What a process keeps of a key it has read: its values and, once enumerated, its subkeys, each
// in creation order.
#pragma once

#include <ce/core/utf.h>
#include <ce/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ce {

struct RegistryCachedValue {
  std::u16string name; // as created
  DWORD type = 0;
  DWORD size = 0; // bytes
  // True when data holds the bytes; a large value is read from the database when asked for.
  bool held = false;
  std::vector<BYTE> data;
};

struct RegistryCachedSubkey {
  std::u16string name;
  std::int64_t written = 0;
};

struct RegistryCachedKey {
  std::int64_t written = 0; // FILETIME ticks of the last change
  std::vector<RegistryCachedValue> values;
  bool subkeysRead = false;
  std::vector<RegistryCachedSubkey> subkeys;

  // The value of that name, whatever the case of its letters, or null. Callers mostly ask in
  // the case the name was written with, which a plain comparison finds; otherwise both names
  // are folded as they are compared, so that a lookup allocates nothing.
  RegistryCachedValue *value(std::u16string_view name) {
    for (auto &v : values)
      if (v.name == name)
        return &v;
    for (auto &v : values) {
      if (v.name.size() != name.size())
        continue;
      std::size_t i = 0;
      while (i < name.size() && foldCase(name[i]) == foldCase(v.name[i]))
        ++i;
      if (i == name.size())
        return &v;
    }
    return nullptr;
  }
  const RegistryCachedValue *value(std::u16string_view name) const {
    return const_cast<RegistryCachedKey *>(this)->value(name);
  }
  // Memory taken, roughly, for the cache's budget.
  std::size_t footprint() const {
    std::size_t bytes = sizeof(*this);
    for (const auto &v : values)
      bytes += sizeof(v) + v.name.size() * 2 + v.data.size();
    for (const auto &s : subkeys)
      bytes += sizeof(s) + s.name.size() * 2;
    return bytes;
  }
};

} // namespace ce
