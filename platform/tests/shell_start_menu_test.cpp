// The platform Start menu on a booted demo device, through the real device tool: what it lists,
// a tapped entry starting its program in front, folders and the way back, the ways another
// process closes it (WM_CLOSE, WM_QUIT, WM_DESTROY), losing the foreground, and the StartUp folder
// at boot.
#include "shell_test_device.h"

#include "../src/shell/start_menu_layout.h"
#include "../src/shell/start_menu_layout_file.h"

#include <ce/windows.h>

using shelltest::eventually;
using shelltest::ShellDevice;

namespace {

// The demo's Programs folder as the menu lists it: folders first, then by name.
const std::vector<std::string> kProgramsRows{"Games",     "Office",           "Tools",
                                             "Calendar",  "Contacts",         "Internet Explorer",
                                             "Messaging", "Pictures & Videos"};

int rowOf(const std::vector<std::string> &rows, const std::string &name) {
  const auto it = std::find(rows.begin(), rows.end(), name);
  return it == rows.end() ? -1 : int(it - rows.begin());
}

class ShellStartMenu : public ::testing::Test {
protected:
  // Opens the menu with a tap on Start.
  void open() {
    device_.run({"tap", "10", "18"});
    ASSERT_TRUE(device_.waitWindow("MSSTARTMENU"));
  }
  // Taps row `row` of a menu of `rows` rows (the list not scrolled).
  void tapRow(int row, int rows) {
    const ce::shell::StartMenuLayout layout(480, 640, 36, rows);
    const RECT r = layout.row(row, 0);
    device_.run(
        {"tap", std::to_string(layout.width() / 2), std::to_string(36 + (r.top + r.bottom) / 2)});
  }
  int menuHeight() const {
    const auto menu = device_.window("MSSTARTMENU");
    return menu ? int(menu->rect.bottom - menu->rect.top) : -1;
  }
  static int heightFor(int rows) { return ce::shell::StartMenuLayout(480, 640, 36, rows).height(); }
  bool running(const std::string &devicePath) const {
    return device_.processes().find(devicePath) != std::string::npos;
  }

  ShellDevice device_;
};

} // namespace

TEST_F(ShellStartMenu, ATappedShortcutStartsItsProgramInFrontAndTheMenuCloses) {
  open();
  EXPECT_EQ(menuHeight(), heightFor(int(kProgramsRows.size())))
      << "one row for each entry of the Programs folder";
  tapRow(rowOf(kProgramsRows, "Calendar"), int(kProgramsRows.size()));
  ASSERT_TRUE(device_.waitWindow("DemoSampleProgram"));
  EXPECT_TRUE(device_.waitGone("MSSTARTMENU"));
  EXPECT_TRUE(running("\\Windows\\calendar.exe")) << device_.processes();
  // In front of every other window that shows, but the taskbar, which stays on top.
  EXPECT_TRUE(eventually([&] {
    auto lines = device_.windows();
    std::erase_if(lines,
                  [](const auto &line) { return !line.visible || line.className == "HHTaskBar"; });
    return !lines.empty() && lines.front().className == "DemoSampleProgram" &&
           lines.front().title == "Calendar" && lines.front().foreground;
  }));
  EXPECT_TRUE(device_.logHas("start menu: started \\Windows\\Start Menu\\Programs\\Calendar.lnk"));
}

TEST_F(ShellStartMenu, FoldersOpenInPlaceAndLeadBack) {
  open();
  const int programs = int(kProgramsRows.size());
  // Games: its two shortcuts under a row that leads back.
  tapRow(rowOf(kProgramsRows, "Games"), programs);
  ASSERT_TRUE(eventually([&] { return menuHeight() == heightFor(3); })) << menuHeight();
  tapRow(0, 3);
  ASSERT_TRUE(eventually([&] { return menuHeight() == heightFor(programs); })) << menuHeight();
  // Tools: back, Calculator, File Explorer.
  tapRow(rowOf(kProgramsRows, "Tools"), programs);
  ASSERT_TRUE(eventually([&] { return menuHeight() == heightFor(3); }));
  tapRow(1, 3);
  ASSERT_TRUE(device_.waitWindow("DemoSampleProgram"));
  EXPECT_TRUE(running("\\Windows\\calc.exe")) << device_.processes();
  EXPECT_TRUE(device_.waitGone("MSSTARTMENU"));
  // The next time it opens on the Programs folder again.
  open();
  EXPECT_EQ(menuHeight(), heightFor(programs));
}

TEST_F(ShellStartMenu, KeysChooseAndStartAnEntry) {
  open();
  // Down to Tools, into it, down to File Explorer, start it.
  for (int i = 0; i <= rowOf(kProgramsRows, "Tools"); ++i)
    device_.run({"key", "DOWN"});
  device_.run({"key", "ENTER"});
  ASSERT_TRUE(eventually([&] { return menuHeight() == heightFor(3); }));
  device_.run({"key", "DOWN"});
  device_.run({"key", "DOWN"});
  device_.run({"key", "DOWN"});
  device_.run({"key", "ENTER"});
  ASSERT_TRUE(device_.waitWindow("DemoSampleProgram"));
  EXPECT_TRUE(running("\\Windows\\fexplore.exe")) << device_.processes();
}

