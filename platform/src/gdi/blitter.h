// The raster engine: fills, ternary raster operations, stretching, alpha blending, colour-keyed
// copies and coverage masks (text) onto one target, clipped to a list of rectangles.
//
// Colours are 0xAARRGGBB. Coordinates are target coordinates; rectangles are normalised
// (left < right, top < bottom) with exclusive right and bottom edges.
#pragma once

#include "gdi/pixel_view.h"

#include <ce/types.h>

#include <cstdint>
#include <vector>

namespace ce {

// Nearest-neighbour mapping of one axis: destination [destStart, destStart + destLength) samples
// source [sourceStart, sourceStart + sourceLength) at pixel centres, backwards when mirrored.
struct AxisMap {
  int destStart = 0;
  int destLength = 1;
  int sourceStart = 0;
  int sourceLength = 1;
  bool mirror = false;

  bool identity() const { return !mirror && sourceLength == destLength; }
  int sourceFor(int dest) const {
    const long long i = static_cast<long long>(dest) - destStart;
    long long j = ((2 * i + 1) * sourceLength) / (2LL * destLength);
    if (mirror) j = sourceLength - 1 - j;
    return static_cast<int>(sourceStart + j);
  }
};

struct BlitSource {
  PixelView view;
  AxisMap x;
  AxisMap y;
  // Colour to monochrome: source pixels of this colour become white, all others black.
  bool toMonochrome = false;
  std::uint32_t monochromeKey = 0;
};

class Blitter {
public:
  Blitter(const PixelView& target, std::vector<RECT> clip);

  const PixelView& target() const { return target_; }
  const std::vector<RECT>& clip() const { return clip_; }
  // Narrows the clip to a rectangle.
  void restrictTo(const RECT& rect);

  // Sets every pixel of `rect` to an opaque colour.
  void fill(const RECT& rect, std::uint32_t color);
  // Ternary raster operation `ropIndex` (bits 16-23 of the raster code) with an optional source
  // and a solid pattern colour.
  void rasterOperation(const RECT& dest, const BlitSource* source, std::uint8_t ropIndex,
                       std::uint32_t pattern);
  // Source over: constant alpha only, or premultiplied per-pixel alpha times constant alpha.
  void alphaBlend(const RECT& dest, const BlitSource& source, std::uint8_t constantAlpha,
                  bool perPixelAlpha);
  // Copies the source except pixels whose colour (alpha ignored) equals `key`.
  void transparentCopy(const RECT& dest, const BlitSource& source, std::uint32_t key);
  // Blends an opaque colour through an 8-bit coverage mask whose top-left pixel lands on (x, y).
  void coverage(int x, int y, int width, int height, const std::uint8_t* mask, int pitch,
                std::uint32_t color);

private:
  // Calls fn(subRect) for each non-empty intersection of `rect` with the clip.
  template <class Fn> void forEachClipped(const RECT& rect, Fn&& fn);
  // A copy of the source rows when the source shares memory with the target.
  BlitSource detachedSource(const BlitSource& source, std::vector<std::uint8_t>& storage) const;
  // Destination column range [*first, *last) of `sub` whose source columns are inside the source,
  // with the source column of each in `xs` (indexed from *first - sub.left).
  bool mapColumns(const RECT& sub, const BlitSource& source, std::vector<int>& xs, int* first,
                  int* last) const;
  bool fastCopy(const RECT& dest, const BlitSource& source);

  PixelView target_;
  std::vector<RECT> clip_;
  std::vector<std::uint32_t> rowS_, rowD_;
  std::vector<int> xs_;
};

} // namespace ce
