#include <toolkit/dialog/explorer_grid.h>

#include <algorithm>

ExplorerGrid ExplorerGrid::forMode(int mode, double scale) {
  if (mode <= 1)
    return ExplorerGrid{64, 15};
  const int width = static_cast<int>(480.0 / mode * scale - 10);
  return ExplorerGrid{std::max(width, 1), 10};
}

int ExplorerGrid::tilesPerLine(int width) const {
  return std::max(1, (width + gap) / (tileWidth + gap));
}

int ExplorerGrid::firstLeft(int width) const {
  const int tiles = tilesPerLine(width);
  return std::max(0, (width - tiles * tileWidth - (tiles - 1) * gap) / 2);
}