// The ways a hook service closes the platform menu before it starts its own: it posts WM_CLOSE,
// WM_QUIT and WM_DESTROY, each alone or all three in a row. A WM_QUIT posted to the menu must
// close it without ending the shell.
TEST_F(ShellStartMenu, PostsFromAnotherProcessCloseItAndTheShellGoesOn) {
  for (const std::vector<UINT> &posts :
       {std::vector<UINT>{WM_CLOSE}, std::vector<UINT>{WM_QUIT}, std::vector<UINT>{WM_DESTROY},
        std::vector<UINT>{WM_CLOSE, WM_QUIT, WM_DESTROY}}) {
    open();
    const HWND menu = FindWindowW(u"MSSTARTMENU", nullptr);
    ASSERT_NE(menu, nullptr);
    for (UINT message : posts)
      EXPECT_TRUE(PostMessageW(menu, message, 0, 0) || message != posts.front())
          << "message " << message;
    EXPECT_TRUE(eventually([] { return FindWindowW(u"MSSTARTMENU", nullptr) == nullptr; }))
        << "posted " << posts.front() << " (" << posts.size() << " messages)";
  }
  // The taskbar still answers.
  open();
  EXPECT_TRUE(device_.window("HHTaskBar")->visible);
}

TEST_F(ShellStartMenu, ItClosesWhenAnotherWindowTakesTheForeground) {
  open();
  device_.run({"run", "\\Windows\\tasks.exe"});
  ASSERT_TRUE(device_.waitWindow("DemoSampleProgram"));
  EXPECT_TRUE(device_.waitGone("MSSTARTMENU"));
  // Opened with the Windows key over that program, it goes when another one comes up.
  device_.run({"key", "LWIN"});
  ASSERT_TRUE(device_.waitWindow("MSSTARTMENU"));
  device_.run({"run", "\\Windows\\solitare.exe"}); // any window in front will do
  EXPECT_TRUE(device_.waitGone("MSSTARTMENU"));
}

TEST(ShellStartMenuDesktop, ATapOnTheDesktopClosesTheMenu) {
  ShellDevice device;
  device.run({"tap", "10", "18"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  device.run({"tap", "450", "600"});
  EXPECT_TRUE(device.waitGone("MSSTARTMENU"));
}

TEST(ShellStartUp, EveryShortcutAndProgramInTheFolderRunsAtBoot) {
  ShellDevice device({"wm65", "480x640", false});
  device.writeDeviceFile("Windows/StartUp/Notes.lnk", "20#\"\\Windows\\notes.exe\"");
  device.writeDeviceFile("Windows/StartUp/Broken.lnk", "17#\\Windows\\gone.exe");
  device.writeDeviceFile("Windows/StartUp/readme.txt", "not a program");
  device.writeDeviceFile("Windows/StartUp/Later/Tasks.lnk", "18#\\Windows\\tasks.exe");
  std::filesystem::copy_file(device.root / "fs/Windows/calendar.exe",
                             device.root / "fs/Windows/StartUp/calendar.exe");
  device.boot();
  ASSERT_TRUE(device.logHas("startup: started \\Windows\\StartUp\\Notes.lnk"));
  EXPECT_TRUE(device.logHas("startup: started \\Windows\\StartUp\\calendar.exe"));
  EXPECT_TRUE(device.logHas("startup: cannot start \\Windows\\StartUp\\Broken.lnk (error 2)"));
  EXPECT_TRUE(eventually([&] {
    const std::string ps = device.processes();
    return ps.find("\\Windows\\notes.exe") != std::string::npos &&
           ps.find("\\Windows\\StartUp\\calendar.exe") != std::string::npos;
  })) << device.processes();
  const std::string log = device.hostLog();
  EXPECT_EQ(log.find("readme.txt"), std::string::npos) << "only shortcuts and programs run";
  EXPECT_EQ(log.find("Tasks.lnk"), std::string::npos) << "sub-folders are not run";
  // The taskbar was up before they started.
  EXPECT_LT(log.find("shell: taskbar up"), log.find("startup: started"));
}

namespace {

std::string readFile(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// The 6.5-style shell keeps its menu's layout in \Windows\StartMenu.cpr: written at boot, a file
// of four zero bytes switches the platform's menu off, and deleting it brings the menu back.
TEST_F(ShellStartMenu, FourZeroBytesInTheLayoutFileSwitchThePlatformMenuOff) {
  const auto file = device_.root / "fs" / "Windows" / "StartMenu.cpr";
  const std::string written = ce::shell::StartMenuLayoutFile::defaultContent();
  EXPECT_EQ(readFile(file), written) << "written at boot";

  device_.writeDeviceFile("Windows/StartMenu.cpr", std::string(4, '\0'));
  device_.run({"tap", "10", "18"});
  ASSERT_TRUE(device_.logHas("start menu: switched off by \\Windows\\StartMenu.cpr"));
  device_.run({"key", "LWIN"});
  ASSERT_TRUE(eventually([&] {
    const std::string log = device_.hostLog();
    std::size_t lines = 0;
    for (auto at = log.find("switched off by"); at != std::string::npos;
         at = log.find("switched off by", at + 1))
      ++lines;
    return lines == 2;
  })) << "each refused Start says why";
  EXPECT_FALSE(device_.window("MSSTARTMENU"));
  EXPECT_EQ(readFile(file), std::string(4, '\0')) << "the switched-off file is left as it is";

  // Any other content keeps the menu on, and is kept.
  device_.writeDeviceFile("Windows/StartMenu.cpr", std::string(5, '\0'));
  open();
  device_.run({"key", "ESC"});
  ASSERT_TRUE(device_.waitGone("MSSTARTMENU"));
  EXPECT_EQ(readFile(file), std::string(5, '\0'));

  std::filesystem::remove(file);
  open();
  EXPECT_EQ(readFile(file), written) << "written again when Start finds it missing";
}

TEST(ShellStartMenuClassic, TheClassicShellKeepsNoLayoutFile) {
  ShellDevice device({"classic"});
  device.run({"tap", "10", "18"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  EXPECT_FALSE(std::filesystem::exists(device.root / "fs" / "Windows" / "StartMenu.cpr"));
}
