// Where the back key, a swipe to the right and a tap on a folder lead.
#include <menu/screen/folder_navigation.h>

#include <gtest/gtest.h>

namespace {

MenuFolders phoneFolders() {
  MenuFolders folders;
  folders.root = u"\\windows\\start menu\\programs\\";
  folders.startMenu = u"\\windows\\start menu\\";
  folders.programs = u"\\windows\\start menu\\programs";
  folders.settingsName = u"settings";
  folders.settingsPath = u"\\windows\\start menu\\settings";
  return folders;
}

TEST(FolderNavigationTest, BackGoesUpOneLevelAndStopsAtTheTop) {
  EXPECT_EQ(FolderNavigation::parentOf(u"games\\puzzles\\"), u"games\\");
  EXPECT_EQ(FolderNavigation::parentOf(u"games\\"), u"");
  EXPECT_EQ(FolderNavigation::parentOf(u""), u"");
  EXPECT_EQ(FolderNavigation::parentOf(u"ab\\c\\"), u"ab\\");
  EXPECT_EQ(FolderNavigation::parentOf(u"a\\b\\c\\d\\"), u"a\\b\\c\\");
  // Without its trailing separator the same folder has the same parent.
  EXPECT_EQ(FolderNavigation::parentOf(u"games\\puzzles"), u"games\\");
}

TEST(FolderNavigationTest, AOneLetterFolderIsAFolderLikeAnyOther) {
  // The separator after a one-letter folder name lies at index 1: still a level, not the top.
  EXPECT_EQ(FolderNavigation::parentOf(u"a\\b\\"), u"a\\");
  EXPECT_EQ(FolderNavigation::parentOf(u"a\\"), u"");
  EXPECT_EQ(FolderNavigation::parentOf(u"x\\y\\z\\"), u"x\\y\\");
  // A leading separator leaves nothing above the last component.
  EXPECT_EQ(FolderNavigation::parentOf(u"\\b\\"), u"");
}

TEST(FolderNavigationTest, AFolderItemOpensItsPathBelowTheRoot) {
  const MenuFolders folders = phoneFolders();
  EXPECT_EQ(FolderNavigation::folderOfItem(u"\\Windows\\Start Menu\\Programs\\Games", folders),
            u"games");
  EXPECT_EQ(
      FolderNavigation::folderOfItem(u"\\windows\\start menu\\programs\\games\\Puzzles", folders),
      u"games\\puzzles");
  // Below the Settings folder: "settings\" and the rest, one separator between.
  EXPECT_EQ(FolderNavigation::folderOfItem(u"\\Windows\\Start Menu\\Settings\\Personal", folders),
            u"settings\\personal");
  EXPECT_EQ(FolderNavigation::folderOfItem(u"\\Windows\\Start Menu\\Settings", folders),
            u"settings\\");
  // Anywhere else: the whole path.
  EXPECT_EQ(FolderNavigation::folderOfItem(u"\\Storage Card\\Tools", folders),
            u"\\storage card\\tools");
}

TEST(FolderNavigationTest, WithoutASettingsFolderOnlyTheRootCounts) {
  MenuFolders folders = phoneFolders();
  folders.settingsName.clear();
  folders.settingsPath.clear();
  EXPECT_EQ(FolderNavigation::folderOfItem(u"\\windows\\start menu\\settings\\x", folders),
            u"\\windows\\start menu\\settings\\x");
}

TEST(FolderNavigationTest, TheTitleIsTheFolderOrTheProgramsName) {
  EXPECT_EQ(FolderNavigation::titleOf(u""), u"Vireta");
  EXPECT_EQ(FolderNavigation::titleOf(u"games\\"), u"games\\");
}

} // namespace
