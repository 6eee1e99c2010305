// The two folder transitions: the slide's offsets and the frames it draws, and the icon entry
// animation's spread and positions.
#include "menu_device.h"

#include <menu/screen/icon_entry_animation.h>
#include <menu/screen/slide_animation.h>

#include <cmath>

namespace {

TEST(SlideAnimationTest, OnA480WideScreenItTakesAboutAQuarterOfASecond) {
  const auto offsets = SlideAnimation::nominalOffsets(480);
  ASSERT_FALSE(offsets.empty());
  // a = (480 - 200) / 200^2 = 0.007; d(10) = trunc(0.35 + 10), d(40) = trunc(5.6 + 40), ...
  EXPECT_EQ(offsets[0], 10);
  EXPECT_EQ(offsets[1], 45);
  EXPECT_EQ(offsets[2], 87);
  EXPECT_EQ(offsets.back(), 480);
  for (std::size_t i = 1; i < offsets.size(); ++i)
    EXPECT_GT(offsets[i], offsets[i - 1]);
  const double lasts = static_cast<double>(offsets.size()) * SlideAnimation::FrameMs;
  EXPECT_GE(lasts, 200);
  EXPECT_LE(lasts, 300);
}

TEST(SlideAnimationTest, OffsetsFollowTheFormulaAndAlwaysMove) {
  for (const int width : {240, 320, 480, 640, 800}) {
    const double a = SlideAnimation::acceleration(width);
    EXPECT_DOUBLE_EQ(a, (width - 200.0) / 40000.0);
    int previous = 0;
    for (double t = 10; previous < width; t += 30) {
      const int offset = SlideAnimation::offsetAt(width, t, previous);
      const int formula = static_cast<int>(std::trunc(a * t * t * 0.5 + t));
      EXPECT_EQ(offset, std::min(width, std::max(formula, previous + 1))) << width << " " << t;
      previous = offset;
    }
  }
  // A screen narrower than the constant decelerates (d(700) = 87 on 100 pixels), but every frame
  // still moves a pixel on.
  EXPECT_EQ(SlideAnimation::offsetAt(100, 700, 90), 91);
  // A frame that took longer moves the time on by what it took.
  EXPECT_EQ(SlideAnimation::nextTime(10, 5), 40);
  EXPECT_EQ(SlideAnimation::nextTime(10, 75), 85);
}

class SlideFrameTest : public MenuDevice {
protected:
  void TearDown() override {
    for (Surface *&surface : made_)
      deleteSurf(&surface);
    MenuDevice::TearDown();
  }
  Surface *filled(COLORREF color) {
    Surface *surface = nullptr;
    const DDSURFACEDESC description = describeSurface(100, 20, 16);
    EXPECT_EQ(createSurf(&description, &surface), S_OK);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = color;
    Blt(surface, nullptr, nullptr, nullptr, BltColorFill, &fx);
    made_.push_back(surface);
    return surface;
  }
  // The old picture has a blue column at its x = 0, the new one a green column at its last x.
  void markEdges(Surface *oldPicture, Surface *newPicture) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = RGB(0, 0, 255);
    const RECT first{0, 0, 1, 20};
    Blt(oldPicture, &first, nullptr, nullptr, BltColorFill, &fx);
    fx.dwFillColor = RGB(0, 255, 0);
    const RECT last{99, 0, 100, 20};
    Blt(newPicture, &last, nullptr, nullptr, BltColorFill, &fx);
  }
  static COLORREF at(Surface *surface, int x, int y) { return GetPixel(surface->dc, x, y); }

  std::vector<Surface *> made_;
};

TEST_F(SlideFrameTest, OpeningAFolderMovesTheOldScreenOutToTheLeft) {
  Surface *oldPicture = filled(RGB(255, 0, 0));
  Surface *newPicture = filled(RGB(255, 255, 255));
  markEdges(oldPicture, newPicture);
  Surface *screen = filled(RGB(0, 0, 0));
  const RECT area{0, 5, 100, 15}; // only these rows are the view
  SlideAnimation::drawFrame(screen, oldPicture, newPicture, area, 30, false);
  EXPECT_EQ(at(screen, 0, 10), RGB(255, 0, 0));      // old, its x = 30
  EXPECT_EQ(at(screen, 69, 10), RGB(255, 0, 0));     // old, its last column
  EXPECT_EQ(at(screen, 70, 10), RGB(255, 255, 255)); // new, its x = 0
  EXPECT_EQ(at(screen, 99, 10), RGB(255, 255, 255)); // new, its x = 29
  EXPECT_EQ(at(screen, 50, 2), RGB(0, 0, 0));        // above the view: untouched
  // The old screen's first column has left the screen, the new one's last is not in yet.
  for (int x = 0; x < 100; ++x) {
    EXPECT_NE(at(screen, x, 10), RGB(0, 0, 255)) << x;
    EXPECT_NE(at(screen, x, 10), RGB(0, 255, 0)) << x;
  }
}

