// The tile grid of the file chooser. The caller's mode is the number of tiles a line of a
// 480-pixel-wide screen holds: mode n gives tiles of truncate(480 / n x scale - 10) pixels with
// 10 pixels between them; mode 1 (and any mode below 1, which would divide by nothing) gives
// small tiles of 64 pixels with 15 between them. A line holds as many tiles as the width takes,
// and the lines are centred.
#pragma once

struct ExplorerGrid {
  int tileWidth = 64;
  int gap = 15;

  static ExplorerGrid forMode(int mode, double scale);

  // Tiles in a line of `width` pixels (at least one).
  int tilesPerLine(int width) const;
  // The left edge of the first tile of a line of `width` pixels.
  int firstLeft(int width) const;
  // The left edge of the tile in `column`.
  int leftOf(int column, int width) const { return firstLeft(width) + column * (tileWidth + gap); }
};
