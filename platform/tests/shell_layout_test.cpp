// The shell's arithmetic and its view of the Start menu tree: the taskbar's sizes and Start area
// for every screen width (what a hook service tells the two designs apart by), the Start menu's
// rows and scrolling, and how a folder of the tree is listed.
#include "files_fixture.h"

#include "../src/shell/program_folder.h"
#include "../src/shell/start_menu_layout.h"
#include "../src/shell/taskbar_geometry.h"

#include <ce/errors.h>

using ce::TaskbarKind;
using ce::shell::ProgramEntry;
using ce::shell::ProgramFolder;
using ce::shell::StartMenuLayout;
using ce::shell::TaskbarGeometry;

TEST(ShellTaskbarGeometry, DesignSizesAtTheReferenceAndHalfWidth) {
  EXPECT_EQ(TaskbarGeometry(TaskbarKind::Wm65, 480).height(), 36);
  EXPECT_EQ(TaskbarGeometry(TaskbarKind::Classic, 480).height(), 52);
  EXPECT_EQ(TaskbarGeometry(TaskbarKind::Wm65, 240).height(), 18);
  EXPECT_EQ(TaskbarGeometry(TaskbarKind::Classic, 240).height(), 26);
  EXPECT_EQ(TaskbarGeometry(TaskbarKind::Wm65, 480).width(), 480);
}

// A hook service takes width / height (whole numbers) >= 11 for the 6.5-style bar, anything less
// for the classic one. The scaled heights must keep that at every width a device may have,
// including the landscape widths after a rotation.
TEST(ShellTaskbarGeometry, ProportionsTellTheDesignsApartAtEveryWidth) {
  for (int width = 176; width <= 1280; ++width) {
    const TaskbarGeometry wm65(TaskbarKind::Wm65, width), classic(TaskbarKind::Classic, width);
    ASSERT_GE(wm65.width() / wm65.height(), 11) << "6.5-style bar at " << width;
    ASSERT_LT(classic.width() / classic.height(), 11) << "classic bar at " << width;
    ASSERT_GT(classic.height(), wm65.height()) << width;
  }
}

TEST(ShellTaskbarGeometry, StartAreaEdges) {
  // Classic: the left third, by whole-number division.
  const TaskbarGeometry classic240(TaskbarKind::Classic, 240);
  EXPECT_TRUE(classic240.inStartArea(0));
  EXPECT_TRUE(classic240.inStartArea(79));
  EXPECT_FALSE(classic240.inStartArea(80));
  const TaskbarGeometry classic480(TaskbarKind::Classic, 480);
  EXPECT_TRUE(classic480.inStartArea(159));
  EXPECT_FALSE(classic480.inStartArea(160));
  // 6.5 style: the Start button, 60 pixels at 480 and 30 at 240.
  const TaskbarGeometry wm480(TaskbarKind::Wm65, 480), wm240(TaskbarKind::Wm65, 240);
  EXPECT_TRUE(wm480.inStartArea(59));
  EXPECT_FALSE(wm480.inStartArea(60));
  EXPECT_TRUE(wm240.inStartArea(29));
  EXPECT_FALSE(wm240.inStartArea(30));
  // A point off the bar (a hook passes lParam -1: x is -1 as a signed word) is never Start.
  EXPECT_FALSE(wm480.inStartArea(-1));
  EXPECT_FALSE(classic480.inStartArea(-1));
  EXPECT_FALSE(classic480.inStartArea(0xFFFF));
}

TEST(ShellTaskbarGeometry, NonsenseWidthsStillGiveABar) {
  for (int width : {0, -5, 1}) {
    const TaskbarGeometry bar(TaskbarKind::Classic, width);
    EXPECT_GE(bar.width(), 1);
    EXPECT_GE(bar.height(), 1);
  }
}

TEST(ShellStartMenuLayout, RowsSitUnderTheTaskbarAndAreFoundAgainByTheirPoints) {
  const StartMenuLayout layout(480, 640, 36, 8);
  const RECT window = layout.window();
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 36);
  EXPECT_LE(window.bottom, 640);
  EXPECT_LT(window.right, 480); // it leaves the desktop visible beside it
  EXPECT_EQ(layout.maxScroll(), 0);
  EXPECT_GE(layout.rowHeight(), 48) << "a finger's height on a 480-pixel screen";
  for (int row = 0; row < 8; ++row) {
    const RECT r = layout.row(row, 0);
    EXPECT_EQ(layout.rowAt(POINT{r.left + 5, r.top}, 0), row);
    EXPECT_EQ(layout.rowAt(POINT{r.right - 1, r.bottom - 1}, 0), row);
  }
  EXPECT_EQ(layout.rowAt(POINT{10, layout.row(7, 0).bottom}, 0), -1) << "below the last row";
  EXPECT_EQ(layout.rowAt(POINT{layout.width(), layout.row(0, 0).top}, 0), -1) << "beside it";
  EXPECT_EQ(layout.rowAt(POINT{10, 0}, 0), -1) << "the border";
}

