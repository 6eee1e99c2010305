// End to end on a booted demo device with the package installed: how the menu program starts,
// hands a second start over to the running one, starts the service and ends.
#include "menu_program_device.h"

#include <ce/services.h>

namespace {

using menutest::MenuProgramDevice;
using menutest::SettingsKey;
using servicetest::eventually;

// The lines of the host's log that tell of the service being registered.
int registrations(const MenuProgramDevice &phone) {
  const std::string log = phone.device.hostLog();
  int count = 0;
  for (std::size_t at = 0; (at = log.find("service \"SMC\" 0 from", at)) != std::string::npos; ++at)
    ++count;
  return count;
}

// The lines of `after` that `before` lacks, and those it lost, marked + and -.
std::vector<std::string> changes(const std::vector<std::string> &before,
                                 const std::vector<std::string> &after) {
  std::vector<std::string> changed;
  for (const auto &line : after)
    if (std::find(before.begin(), before.end(), line) == before.end())
      changed.push_back("+ " + line);
  for (const auto &line : before)
    if (std::find(after.begin(), after.end(), line) == after.end())
      changed.push_back("- " + line);
  return changed;
}

// The registry once the device has settled, the menu's own writes done.
std::vector<std::string> settledRegistry() {
  EXPECT_TRUE(servicetest::ServiceDevice::sync());
  return servicetest::registryListing();
}

void stopTheService() {
  WCHAR name[] = u"SMC0:";
  HANDLE service = GetServiceHandle(name, nullptr, nullptr);
  ASSERT_NE(service, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(DeregisterService(service));
  CloseHandle(service);
  ASSERT_TRUE(eventually([] { return !servicetest::serviceLoaded(); }));
}

TEST(MenuProgramStart, ASecondStartShowsTheRunningMenuAndEndsWithoutTouchingTheRegistry) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  phone.startMenuAndWait();
  // Every icon of the top level has been made (and its picture cached) once.
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  ASSERT_TRUE(eventually([&] {
    const menutest::Frame shown = MenuProgramDevice::frame();
    const POINT last = phone.iconCentre(MenuProgramDevice::grid(4), 8);
    const std::uint16_t pixel = shown.at(last.x, last.y);
    return pixel != menutest::FlatBackground565 && pixel != 0;
  }));
  const long pid = phone.menu()->pid;
  phone.tapStart();
  ASSERT_TRUE(phone.waitHidden()) << "Start while the menu is in front sends it away";
  EXPECT_EQ(phone.menuProcesses(), 1) << "it stays resident";
  const auto before = settledRegistry();

  // Started again with a folder: the running menu comes back on its top level, and the second
  // start ends without passing its folder on.
  phone.startMenu("Games");
  ASSERT_TRUE(phone.waitShown()) << phone.device.hostLog();
  EXPECT_TRUE(eventually([&] { return phone.device.startsOf("\\Vireta.exe") == 2; }));
  EXPECT_TRUE(eventually([&] { return phone.menuProcesses() == 1; }));
  EXPECT_EQ(phone.menu()->pid, pid);
  EXPECT_EQ(phone.title(), "Vireta");
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  EXPECT_EQ(changes(before, servicetest::registryListing()), std::vector<std::string>{});
  EXPECT_FALSE(MenuProgramDevice::hasSetting(u"folderToOpen"));
}

TEST(MenuProgramStart, ACommandLineOpensItsFolderAndTheHandOverIsGoneAfterwards) {
  MenuProgramDevice phone;
  phone.startMenuAndWait("Games");
  EXPECT_TRUE(phone.waitTitle("Games\\"));
  EXPECT_FALSE(MenuProgramDevice::hasSetting(u"folderToOpen"));
  phone.screenshot("480x640-folder-from-command-line");
  // The left key leads back to the top level.
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitTitle("Vireta"));
}

TEST(MenuProgramStart, WithTheServiceRunningItIsNotRegisteredAgain) {
  MenuProgramDevice phone;
  const int before = registrations(phone);
  phone.startMenuAndWait();
  EXPECT_EQ(registrations(phone), before) << phone.device.hostLog();
  EXPECT_FALSE(phone.device.window("ChildWindowSense")) << "no message";
  EXPECT_TRUE(servicetest::serviceLoaded());
}

TEST(MenuProgramStart, WithoutTheServiceTheMenuStartsItAndTheStartButtonWorksAgain) {
  MenuProgramDevice phone;
  stopTheService();
  servicetest::deleteValue(SettingsKey, u"DeviceWinVersion");
  const int before = registrations(phone);
  phone.startMenuAndWait();
  EXPECT_EQ(registrations(phone), before + 1);
  EXPECT_TRUE(servicetest::serviceLoaded());
  EXPECT_FALSE(phone.device.window("ChildWindowSense"));
  // The service hooks the taskbar again (and notes its design): Start sends the menu away.
  ASSERT_TRUE(eventually(
      [] { return servicetest::readNumber(SettingsKey, u"DeviceWinVersion").has_value(); }));
  ASSERT_TRUE(phone.waitSettled()) << "the menu's first showing is over";
  phone.tapStart();
  EXPECT_TRUE(phone.waitHidden());
}

