#include "menu_device.h"

#include <menu/menu_folders.h>

namespace {

using FolderDiscoveryTest = MenuDevice;

TEST_F(FolderDiscoveryTest, FoldersComeFromTheSpecialFoldersInLowerCase) {
  const auto found = folders();
  EXPECT_EQ(found.root, u"\\windows\\start menu\\programs\\");
  EXPECT_EQ(found.startMenu, u"\\windows\\start menu\\");
  EXPECT_EQ(found.programs, u"\\windows\\start menu\\programs");
  EXPECT_TRUE(found.settingsName.empty());
  EXPECT_TRUE(found.settingsPath.empty());

  EXPECT_EQ(folders(CSIDL_STARTMENU).root, u"\\windows\\start menu\\");
  // An id the platform does not know shows the Programs folder.
  EXPECT_EQ(folders(0x7777).root, u"\\windows\\start menu\\programs\\");
}

TEST_F(FolderDiscoveryTest, TheSettingsFolderIsTheFirstWithAFolderIcon) {
  put("Windows/Start Menu/Accessories/readme.txt", "no icon here");
  put("Windows/Start Menu/Old.Settings/icon.lnk", "1#x"); // a "." in its name
  put("Windows/Start Menu/Programs/icon.lnk", "1#x");     // the Programs folder itself
  put("Windows/Start Menu/Einstellungen/icon.lnk", "1#x");
  put("Windows/Start Menu/Zubehoer/icon.lnk", "1#x");
  setDword(Settings, u"startFolderId", 2);

  const auto found = folders(CSIDL_STARTMENU);
  EXPECT_EQ(found.settingsName, u"einstellungen");
  EXPECT_EQ(found.settingsPath, u"\\windows\\start menu\\einstellungen");
  // The name as the device spells it, and the root's id, are written back.
  EXPECT_EQ(text(u"Security\\Shell\\StartInfo\\Start\\Settings", u"Name"), u"Einstellungen");
  EXPECT_EQ(query(Settings, u"startFolderId")->number(), static_cast<DWORD>(CSIDL_STARTMENU));
}

TEST_F(FolderDiscoveryTest, WithoutASettingsFolderNothingIsWritten) {
  put("Windows/Start Menu/Settings/readme.txt", "no icon");
  put("Windows/Start Menu/Settings/Sub/icon.lnk", "1#x"); // too deep to count
  const auto found = folders();
  EXPECT_TRUE(found.settingsName.empty());
  EXPECT_FALSE(has(u"Security\\Shell\\StartInfo\\Start\\Settings", u"Name"));
  EXPECT_FALSE(has(Settings, u"startFolderId"));
}

TEST_F(FolderDiscoveryTest, MenuFoldersMapToTheirDirectories) {
  put("Windows/Start Menu/Settings/icon.lnk", "1#x");
  const auto found = folders();
  EXPECT_EQ(found.directoryOf(u""), u"\\windows\\start menu\\programs\\");
  EXPECT_EQ(found.directoryOf(u"Games"), u"\\windows\\start menu\\programs\\games\\");
  EXPECT_EQ(found.directoryOf(u"\\Games\\Puzzles\\"),
            u"\\windows\\start menu\\programs\\games\\puzzles\\");
  EXPECT_EQ(found.directoryOf(u"Settings\\Personal\\"),
            u"\\windows\\start menu\\settings\\personal\\");
  EXPECT_EQ(found.directoryOf(u"settings"), u"\\windows\\start menu\\settings\\");
  // A folder whose name merely begins with the word is an ordinary folder.
  EXPECT_EQ(found.directoryOf(u"settingsbackup\\"),
            u"\\windows\\start menu\\programs\\settingsbackup\\");

  EXPECT_EQ(found.relativePathOf(u"\\Windows\\Start Menu\\Programs\\Games\\Chess.lnk"),
            u"games\\chess.lnk");
  EXPECT_EQ(found.relativePathOf(u"\\Windows\\Start Menu\\Settings\\Personal\\Owner.cpl"),
            u"settings\\personal\\owner.cpl");
  EXPECT_EQ(found.relativePathOf(u"\\Windows\\calc.exe"), u"windows\\calc.exe");

  EXPECT_TRUE(MenuFolders::isSettingsTree(u"settings"));
  EXPECT_TRUE(MenuFolders::isSettingsTree(u"Settings\\Personal\\"));
  EXPECT_TRUE(MenuFolders::isSettingsTree(u"\\settings\\x"));
  EXPECT_FALSE(MenuFolders::isSettingsTree(u"settingsbackup\\"));
  EXPECT_FALSE(MenuFolders::isSettingsTree(u"games\\settings\\"));
}

TEST_F(FolderDiscoveryTest, ALocalisedSettingsFolderIsStillTheSettingsTree) {
  put("Windows/Start Menu/Einstellungen/icon.lnk", "1#x");
  const auto found = folders();
  EXPECT_EQ(found.directoryOf(u"Settings\\System\\"),
            u"\\windows\\start menu\\einstellungen\\system\\");
}

TEST_F(FolderDiscoveryTest, FoldersAreNormalisedAsTheDisplayNamesThem) {
  EXPECT_EQ(MenuFolders::normalizeFolder(u""), u"");
  EXPECT_EQ(MenuFolders::normalizeFolder(u"\\"), u"");
  EXPECT_EQ(MenuFolders::normalizeFolder(u"\\Games"), u"Games\\");
  EXPECT_EQ(MenuFolders::normalizeFolder(u"Games\\"), u"Games\\");
}

} // namespace