TEST(ShellStartMenuLayout, ALongListScrollsWithinTheScreen) {
  const StartMenuLayout layout(240, 320, 18, 40);
  EXPECT_EQ(layout.window().bottom, 320) << "never below the screen";
  ASSERT_GT(layout.maxScroll(), 0);
  EXPECT_EQ(layout.clampScroll(-50), 0);
  EXPECT_EQ(layout.clampScroll(1 << 20), layout.maxScroll());
  // Scrolled to the end, the last row is the last one shown, whole.
  const RECT last = layout.row(39, layout.maxScroll());
  EXPECT_EQ(last.bottom, layout.padding() + layout.viewHeight());
  EXPECT_EQ(layout.rowAt(POINT{5, last.bottom - 1}, layout.maxScroll()), 39);
  // Bringing a row into view scrolls only as far as needed, both ways.
  int scroll = layout.scrollToShow(20, 0);
  EXPECT_GE(layout.row(20, scroll).top, layout.padding());
  EXPECT_LE(layout.row(20, scroll).bottom, layout.padding() + layout.viewHeight());
  EXPECT_EQ(layout.row(20, scroll).bottom, layout.padding() + layout.viewHeight());
  scroll = layout.scrollToShow(2, scroll);
  EXPECT_EQ(layout.row(2, scroll).top, layout.padding());
}

TEST(ShellStartMenuLayout, ATurnedScreenKeepsRowsAFingerHighAndTheMenuOnScreen) {
  const StartMenuLayout portrait(480, 640, 36, 8), landscape(640, 480, 48, 8);
  EXPECT_EQ(landscape.rowHeight(), portrait.rowHeight());
  EXPECT_EQ(landscape.window().top, 48);
  EXPECT_LE(landscape.window().bottom, 480);
  EXPECT_GT(landscape.maxScroll(), 0) << "eight rows do not fit under a landscape bar";
}

TEST(ShellStartMenuLayout, AnEmptyFolderStillGetsAWindowAndNoRows) {
  const StartMenuLayout layout(480, 640, 52, 0);
  EXPECT_GT(layout.height(), 0);
  EXPECT_EQ(layout.maxScroll(), 0);
  EXPECT_EQ(layout.rowAt(POINT{10, layout.padding() + 1}, 0), -1);
}

class ShellProgramFolder : public ce::testing::DeviceFiles {};

TEST_F(ShellProgramFolder, FoldersFirstThenShortcutsAndProgramsByNameWithoutRegardToCase) {
  hostWrite("Menu/beta.lnk", "1#x");
  hostWrite("Menu/Alpha.LNK", "1#x");
  hostWrite("Menu/gamma.exe", "ELF");
  hostWrite("Menu/notes.txt", "not a program");
  hostWrite("Menu/Zulu/inside.lnk", "1#x");
  hostWrite("Menu/apps/inside.lnk", "1#x");
  hostWrite("Menu/.lnk", "a name of nothing but its extension");
  DWORD error = 1;
  const auto entries = ProgramFolder::list(u"\\Menu", &error);
  EXPECT_EQ(error, DWORD(ERROR_SUCCESS));
  std::vector<std::u16string> names, paths;
  std::vector<bool> folders;
  for (const ProgramEntry &e : entries) {
    names.push_back(e.name);
    paths.push_back(e.path);
    folders.push_back(e.folder);
  }
  EXPECT_EQ(names,
            (std::vector<std::u16string>{u"apps", u"Zulu", u"Alpha", u"beta", u"gamma"}));
  EXPECT_EQ(folders, (std::vector<bool>{true, true, false, false, false}));
  EXPECT_EQ(paths[0], u"\\Menu\\apps");
  EXPECT_EQ(paths[2], u"\\Menu\\Alpha.LNK");
}

TEST_F(ShellProgramFolder, EmptyAndMissingFoldersListNothingAndSayWhich) {
  std::filesystem::create_directories(fs_ / "Empty");
  DWORD error = 1;
  EXPECT_TRUE(ProgramFolder::list(u"\\Empty", &error).empty());
  EXPECT_EQ(error, DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(ProgramFolder::list(u"\\Missing", &error).empty());
  EXPECT_NE(error, DWORD(ERROR_SUCCESS));
  hostWrite("AFile", "x");
  EXPECT_TRUE(ProgramFolder::list(u"\\AFile", &error).empty());
  EXPECT_NE(error, DWORD(ERROR_SUCCESS));
  // A path that leaves the device's file system lists nothing either.
  EXPECT_TRUE(ProgramFolder::list(u"\\..\\..", &error).empty());
  EXPECT_NE(error, DWORD(ERROR_SUCCESS));
}

TEST_F(ShellProgramFolder, AHugeFolderIsListedOnlyUpToTheLimit) {
  for (std::size_t i = 0; i < ProgramFolder::kMaxEntries + 20; ++i)
    hostWrite("Big/p" + std::to_string(i) + ".lnk", "1#x");
  EXPECT_EQ(ProgramFolder::list(u"\\Big").size(), ProgramFolder::kMaxEntries);
}

TEST(ShellProgramNames, PathsAndNames) {
  EXPECT_EQ(ProgramFolder::displayName(u"Internet Explorer.lnk"), u"Internet Explorer");
  EXPECT_EQ(ProgramFolder::displayName(u"calc.EXE"), u"calc");
  EXPECT_EQ(ProgramFolder::displayName(u"readme.txt"), u"readme.txt");
  EXPECT_EQ(ProgramFolder::lastComponent(u"\\Windows\\Start Menu\\Programs\\Games"), u"Games");
  EXPECT_EQ(ProgramFolder::lastComponent(u"\\Windows\\Games\\"), u"Games");
  EXPECT_EQ(ProgramFolder::parentOf(u"\\Windows\\Start Menu\\Programs\\Games"),
            u"\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(ProgramFolder::parentOf(u"\\Windows"), u"\\");
  EXPECT_EQ(ProgramFolder::parentOf(u"\\"), u"\\");
  EXPECT_EQ(ProgramFolder::parentOf(u""), u"\\");
}
