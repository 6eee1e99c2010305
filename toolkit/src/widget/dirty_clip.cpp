#include <toolkit/global/global_informations.h>
#include <toolkit/widget/dirty_clip.h>

#include <algorithm>
#include <climits>

namespace {

bool isEmpty(const RECT &rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

} // namespace

bool rectanglesMeet(const RECT &a, const RECT &b) {
  return !isEmpty(a) && !isEmpty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

RECT currentDirty() {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global)
    return RECT{INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2};
  return global->display().dirty;
}

std::optional<ClippedCopy> clipCopy(const RECT &destination, const RECT &source,
                                    const RECT &dirty) {
  if (!rectanglesMeet(destination, dirty) || isEmpty(source))
    return std::nullopt;
  const double xRatio = static_cast<double>(source.right - source.left) /
                        static_cast<double>(destination.right - destination.left);
  const double yRatio = static_cast<double>(source.bottom - source.top) /
                        static_cast<double>(destination.bottom - destination.top);
  ClippedCopy copy;
  copy.destination =
      RECT{std::max(destination.left, dirty.left), std::max(destination.top, dirty.top),
           std::min(destination.right, dirty.right), std::min(destination.bottom, dirty.bottom)};
  copy.clipLeft = copy.destination.left - destination.left;
  copy.clipTop = copy.destination.top - destination.top;
  const int clipRight = destination.right - copy.destination.right;
  const int clipBottom = destination.bottom - copy.destination.bottom;
  copy.source = RECT{source.left + static_cast<LONG>(copy.clipLeft * xRatio),
                     source.top + static_cast<LONG>(copy.clipTop * yRatio),
                     source.right - static_cast<LONG>(clipRight * xRatio),
                     source.bottom - static_cast<LONG>(clipBottom * yRatio)};
  if (isEmpty(copy.source))
    return std::nullopt;
  return copy;
}

std::optional<ClippedCopy> clipToDirty(const RECT &destination, const RECT &source) {
  return clipCopy(destination, source, currentDirty());
}
