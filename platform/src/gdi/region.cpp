#include "gdi/region.h"

#include <ce/gdi.h>

#include <algorithm>
#include <climits>

namespace ce {

bool rectEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT rectIntersection(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (rectEmpty(r)) r = RECT{0, 0, 0, 0};
  return r;
}

namespace {

// Appends the parts of `r` outside `cut` (at most four rectangles).
void subtractRect(const RECT& r, const RECT& cut, std::vector<RECT>& out) {
  const RECT overlap = rectIntersection(r, cut);
  if (rectEmpty(overlap)) {
    out.push_back(r);
    return;
  }
  if (r.top < overlap.top) out.push_back(RECT{r.left, r.top, r.right, overlap.top});
  if (overlap.bottom < r.bottom) out.push_back(RECT{r.left, overlap.bottom, r.right, r.bottom});
  if (r.left < overlap.left) out.push_back(RECT{r.left, overlap.top, overlap.left, overlap.bottom});
  if (overlap.right < r.right)
    out.push_back(RECT{overlap.right, overlap.top, r.right, overlap.bottom});
}

long long area(const RECT& r) {
  return static_cast<long long>(r.right - r.left) * static_cast<long long>(r.bottom - r.top);
}

} // namespace

Region Region::fromRects(const std::vector<RECT>& rects) {
  Region result;
  for (const auto& r : rects) result = result.united(Region(r));
  return result;
}

void Region::setRect(const RECT& rect) {
  rects_.clear();
  RECT r = rect;
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  if (!rectEmpty(r)) rects_.push_back(r);
}

RECT Region::box() const {
  if (rects_.empty()) return RECT{0, 0, 0, 0};
  RECT b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (const auto& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

int Region::type() const {
  if (rects_.empty()) return NULLREGION;
  // Disjoint rectangles that fill their bounding box make one rectangle.
  long long total = 0;
  for (const auto& r : rects_) total += area(r);
  return total == area(box()) ? SIMPLEREGION : COMPLEXREGION;
}

Region Region::intersected(const Region& other) const {
  Region result;
  for (const auto& a : rects_)
    for (const auto& b : other.rects_) {
      const RECT r = rectIntersection(a, b);
      if (!rectEmpty(r)) result.rects_.push_back(r);
    }
  return result;
}

Region Region::subtracted(const Region& other) const {
  std::vector<RECT> current = rects_;
  for (const auto& cut : other.rects_) {
    std::vector<RECT> next;
    next.reserve(current.size() + 4);
    for (const auto& r : current) subtractRect(r, cut, next);
    current.swap(next);
  }
  Region result;
  result.rects_ = std::move(current);
  return result;
}

Region Region::united(const Region& other) const {
  Region result = *this;
  const Region extra = other.subtracted(*this);
  result.rects_.insert(result.rects_.end(), extra.rects_.begin(), extra.rects_.end());
  return result;
}

Region Region::xored(const Region& other) const {
  return subtracted(other).united(other.subtracted(*this));
}

void Region::offset(int dx, int dy) {
  for (auto& r : rects_) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
}

bool Region::contains(int x, int y) const {
  for (const auto& r : rects_)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

bool Region::intersects(const RECT& rect) const {
  for (const auto& r : rects_)
    if (!rectEmpty(rectIntersection(r, rect))) return true;
  return false;
}

bool Region::equals(const Region& other) const {
  return subtracted(other).empty() && other.subtracted(*this).empty();
}

} // namespace ce
