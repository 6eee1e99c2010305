#include <toolkit/global/critical_section_lock.h>
#include <toolkit/icon/icon_tile_registry.h>

IconTileRegistry::IconTileRegistry() { InitializeCriticalSection(&section_); }

IconTileRegistry::~IconTileRegistry() { DeleteCriticalSection(&section_); }

void IconTileRegistry::add(IconTile *tile) {
  CriticalSectionLock lock(section_);
  tiles_.emplace(tile, false);
}

void IconTileRegistry::remove(IconTile *tile) {
  CriticalSectionLock lock(section_);
  const auto found = tiles_.find(tile);
  if (found == tiles_.end())
    return;
  if (found->second)
    --loaded_;
  tiles_.erase(found);
}

bool IconTileRegistry::contains(IconTile *tile) {
  CriticalSectionLock lock(section_);
  return tiles_.count(tile) != 0;
}

std::size_t IconTileRegistry::size() {
  CriticalSectionLock lock(section_);
  return tiles_.size();
}

void IconTileRegistry::markLoaded(IconTile *tile) {
  CriticalSectionLock lock(section_);
  const auto found = tiles_.find(tile);
  if (found == tiles_.end() || found->second)
    return;
  found->second = true;
  ++loaded_;
}

std::size_t IconTileRegistry::loadedCount() {
  CriticalSectionLock lock(section_);
  return loaded_;
}
