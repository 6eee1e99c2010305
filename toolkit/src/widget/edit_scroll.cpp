#include <toolkit/widget/edit_scroll.h>

#include <algorithm>

namespace {

int step(int distance, const EditScrollPlace &place) {
  if (!place.eased || place.sinceTap > EditEasingMs)
    return distance;
  return std::min(distance, static_cast<int>(distance * 0.25 + 1));
}

} // namespace

int editScrollStep(const EditScrollPlace &place) {
  if (place.bottom > place.limit && place.top >= EditLowestMovableTop)
    return -step(place.bottom - place.limit, place);
  if (place.top < place.upper && place.bottom < place.limit)
    return step(std::min(place.upper - place.top, place.limit - place.bottom), place);
  return 0;
}
