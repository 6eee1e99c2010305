#include <menu/grid_geometry.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Truncates toward zero, holding the result within the range of an int.
int truncated(double value) {
  constexpr double Low = std::numeric_limits<int>::min();
  constexpr double High = std::numeric_limits<int>::max();
  if (std::isnan(value))
    return 0;
  return static_cast<int>(std::clamp(std::trunc(value), Low, High));
}

} // namespace

void GridGeometry::layout(int screenWidth, double scale, int configuredWidth, int iconsPerLine,
                          double rowFactor) {
  scale_ = scale > 0 ? scale : 1.0;
  rowFactor_ = rowFactor;
  // A stored count of 0 or less would leave no column to put an icon in; a width of 0 or less
  // no icon to show.
  iconsPerLine_ = std::max(1, iconsPerLine);
  configuredWidth = std::max(1, configuredWidth);
  if (!laidOut_) {
    iconWidth_ = configuredWidth;
    gap_ = InitialGap;
    laidOut_ = true;
  }
  gridMode_ = iconsPerLine_ >= 2;
  if (!gridMode_)
    return;

  const int n = iconsPerLine_;
  const int logicalWidth = truncated(screenWidth / scale_);
  int width = configuredWidth;
  int gap = (logicalWidth - width * n) / n;
  if (gap < 1) {
    width = std::max(1, logicalWidth / n - 5);
    gap = (logicalWidth - width * n) / n;
  }
  iconWidth_ = truncated(scale_ * width);
  gap_ = truncated(scale_ * gap);
}

GridCell GridGeometry::cellOf(long long slot) const {
  GridCell cell;
  const long long n = iconsPerLine_;
  const long long row = slot / n;
  const long long column = slot % n;
  cell.row = truncated(static_cast<double>(row));
  cell.column = truncated(static_cast<double>(column));
  const double w = iconWidth_;
  const double g = gap_;
  const int xLogical = truncated(((w + g) * static_cast<double>(column) + gap_ / 2) / scale_);
  const double rowTop = (w + RowSpacing) * static_cast<double>(row);
  const int yLogical = gridMode_ ? truncated((rowTop * rowFactor_ + gap_ / 4) / scale_)
                                 : truncated((rowTop + gap_ / 4) / scale_);
  cell.x = truncated(xLogical * scale_);
  cell.y = truncated(yLogical * scale_);
  return cell;
}
