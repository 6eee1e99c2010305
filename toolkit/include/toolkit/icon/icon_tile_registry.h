// The live icon tiles of the process, and the critical section that guards both the list and
// the tiles' pictures: the icon loader touches a tile only inside the section and only while
// the tile is listed, and a tile leaves the list (from its destructor) inside the section, so
// it can never be destroyed in the middle of a load.
#pragma once

#include <toolkit/icon/icon_tile.h>

#include <ce/kernel.h>

#include <cstddef>
#include <unordered_map>

class IconTileRegistry {
public:
  IconTileRegistry();
  ~IconTileRegistry();
  IconTileRegistry(const IconTileRegistry &) = delete;
  IconTileRegistry &operator=(const IconTileRegistry &) = delete;

  CRITICAL_SECTION &section() { return section_; }

  // Each takes the section itself (it may already be held by the caller: it is recursive).
  void add(IconTile *tile);
  void remove(IconTile *tile);
  bool contains(IconTile *tile);
  std::size_t size();
  // Notes that the loader gave this tile a picture.
  void markLoaded(IconTile *tile);
  // The number of listed tiles whose picture the loader loaded.
  std::size_t loadedCount();

private:
  CRITICAL_SECTION section_{};
  std::unordered_map<IconTile *, bool> tiles_; // tile -> picture loaded by the loader
  std::size_t loaded_ = 0;
};