TEST(MenuProgramStart, AServiceThatCannotStartIsToldInABoxAndTheMenuComesAfterIt) {
  MenuProgramDevice phone;
  stopTheService();
  std::filesystem::rename(phone.device.hostPath("Windows/Brevin.dll"),
                          phone.device.hostPath("Windows/Brevin.off"));
  phone.startMenu();
  ASSERT_TRUE(eventually([&] {
    const auto box = phone.device.window("ChildWindowSense");
    return box && box->visible;
  })) << phone.device.hostLog();
  phone.screenshot("480x640-service-error");
  const HWND box = FindWindowW(u"ChildWindowSense", nullptr);
  ASSERT_TRUE(box);
  char16_t title[64] = {};
  GetWindowTextW(box, title, 64);
  EXPECT_EQ(std::u16string(title), u"Brevin.dll error");
  // Answered, the box goes and the menu shows its screen.
  PostMessageW(box, WM_QUIT, 0, 0);
  EXPECT_TRUE(phone.waitShown()) << phone.device.hostLog();
  EXPECT_EQ(phone.title(), "Vireta");
}

TEST(MenuProgramStart, TheEndsAndTheHidingOfTheMenu) {
  MenuProgramDevice phone;
  // A quit request while resident only hides the menu.
  phone.startMenuAndWait();
  ASSERT_TRUE(MenuProgramDevice::post(WM_QUIT, 0));
  EXPECT_TRUE(phone.waitHidden());
  EXPECT_EQ(phone.menuProcesses(), 1);

  // "Quit" ends it.
  ASSERT_TRUE(MenuProgramDevice::command(1002));
  EXPECT_TRUE(eventually([&] { return phone.menuProcesses() == 0; }));

  // The options program's reload request ends it too.
  phone.startMenuAndWait();
  ASSERT_TRUE(MenuProgramDevice::post(WM_USER, 1056));
  EXPECT_TRUE(eventually([&] { return phone.menuProcesses() == 0; }));

  // And so does 0x420 with 1, which the service and the setup library post.
  phone.startMenuAndWait();
  ASSERT_TRUE(MenuProgramDevice::post(0x420, 1));
  EXPECT_TRUE(eventually([&] { return phone.menuProcesses() == 0; }));
  EXPECT_FALSE(phone.device.window("ToolbarWindow32")) << "its soft-key bar went with it";
}

TEST(MenuProgramStart, StrayShortcutsMoveIntoProgramsUnlessTheStartMenuFolderIsTheRoot) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  const auto startMenu = phone.device.hostPath("Windows/Start Menu");
  const auto programs = startMenu / "Programs";
  const auto shortcut = [](const std::filesystem::path &file, const std::string &command) {
    std::ofstream(file) << command.size() << "#" << command;
  };
  shortcut(startMenu / "Stray.lnk", "\\Windows\\calc.exe");
  shortcut(startMenu / "Clash.lnk", "\\Windows\\new.exe");
  shortcut(programs / "clash.lnk", "\\Windows\\old.exe");
  phone.startMenuAndWait();
  // The moves come before the screen is built.
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  EXPECT_TRUE(std::filesystem::exists(programs / "Stray.lnk"));
  EXPECT_FALSE(std::filesystem::exists(startMenu / "Stray.lnk"));
  // Its name taken in Programs, a shortcut stays where it is, and both files are kept.
  EXPECT_EQ(servicetest::readHostFile(startMenu / "Clash.lnk"), "16#\\Windows\\new.exe");
  EXPECT_EQ(servicetest::readHostFile(programs / "clash.lnk"), "16#\\Windows\\old.exe");
  // The moved shortcut is an item of the top level.
  EXPECT_TRUE(eventually([] {
    return servicetest::readString(u"Security\\Shell\\StartInfo\\Start\\Stray.lnk", u"name") ==
           u"Stray";
  }));
  phone.endMenu();

  // With the Start Menu folder as the top level, nothing moves.
  servicetest::writeNumber(SettingsKey, u"startFolderId", 11);
  shortcut(startMenu / "Another.lnk", "\\Windows\\calc.exe");
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  EXPECT_TRUE(std::filesystem::exists(startMenu / "Another.lnk"));
  EXPECT_FALSE(std::filesystem::exists(programs / "Another.lnk"));
  EXPECT_EQ(servicetest::readNumber(SettingsKey, u"startFolderId"), 11u);
}

} // namespace
