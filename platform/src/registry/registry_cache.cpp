#include "registry/registry_cache.h"

namespace ce {

namespace {
bool validRoot(std::int64_t root) { return root >= 1 && root <= 4; }
} // namespace

void RegistryCache::restart(std::int64_t version) {
  for (auto &paths : paths_)
    paths.clear();
  keys_.clear();
  uses_.clear();
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
  touch(it->second.use);
  return &it->second.id;
}

void RegistryCache::notePath(std::int64_t root, std::u16string_view folded, std::int64_t id) {
  if (!validRoot(root))
    return;
  auto &paths = paths_[static_cast<std::size_t>(root - 1)];
  if (const auto it = paths.find(folded); it != paths.end()) {
    it->second.id = id;
    touch(it->second.use);
    return;
  }
  const std::size_t cost = entryCost + folded.size() * sizeof(char16_t);
  makeRoom(cost);
  const auto it = paths.emplace(folded, HeldPath{id, cost, {}}).first;
  uses_.push_front(Use{0, root, &it->first});
  it->second.use = uses_.begin();
  used_ += cost;
}

RegistryCachedKey *RegistryCache::findKey(std::int64_t id) {
  const auto it = keys_.find(id);
  if (it == keys_.end())
    return nullptr;
  touch(it->second.use);
  return &it->second.key;
}

RegistryCachedKey &RegistryCache::noteKey(std::int64_t id, RegistryCachedKey key) {
  if (const auto it = keys_.find(id); it != keys_.end()) {
    used_ -= it->second.cost;
    uses_.erase(it->second.use);
    keys_.erase(it);
  }
  const std::size_t cost = entryCost + key.footprint();
  makeRoom(cost);
  const auto it = keys_.emplace(id, HeldKey{std::move(key), cost, {}}).first;
  uses_.push_front(Use{id, 0, nullptr});
  it->second.use = uses_.begin();
  used_ += cost;
  return it->second.key;
}

void RegistryCache::makeRoom(std::size_t bytes) {
  while (!uses_.empty() && used_ + bytes > budget_)
    dropLeastRecent();
}

void RegistryCache::dropLeastRecent() {
  const Use use = uses_.back();
  uses_.pop_back();
  if (use.path) {
    auto &paths = paths_[static_cast<std::size_t>(use.root - 1)];
    const auto it = paths.find(*use.path);
    used_ -= it->second.cost;
    paths.erase(it);
    return;
  }
  const auto it = keys_.find(use.id);
  used_ -= it->second.cost;
  keys_.erase(it);
}

} // namespace ce
