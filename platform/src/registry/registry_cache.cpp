#include "registry/registry_cache.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace ce {

namespace {
bool validRoot(std::int64_t root) { return root >= 1 && root <= 4; }
} // namespace

void RegistryCache::restart(std::int64_t version) {
  for (auto &paths : paths_)
    paths.clear();
  keys_.clear();
  used_ = 0;
  version_ = version;
}

const std::int64_t *RegistryCache::findPath(std::int64_t root, std::u16string_view folded) {
  if (!validRoot(root))
    return nullptr;
  auto &paths = paths_[static_cast<std::size_t>(root - 1)];
  const auto it = paths.find(folded);
  if (it == paths.end())
    return nullptr;
  it->second.lastUse = ++uses_;
  return &it->second.id;
}

void RegistryCache::notePath(std::int64_t root, std::u16string_view folded, std::int64_t id) {
  if (!validRoot(root))
    return;
  auto &paths = paths_[static_cast<std::size_t>(root - 1)];
  if (const auto it = paths.find(folded); it != paths.end()) {
    it->second.id = id;
    it->second.lastUse = ++uses_;
    return;
  }
  const std::size_t cost = entryCost + folded.size() * sizeof(char16_t);
  makeRoom(cost);
  paths.emplace(folded, HeldPath{id, cost, ++uses_});
  used_ += cost;
}

void RegistryCache::forgetAbsentPaths() {
  for (auto &paths : paths_) {
    std::erase_if(paths, [&](const auto &entry) {
      const bool absent = entry.second.id == 0;
      used_ -= absent ? entry.second.cost : 0;
      return absent;
    });
  }
}

RegistryCachedKey *RegistryCache::findKey(std::int64_t id) {
  const auto it = keys_.find(id);
  if (it == keys_.end())
    return nullptr;
  it->second.lastUse = ++uses_;
  return &it->second.key;
}

RegistryCachedKey &RegistryCache::noteKey(std::int64_t id, RegistryCachedKey key) {
  if (const auto it = keys_.find(id); it != keys_.end()) {
    used_ -= it->second.cost;
    keys_.erase(it);
  }
  const std::size_t cost = entryCost + key.footprint();
  makeRoom(cost);
  const auto it = keys_.emplace(id, HeldKey{std::move(key), cost, ++uses_}).first;
  used_ += cost;
  return it->second.key;
}

void RegistryCache::forgetKey(std::int64_t id) {
  if (const auto it = keys_.find(id); it != keys_.end()) {
    used_ -= it->second.cost;
    keys_.erase(it);
  }
}

void RegistryCache::makeRoom(std::size_t bytes) {
  if (used_ + bytes <= budget_)
    return;
  // The moment of last use and the cost of every entry, oldest first.
  std::vector<std::pair<std::uint64_t, std::size_t>> entries;
  entries.reserve(keys_.size() + paths_[0].size() + paths_[1].size() + paths_[2].size() +
                  paths_[3].size());
  for (const auto &[id, held] : keys_)
    entries.emplace_back(held.lastUse, held.cost);
  for (const auto &paths : paths_)
    for (const auto &[path, held] : paths)
      entries.emplace_back(held.lastUse, held.cost);
  std::sort(entries.begin(), entries.end());
  const std::size_t keep = budget_ / 4 * 3;
  std::size_t remaining = used_ + bytes;
  std::uint64_t cutoff = 0; // entries used at or before this go
  for (const auto &[lastUse, cost] : entries) {
    if (remaining <= keep)
      break;
    remaining -= cost;
    cutoff = lastUse;
  }
  std::erase_if(keys_, [&](const auto &entry) {
    const bool drop = entry.second.lastUse <= cutoff;
    used_ -= drop ? entry.second.cost : 0;
    return drop;
  });
  for (auto &paths : paths_) {
    std::erase_if(paths, [&](const auto &entry) {
      const bool drop = entry.second.lastUse <= cutoff;
      used_ -= drop ? entry.second.cost : 0;
      return drop;
    });
  }
}

} // namespace ce
