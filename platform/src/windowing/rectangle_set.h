// A set of pixels kept as disjoint rectangles (right and bottom exclusive): visible regions and
// update regions of windows.
#pragma once

#include <ce/types.h>

#include <vector>

namespace ce::host {

class RectangleSet {
public:
  RectangleSet() = default;
  explicit RectangleSet(const RECT &rect) { add(rect); }

  static bool isEmpty(const RECT &rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
  }
  static RECT intersection(const RECT &a, const RECT &b);
  // The smallest rectangle holding both; an empty one counts for nothing.
  static RECT boundingBox(const RECT &a, const RECT &b);
  static bool meet(const RECT &a, const RECT &b) { return !isEmpty(intersection(a, b)); }

  const std::vector<RECT> &rects() const { return rects_; }
  bool empty() const { return rects_.empty(); }
  void clear() { rects_.clear(); }
  // The smallest rectangle holding every pixel; all zero when empty.
  RECT bounds() const;
  long long area() const;
  bool contains(POINT point) const;
  // Whether any of its pixels lies within `rect`.
  bool meets(const RECT &rect) const;

  void add(const RECT &rect);
  void add(const RectangleSet &other);
  void subtract(const RECT &rect);
  void subtract(const RectangleSet &other);
  void intersect(const RECT &rect);
  void intersect(const RectangleSet &other);
  void offset(LONG dx, LONG dy);

  // The same pixels, whatever the split into rectangles.
  bool samePixels(const RectangleSet &other) const;

private:
  std::vector<RECT> rects_;
};

} // namespace ce::host
