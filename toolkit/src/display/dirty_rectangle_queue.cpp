#include <toolkit/display/dirty_rectangle_queue.h>

#include <algorithm>

bool DirtyRectangleQueue::add(const RECT &area, bool fullRedraw) {
  if (entries_.empty()) {
    entries_.push_back({area, fullRedraw});
    return true;
  }
  for (DirtyRectangle &queued : entries_)
    if (contains(queued.area, area)) {
      queued.fullRedraw = queued.fullRedraw || fullRedraw;
      return false;
    }
  bool full = fullRedraw;
  std::erase_if(entries_, [&](const DirtyRectangle &queued) {
    if (!contains(area, queued.area))
      return false;
    full = full || queued.fullRedraw;
    return true;
  });
  entries_.push_back({area, full});
  return false;
}

bool DirtyRectangleQueue::takeFront(DirtyRectangle &front) {
  if (entries_.empty())
    return false;
  front = entries_.front();
  entries_.erase(entries_.begin());
  return true;
}

bool DirtyRectangleQueue::contains(const RECT &outer, const RECT &inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}
