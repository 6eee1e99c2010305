// The geometry of the programs grid: how wide an icon is, the gap between icons, and where the
// icon of a slot goes. Slots count from 0 at the top left, to the right and then down. With
// fewer than two icons per row the grid is a list, one item per row.
#pragma once

struct GridCell {
  int x = 0; // pixels within the programs section
  int y = 0;
  int row = 0;
  int column = 0;
};

class GridGeometry {
public:
  static constexpr int InitialGap = 25;
  static constexpr int RowSpacing = 20; // pixels added to the icon width between rows

  // The layout pass. `screenWidth` in pixels; `scale` = short side / 480; `configuredWidth` the
  // `widthIcon` setting in logical pixels; `iconsPerLine` in use (landscape included);
  // `rowFactor` = text size * 0.2. Each pass starts again from the configured width. A list
  // keeps the width and gap of the last grid pass (before any: the configured width and 25).
  void layout(int screenWidth, double scale, int configuredWidth, int iconsPerLine,
              double rowFactor);

  GridCell cellOf(long long slot) const;

  bool gridMode() const { return gridMode_; }
  int iconsPerLine() const { return iconsPerLine_; }
  int iconWidth() const { return iconWidth_; }
  int gap() const { return gap_; }
  double scale() const { return scale_; }
  double rowFactor() const { return rowFactor_; }

private:
  bool laidOut_ = false;
  bool gridMode_ = true;
  int iconsPerLine_ = 4;
  int iconWidth_ = 80;
  int gap_ = InitialGap;
  double scale_ = 1.0;
  double rowFactor_ = 1.4;
};
