// The platform's Start menu layout files switched off and restored.
#include <service_control/layout_files.h>

#include <ce/testing/temp_device.h>

class LayoutFilesTest : public TempDevice {};

TEST_F(LayoutFilesTest, SwitchedOffEachIsFourZeroBytesWhateverItsSize) {
  put("Windows/StartMenu.cpr", std::string(5000, 'x'));
  put("Windows/StartMenu2.cpr", "");
  put("Windows/startmenu_old.CPR", "abc");
  put("Windows/Other.cpr", "keep");
  put("Windows/StartMenu.txt", "keep");
  put("Windows/Sub/StartMenu.cpr", "keep");
  EXPECT_EQ(LayoutFiles::switchOff(), 3);
  const std::string zeros(4, '\0');
  EXPECT_EQ(hostRead("Windows/StartMenu.cpr"), zeros);
  EXPECT_EQ(hostRead("Windows/StartMenu2.cpr"), zeros);
  EXPECT_EQ(hostRead("Windows/startmenu_old.CPR"), zeros);
  EXPECT_EQ(hostRead("Windows/Other.cpr"), "keep");
  EXPECT_EQ(hostRead("Windows/StartMenu.txt"), "keep");
  EXPECT_EQ(hostRead("Windows/Sub/StartMenu.cpr"), "keep");
  EXPECT_EQ(LayoutFiles::switchOff(), 3) << "again: the same four bytes";
  EXPECT_EQ(hostRead("Windows/StartMenu.cpr"), zeros);
}

TEST_F(LayoutFilesTest, RestoringDeletesWhatWasWrittenOverThemAndNothingElse) {
  put("Windows/StartMenu.cpr", std::string(4, '\0'));
  put("Windows/StartMenuB.cpr", std::string(4, '\0'));
  put("Windows/StartMenuX.cpr", "the platform's layout");
  put("Windows/StartMenuY.cpr", std::string(5, '\0'));
  put("Windows/StartMenuZ.cpr", std::string("\0\0\0\1", 4));
  put("Windows/Other.cpr", std::string(4, '\0'));
  EXPECT_EQ(LayoutFiles::restore(), 2);
  EXPECT_FALSE(hostExists("Windows/StartMenu.cpr"));
  EXPECT_FALSE(hostExists("Windows/StartMenuB.cpr"));
  EXPECT_EQ(hostRead("Windows/StartMenuX.cpr"), "the platform's layout");
  EXPECT_TRUE(hostExists("Windows/StartMenuY.cpr"));
  EXPECT_TRUE(hostExists("Windows/StartMenuZ.cpr"));
  EXPECT_TRUE(hostExists("Windows/Other.cpr"));
}

TEST_F(LayoutFilesTest, SwitchingOffThenRestoringLeavesNoStub) {
  put("Windows/StartMenu.cpr", "layout");
  EXPECT_EQ(LayoutFiles::switchOff(), 1);
  EXPECT_EQ(LayoutFiles::restore(), 1);
  EXPECT_FALSE(hostExists("Windows/StartMenu.cpr"));
}

TEST_F(LayoutFilesTest, WithoutLayoutFilesNothingHappens) {
  put("Windows/readme.txt", "keep");
  EXPECT_EQ(LayoutFiles::switchOff(), 0);
  EXPECT_EQ(LayoutFiles::restore(), 0);
  EXPECT_FALSE(hostExists("Windows/StartMenu.cpr"));
  EXPECT_EQ(hostRead("Windows/readme.txt"), "keep");
}
