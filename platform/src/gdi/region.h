// A region: a set of pixels kept as disjoint rectangles (right and bottom exclusive).
#pragma once

#include "gdi/gdi_object.h"

#include <vector>

namespace ce {

class Region : public GdiObject {
public:
  Region() = default;
  explicit Region(const RECT& rect) { setRect(rect); }
  // Rectangles that may overlap; the region is their union.
  static Region fromRects(const std::vector<RECT>& rects);

  GdiKind kind() const override { return GdiKind::Region; }

  void setRect(const RECT& rect);
  const std::vector<RECT>& rects() const { return rects_; }
  bool empty() const { return rects_.empty(); }
  RECT box() const;
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int type() const;

  Region intersected(const Region& other) const;
  Region united(const Region& other) const;
  Region subtracted(const Region& other) const;
  Region xored(const Region& other) const;
  void offset(int dx, int dy);
  bool contains(int x, int y) const;
  bool intersects(const RECT& rect) const;
  bool equals(const Region& other) const;

  // Copying keeps the pixels, not the handle.
  Region(const Region& other) : GdiObject(), rects_(other.rects_) {}
  Region& operator=(const Region& other) {
    rects_ = other.rects_;
    return *this;
  }

private:
  std::vector<RECT> rects_;
};

// Helpers on rectangles with exclusive right and bottom edges.
bool rectEmpty(const RECT& r);
RECT rectIntersection(const RECT& a, const RECT& b);

// Coordinates from callers are kept within +-2^27, so sums and differences of a few of them
// never overflow; nothing that large can be drawn anyway.
constexpr long long kCoordinateLimit = 1LL << 27;
constexpr int clampCoordinate(long long v) {
  return static_cast<int>(v < -kCoordinateLimit ? -kCoordinateLimit
                                                : (v > kCoordinateLimit ? kCoordinateLimit : v));
}

} // namespace ce