TEST_F(SlideFrameTest, GoingBackMovesTheOldScreenOutToTheRight) {
  Surface *oldPicture = filled(RGB(255, 0, 0));
  Surface *newPicture = filled(RGB(255, 255, 255));
  markEdges(oldPicture, newPicture);
  Surface *screen = filled(RGB(0, 0, 0));
  const RECT area{0, 0, 100, 20};
  SlideAnimation::drawFrame(screen, oldPicture, newPicture, area, 30, true);
  EXPECT_EQ(at(screen, 29, 10), RGB(0, 255, 0));    // the new screen's last column, coming in
  EXPECT_EQ(at(screen, 0, 10), RGB(255, 255, 255)); // new, its x = 70
  EXPECT_EQ(at(screen, 30, 10), RGB(0, 0, 255));    // the old screen's first column, moved on
  EXPECT_EQ(at(screen, 99, 10), RGB(255, 0, 0));    // old, its x = 69
  // At the end only the new screen is there.
  SlideAnimation::drawFrame(screen, oldPicture, newPicture, area, 100, true);
  EXPECT_EQ(at(screen, 0, 10), RGB(255, 255, 255));
  EXPECT_EQ(at(screen, 99, 10), RGB(0, 255, 0));
}

TEST(IconEntryAnimationTest, TheIconsConvergeAndStopWhenTheRestIsSpent) {
  const auto spreads = IconEntryAnimation::spreads(480);
  ASSERT_FALSE(spreads.empty());
  // t = 10: rest = 480 - (0.35 + 10), k = (480 + rest) / 480.
  EXPECT_NEAR(spreads[0], (480 + (480 - 10.35)) / 480.0, 1e-12);
  for (std::size_t i = 1; i < spreads.size(); ++i) {
    EXPECT_LT(spreads[i], spreads[i - 1]);
    EXPECT_GT(spreads[i], 1.0);
  }
  // t = 256 would leave no rest: the frames are those of t = 10, 51, ..., 215.
  EXPECT_EQ(spreads.size(), 6u);
  EXPECT_FALSE(IconEntryAnimation::spreadAt(480, 256));
  EXPECT_FALSE(IconEntryAnimation::spreadAt(480, 300));
  EXPECT_FALSE(IconEntryAnimation::spreadAt(0, 10));
}

TEST(IconEntryAnimationTest, AnIconSpreadsAroundTheCentreAndEndsInItsCell) {
  GridGeometry grid;
  grid.layout(480, 1.0, 80, 4, 1.4);
  const POINT centre{240, 240};
  for (long long slot : {0LL, 5LL, 11LL}) {
    const POINT home = IconEntryAnimation::positionOf(grid, slot, 1.0, centre);
    const GridCell cell = grid.cellOf(slot);
    EXPECT_EQ(home.x, cell.x);
    EXPECT_EQ(home.y, cell.y);
    const POINT spread = IconEntryAnimation::positionOf(grid, slot, 2.0, centre);
    EXPECT_EQ(spread.x - centre.x, 2 * (cell.x - centre.x));
    EXPECT_EQ(spread.y - centre.y, 2 * (cell.y - centre.y));
  }
  // Slot 5 on the defaults: x_c = 140, y_c = 150; spread by 1.5 around (240, 240).
  const POINT at = IconEntryAnimation::positionOf(grid, 5, 1.5, centre);
  EXPECT_EQ(at.x, 90);
  EXPECT_EQ(at.y, 105);
}

TEST(IconEntryAnimationTest, InputEndsTheAnimationAndTheIconsLandInTheirCells) {
  std::vector<std::optional<double>> drawn;
  const auto record = [&](std::optional<double> spread) { drawn.push_back(spread); };
  EXPECT_EQ(IconEntryAnimation::play(480, record, [] { return false; }), 6);
  ASSERT_EQ(drawn.size(), 7u);
  EXPECT_FALSE(drawn.back());
  drawn.clear();
  int asked = 0;
  EXPECT_EQ(IconEntryAnimation::play(480, record, [&] { return ++asked > 2; }), 2);
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_FALSE(drawn.back()) << "the last picture has every icon in place";
}

} // namespace
