#include "registry/registry_cache.h"

namespace ce {

namespace {
// What a path entry costs besides its text: the map node and its bookkeeping.
constexpr std::size_t pathEntryCost = 64;

bool validRoot(std::int64_t root) { return root >= 1 && root <= 4; }
} // namespace

void RegistryCache::restart(std::int64_t version) {
  clear();
  version_ = version;
}

const std::int64_t *RegistryCache::findPath(std::int64_t root, std::u16string_view folded) const {
  if (!validRoot(root))
    return nullptr;
  const auto &paths = paths_[static_cast<std::size_t>(root - 1)];
  const auto it = paths.find(folded);
  return it == paths.end() ? nullptr : &it->second;
}

void RegistryCache::notePath(std::int64_t root, std::u16string_view folded, std::int64_t id) {
  if (!validRoot(root))
    return;
  auto &paths = paths_[static_cast<std::size_t>(root - 1)];
  if (const auto it = paths.find(folded); it != paths.end()) {
    it->second = id;
    return;
  }
  const std::size_t cost = pathEntryCost + folded.size() * sizeof(char16_t);
  makeRoom(cost);
  paths.emplace(folded, id);
  used_ += cost;
}

RegistryCachedKey *RegistryCache::findKey(std::int64_t id) {
  const auto it = keys_.find(id);
  return it == keys_.end() ? nullptr : &it->second;
}

RegistryCachedKey &RegistryCache::noteKey(std::int64_t id, RegistryCachedKey key) {
  if (const auto it = keys_.find(id); it != keys_.end()) {
    used_ -= it->second.footprint();
    keys_.erase(it);
  }
  const std::size_t cost = key.footprint();
  makeRoom(cost);
  used_ += cost;
  return keys_.insert_or_assign(id, std::move(key)).first->second;
}

void RegistryCache::clear() {
  for (auto &paths : paths_)
    paths.clear();
  keys_.clear();
  used_ = 0;
}

void RegistryCache::makeRoom(std::size_t bytes) {
  if (used_ + bytes > budget)
    clear();
}

} // namespace ce
