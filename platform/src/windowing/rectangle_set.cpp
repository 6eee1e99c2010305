#include "windowing/rectangle_set.h"

#include <algorithm>

namespace ce::host {

RECT RectangleSet::intersection(const RECT &a, const RECT &b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

RECT RectangleSet::boundingBox(const RECT &a, const RECT &b) {
  if (isEmpty(a))
    return b;
  if (isEmpty(b))
    return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT RectangleSet::bounds() const {
  if (rects_.empty())
    return RECT{0, 0, 0, 0};
  RECT box = rects_.front();
  for (const RECT &r : rects_) {
    box.left = std::min(box.left, r.left);
    box.top = std::min(box.top, r.top);
    box.right = std::max(box.right, r.right);
    box.bottom = std::max(box.bottom, r.bottom);
  }
  return box;
}

long long RectangleSet::area() const {
  long long total = 0;
  for (const RECT &r : rects_)
    total += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
  return total;
}

bool RectangleSet::contains(POINT point) const {
  return std::any_of(rects_.begin(), rects_.end(), [&](const RECT &r) {
    return point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom;
  });
}

bool RectangleSet::meets(const RECT &rect) const {
  return std::any_of(rects_.begin(), rects_.end(), [&](const RECT &r) { return meet(r, rect); });
}

void RectangleSet::add(const RECT &rect) {
  if (isEmpty(rect))
    return;
  // Keep the rectangles disjoint: add only the parts of `rect` not yet covered.
  RectangleSet pieces;
  pieces.rects_.push_back(rect);
  for (const RECT &r : rects_)
    pieces.subtract(r);
  rects_.insert(rects_.end(), pieces.rects_.begin(), pieces.rects_.end());
}

void RectangleSet::add(const RectangleSet &other) {
  for (const RECT &r : other.rects_)
    add(r);
}

void RectangleSet::subtract(const RECT &cut) {
  if (isEmpty(cut))
    return;
  std::vector<RECT> kept;
  kept.reserve(rects_.size() + 4);
  for (const RECT &r : rects_) {
    const RECT overlap = intersection(r, cut);
    if (isEmpty(overlap)) {
      kept.push_back(r);
      continue;
    }
    // Up to four pieces: the bands above and below the cut, then left and right of it.
    if (r.top < overlap.top)
      kept.push_back(RECT{r.left, r.top, r.right, overlap.top});
    if (overlap.bottom < r.bottom)
      kept.push_back(RECT{r.left, overlap.bottom, r.right, r.bottom});
    if (r.left < overlap.left)
      kept.push_back(RECT{r.left, overlap.top, overlap.left, overlap.bottom});
    if (overlap.right < r.right)
      kept.push_back(RECT{overlap.right, overlap.top, r.right, overlap.bottom});
  }
  rects_.swap(kept);
}

void RectangleSet::subtract(const RectangleSet &other) {
  for (const RECT &r : other.rects_)
    subtract(r);
}

void RectangleSet::intersect(const RECT &clip) {
  std::vector<RECT> kept;
  for (const RECT &r : rects_) {
    const RECT overlap = intersection(r, clip);
    if (!isEmpty(overlap))
      kept.push_back(overlap);
  }
  rects_.swap(kept);
}

void RectangleSet::intersect(const RectangleSet &other) {
  RectangleSet result;
  for (const RECT &r : rects_)
    for (const RECT &o : other.rects_) {
      const RECT overlap = intersection(r, o);
      if (!isEmpty(overlap))
        result.rects_.push_back(overlap); // pieces of disjoint sets stay disjoint
    }
  rects_.swap(result.rects_);
}

void RectangleSet::offset(LONG dx, LONG dy) {
  for (RECT &r : rects_) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
}

bool RectangleSet::samePixels(const RectangleSet &other) const {
  if (area() != other.area())
    return false;
  RectangleSet rest = *this;
  rest.subtract(other);
  return rest.empty();
}

} // namespace ce::host
