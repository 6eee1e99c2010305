#include <menu/screen/icon_entry_animation.h>

#include <cmath>

namespace {

double restAt(int width, double time) {
  const double acceleration = (width - IconEntryAnimation::Duration) /
                              (IconEntryAnimation::Duration * IconEntryAnimation::Duration);
  return width - (acceleration * time * time * 0.5 + time);
}

} // namespace

std::optional<double> IconEntryAnimation::spreadAt(int width, double time) {
  if (width <= 0 || time >= 1.5 * Duration)
    return std::nullopt;
  const double rest = restAt(width, time);
  if (rest <= 1)
    return std::nullopt;
  return (width + rest) / width;
}

std::vector<double> IconEntryAnimation::spreads(int width) {
  std::vector<double> result;
  for (double time = FirstTime;; time += Step) {
    const auto spread = spreadAt(width, time);
    if (!spread)
      break;
    result.push_back(*spread);
  }
  return result;
}

POINT IconEntryAnimation::positionOf(const GridGeometry &grid, long long slot, double spread,
                                     POINT centre) {
  const GridCell cell = grid.cellOf(slot);
  const double w = grid.iconWidth(), g = grid.gap(), s = grid.scale();
  const double x = (w + g) * cell.column + grid.gap() / 2;
  const double rowTop = (w + GridGeometry::RowSpacing) * cell.row;
  const double y = (grid.gridMode() ? rowTop * grid.rowFactor() : rowTop) + grid.gap() / 4;
  POINT at;
  at.x = static_cast<LONG>(std::trunc((x - centre.x) * spread + centre.x));
  at.y = static_cast<LONG>(std::trunc(std::trunc(((y - centre.y) * spread + centre.y) / s) * s));
  return at;
}

int IconEntryAnimation::play(int width, const std::function<void(std::optional<double>)> &drawFrame,
                             const std::function<bool()> &inputWaiting) {
  int frames = 0;
  for (const double spread : spreads(width)) {
    if (inputWaiting && inputWaiting())
      break;
    drawFrame(spread);
    ++frames;
  }
  drawFrame(std::nullopt);
  return frames;
}
