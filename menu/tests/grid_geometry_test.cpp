#include <menu/grid_geometry.h>

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

namespace {

TEST(GridGeometryTest, DefaultsOnA480WideScreen) {
  GridGeometry grid;
  grid.layout(480, 1.0, 80, 4, 1.4);
  EXPECT_TRUE(grid.gridMode());
  EXPECT_EQ(grid.iconWidth(), 80);
  EXPECT_EQ(grid.gap(), 40);
  const auto cell = grid.cellOf(5);
  EXPECT_EQ(cell.row, 1);
  EXPECT_EQ(cell.column, 1);
  EXPECT_EQ(cell.x, 140);
  EXPECT_EQ(cell.y, 150);
  EXPECT_EQ(grid.cellOf(0).x, 20);
  EXPECT_EQ(grid.cellOf(0).y, 10);
  EXPECT_EQ(grid.cellOf(3).x, 380);
}

TEST(GridGeometryTest, IconsTooWideForTheRowShrinkToFit) {
  GridGeometry grid;
  grid.layout(480, 1.0, 150, 4, 1.4);
  EXPECT_EQ(grid.iconWidth(), 115);
  EXPECT_EQ(grid.gap(), 5);

  // The boundary: a gap of one pixel is enough, none is not.
  grid.layout(480, 1.0, 119, 4, 1.4);
  EXPECT_EQ(grid.iconWidth(), 119);
  EXPECT_EQ(grid.gap(), 1);
  grid.layout(480, 1.0, 120, 4, 1.4);
  EXPECT_EQ(grid.iconWidth(), 115);
  EXPECT_EQ(grid.gap(), 5);
}

TEST(GridGeometryTest, RotatingASmallScreenTwiceKeepsTheIconWidth) {
  for (const int configured : {80, 150}) {
    GridGeometry grid;
    grid.layout(240, 0.5, configured, 4, 1.4);
    const int portraitWidth = grid.iconWidth();
    const int portraitGap = grid.gap();
    grid.layout(320, 0.5, configured, 5, 1.4); // landscape shows one more per row
    EXPECT_GT(grid.iconWidth(), 0);
    grid.layout(240, 0.5, configured, 4, 1.4);
    EXPECT_EQ(grid.iconWidth(), portraitWidth) << configured;
    EXPECT_EQ(grid.gap(), portraitGap) << configured;
  }
  GridGeometry grid;
  grid.layout(240, 0.5, 80, 4, 1.4);
  EXPECT_EQ(grid.iconWidth(), 40);
  EXPECT_EQ(grid.gap(), 20);
  // Positions are whole logical pixels scaled back to the screen.
  EXPECT_EQ(grid.cellOf(5).x, 70);
  EXPECT_EQ(grid.cellOf(5).y, 89);
}

TEST(GridGeometryTest, OneIconPerLineIsAListWithoutTheRowFactor) {
  GridGeometry grid;
  grid.layout(480, 1.0, 80, 4, 1.4);
  grid.layout(480, 1.0, 80, 1, 1.4);
  EXPECT_FALSE(grid.gridMode());
  // The width and gap of the last grid pass stay.
  EXPECT_EQ(grid.iconWidth(), 80);
  EXPECT_EQ(grid.gap(), 40);
  for (int slot = 0; slot < 4; ++slot) {
    EXPECT_EQ(grid.cellOf(slot).x, 20);
    EXPECT_EQ(grid.cellOf(slot).y, 100 * slot + 10);
  }

  GridGeometry listFromStart;
  listFromStart.layout(240, 0.5, 80, 1, 1.4);
  EXPECT_EQ(listFromStart.iconWidth(), 80);
  EXPECT_EQ(listFromStart.gap(), GridGeometry::InitialGap);
}

TEST(GridGeometryTest, NonsensicalCountsAndWidthsStillGiveUsableCells) {
  GridGeometry grid;
  grid.layout(480, 1.0, 80, 0, 1.4);
  EXPECT_EQ(grid.iconsPerLine(), 1);
  EXPECT_EQ(grid.cellOf(3).column, 0);
  grid.layout(480, 1.0, 80, -7, 1.4);
  EXPECT_EQ(grid.cellOf(3).row, 3);
  grid.layout(480, 1.0, -50, 4, 1.4);
  EXPECT_GE(grid.iconWidth(), 1);
  grid.layout(480, 1.0, 80, 200, 1.4);
  EXPECT_GE(grid.iconWidth(), 1);
  // A slot far beyond any screen is held to the range of a position, not wrapped.
  grid.layout(480, 1.0, 80, 1, 1.4);
  EXPECT_EQ(grid.cellOf(INT_MAX).y, INT_MAX);
  EXPECT_GE(grid.cellOf(1LL << 40).y, 0);
}

// Whatever the screen and settings, two slots never share a cell: no icon hides another.
TEST(GridGeometryTest, EverySlotHasACellOfItsOwn) {
  const std::pair<int, double> screens[] = {
      {240, 0.5}, {320, 0.5}, {480, 1.0}, {640, 1.0}, {800, 1.0}};
  for (const auto &[width, scale] : screens) {
    for (int perLine = 1; perLine <= 8; ++perLine) {
      for (int configured = 10; configured <= 250; configured += 20) {
        GridGeometry grid;
        grid.layout(width, scale, configured, perLine, 1.4);
        std::set<std::pair<int, int>> cells;
        for (int slot = 0; slot < 200; ++slot) {
          const auto cell = grid.cellOf(slot);
          EXPECT_TRUE(cells.emplace(cell.x, cell.y).second)
              << width << " " << perLine << " " << configured << " " << slot;
          // Icons of one row never overlap, and the row stays on the screen.
          if (grid.gridMode() && cell.column > 0) {
            EXPECT_GE(cell.x - grid.cellOf(slot - 1).x, grid.iconWidth());
          }
          if (grid.gridMode()) {
            EXPECT_LE(cell.x + grid.iconWidth(), width);
          }
        }
      }
    }
  }
}

} // namespace
