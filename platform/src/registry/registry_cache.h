// The keys a process has read from one registry database, all as of one state of that database
// (its version: the change count, or SQLite's data version where the count cannot be had). Its
// owner compares that version with the database's before every use and starts afresh when it
// moved, so nothing kept here is ever older than the last commit of any process.
//
// Memory is bounded: past the budget, the keys and paths used least recently go, a quarter of
// the budget at a time, so that a process reading more than fits still finds what it read last.
// Each entry notes when it was last used (a count of uses, kept beside the entry so that a use
// touches no other memory); the oldest are found when room is needed.
#pragma once

#include "registry_cached_key.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ce {

class RegistryCache {
public:
  // Memory kept at most, roughly: room for the item keys of several large menu folders.
  static constexpr std::size_t defaultBudget = 32u << 20;
  static constexpr std::int64_t noVersion = -1;

  explicit RegistryCache(std::size_t budget = defaultBudget) : budget_(budget) {}
  RegistryCache(const RegistryCache &) = delete;
  RegistryCache &operator=(const RegistryCache &) = delete;

  // True when what is held was read at this version.
  bool holds(std::int64_t version) const { return version_ != noVersion && version_ == version; }
  std::int64_t version() const { return version_; }
  // Forgets everything; what is noted from now on was read at version.
  void restart(std::int64_t version);
  // What is held stays, now as of version: its owner brought it up to date with every change
  // between the two versions.
  void retag(std::int64_t version) { version_ = version; }

  // The id of the key at a folded path below a root (1 to 4): null when unknown, 0 when the key
  // is known to be absent.
  const std::int64_t *findPath(std::int64_t root, std::u16string_view folded);
  void notePath(std::int64_t root, std::u16string_view folded, std::int64_t id);
  // Forgets every path known to be absent (keys were made since).
  void forgetAbsentPaths();

  // Null when the key is not held. Noting a key replaces what was held of it; a reference
  // stays valid until the next note or restart.
  RegistryCachedKey *findKey(std::int64_t id);
  RegistryCachedKey &noteKey(std::int64_t id, RegistryCachedKey key);
  void forgetKey(std::int64_t id);
  // Applies change to the key when it is held, keeping the count of memory right.
  template <class Change> void changeKey(std::int64_t id, Change &&change);

  // Memory taken by what is held, as counted against the budget.
  std::size_t used() const { return used_; }

private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view text) const {
      return std::hash<std::u16string_view>{}(text);
    }
  };
  struct HeldKey {
    RegistryCachedKey key;
    std::size_t cost = 0;
    std::uint64_t lastUse = 0;
  };
  struct HeldPath {
    std::int64_t id = 0;
    std::size_t cost = 0;
    std::uint64_t lastUse = 0;
  };
  using PathMap = std::unordered_map<std::u16string, HeldPath, TextHash, std::equal_to<>>;

  // When bytes more would pass the budget, drops the least recently used entries until what
  // stays takes three quarters of it.
  void makeRoom(std::size_t bytes);

  // What an entry costs besides its contents: the map node and its bookkeeping.
  static constexpr std::size_t entryCost = 64;

  const std::size_t budget_;
  std::int64_t version_ = noVersion;
  std::array<PathMap, 4> paths_; // by root id - 1
  std::unordered_map<std::int64_t, HeldKey> keys_;
  std::size_t used_ = 0;
  std::uint64_t uses_ = 0;
};

template <class Change> void RegistryCache::changeKey(std::int64_t id, Change &&change) {
  const auto it = keys_.find(id);
  if (it == keys_.end())
    return;
  change(it->second.key);
  const std::size_t cost = entryCost + it->second.key.footprint();
  used_ = used_ - it->second.cost + cost;
  it->second.cost = cost;
}

} // namespace ce
