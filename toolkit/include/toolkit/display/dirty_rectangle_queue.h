// The rectangles waiting to be redrawn, each with its full-redraw flag. Rectangles covered by
// another are merged away: a new rectangle inside a queued one is dropped, queued rectangles
// inside a new one are replaced by it. A merge keeps a full redraw asked by either rectangle.
// Not synchronised: DirectDrawWarp holds the invalidation critical section around it.
#pragma once

#include <ce/types.h>

#include <cstddef>
#include <vector>

struct DirtyRectangle {
  RECT area{};
  bool fullRedraw = false;
};

class DirtyRectangleQueue {
public:
  // Queues a rectangle; true when the queue was empty before (the one time a drain must be
  // asked for).
  bool add(const RECT &area, bool fullRedraw);
  // Takes the front rectangle; false when the queue is empty.
  bool takeFront(DirtyRectangle &front);
  void clear() { entries_.clear(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const std::vector<DirtyRectangle> &entries() const { return entries_; }

  static bool contains(const RECT &outer, const RECT &inner);

private:
  std::vector<DirtyRectangle> entries_;
};
