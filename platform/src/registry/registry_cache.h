// The keys a process has read from one registry database, all as of one state of that database:
// the data version SQLite reported while they were read. Its owner compares that version with the
// database's before every use and starts afresh when it moved, so nothing kept here is ever
// older than the last commit of any process.
#pragma once

#include "registry/registry_cached_key.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ce {

class RegistryCache {
public:
  // Memory kept at most, roughly; past it the cache starts afresh.
  static constexpr std::size_t budget = 8u << 20;
  static constexpr std::int64_t noVersion = -1;

  // True when what is held was read at this version.
  bool holds(std::int64_t version) const { return version_ != noVersion && version_ == version; }
  // Forgets everything; what is noted from now on was read at version.
  void restart(std::int64_t version);

  // The id of the key at a folded path below a root (1 to 4): null when unknown, 0 when the key
  // is known to be absent.
  const std::int64_t *findPath(std::int64_t root, std::u16string_view folded) const;
  void notePath(std::int64_t root, std::u16string_view folded, std::int64_t id);

  // Null when the key is not held. Noting a key replaces what was held of it; a reference
  // stays valid until the next note or restart.
  RegistryCachedKey *findKey(std::int64_t id);
  RegistryCachedKey &noteKey(std::int64_t id, RegistryCachedKey key);

private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view text) const {
      return std::hash<std::u16string_view>{}(text);
    }
  };
  using PathMap = std::unordered_map<std::u16string, std::int64_t, TextHash, std::equal_to<>>;

  void clear();
  // Clears everything first when adding bytes would go past the budget.
  void makeRoom(std::size_t bytes);

  std::int64_t version_ = noVersion;
  std::array<PathMap, 4> paths_; // by root id - 1
  std::unordered_map<std::int64_t, RegistryCachedKey> keys_;
  std::size_t used_ = 0;
};

} // namespace ce
