// The taskbar's design from its proportions, its Start areas and the menu's top folder.
#include "taskbar_shape.h"

#include <gtest/gtest.h>

namespace {

LPARAM at(int x, int y = 10) { return MAKELONG(x, y); }

} // namespace

TEST(TaskbarShape, TheNarrowBarIsAtLeastElevenTimesAsWideAsHigh) {
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 480, 36}), true);  // 13
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 480, 52}), false); // 9
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 440, 40}), true);  // exactly 11
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 439, 40}), false); // 10.97 rounds down to 10
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 240, 18}), true);
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 240, 26}), false);
}

TEST(TaskbarShape, ABarWithoutHeightCannotBeToldApart) {
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 480, 0}), std::nullopt);
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, -36, 480, -1}), std::nullopt);
  EXPECT_EQ(TaskbarShape::isNarrow(RECT{0, 0, 0, 0}), std::nullopt);
}

TEST(TaskbarShape, OnlyAnAkuTextStartingWithPointFiveKeepsTheProgramsFolder) {
  using TaskbarShape::ProgramsFolder;
  using TaskbarShape::StartMenuFolder;
  EXPECT_EQ(TaskbarShape::startFolderForAku(u".5.2"), ProgramsFolder);
  EXPECT_EQ(TaskbarShape::startFolderForAku(u".5"), ProgramsFolder);
  EXPECT_EQ(TaskbarShape::startFolderForAku(u".1.1"), StartMenuFolder);
  EXPECT_EQ(TaskbarShape::startFolderForAku(u"6.5"), StartMenuFolder);
  EXPECT_EQ(TaskbarShape::startFolderForAku(u"6.1.4"), StartMenuFolder);
  EXPECT_EQ(TaskbarShape::startFolderForAku(u""), StartMenuFolder);
  EXPECT_EQ(TaskbarShape::startFolderForAku(std::nullopt), ProgramsFolder);
}

TEST(TaskbarShape, TheOlderBarsStartAreaIsItsLeftThird) {
  EXPECT_TRUE(TaskbarShape::inClassicStartArea(at(0), 240));
  EXPECT_TRUE(TaskbarShape::inClassicStartArea(at(79), 240));
  EXPECT_FALSE(TaskbarShape::inClassicStartArea(at(80), 240));
  EXPECT_TRUE(TaskbarShape::inClassicStartArea(at(159), 480));
  EXPECT_FALSE(TaskbarShape::inClassicStartArea(at(160), 480));
  EXPECT_TRUE(TaskbarShape::inClassicStartArea(at(79), 241)); // 241 / 3 = 80
  EXPECT_FALSE(TaskbarShape::inClassicStartArea(at(80), 242));
  // x is unsigned: a point left of the bar (-1) is far right, not in the area.
  EXPECT_FALSE(TaskbarShape::inClassicStartArea(static_cast<LPARAM>(-1), 480));
  EXPECT_FALSE(TaskbarShape::inClassicStartArea(at(0), 0));
}

TEST(TaskbarShape, TheMenuBarStartAreaIsItsLeftSixthInExactFractions) {
  EXPECT_TRUE(TaskbarShape::inMenuBarStartArea(at(79), 480));
  EXPECT_FALSE(TaskbarShape::inMenuBarStartArea(at(80), 480));
  EXPECT_TRUE(TaskbarShape::inMenuBarStartArea(at(40), 245)); // 40 < 40.83
  EXPECT_FALSE(TaskbarShape::inMenuBarStartArea(at(41), 245));
  EXPECT_FALSE(TaskbarShape::inMenuBarStartArea(static_cast<LPARAM>(-1), 480));
}
