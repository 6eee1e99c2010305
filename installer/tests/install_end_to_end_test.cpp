// The package installed and removed with `device install` / `device uninstall` on booted
// devices: language, refusals, reinstalling, failures and what removal leaves behind.
#include <service_testing/service_device.h>

#include <algorithm>

using servicetest::DeviceOptions;
using servicetest::eventually;
using servicetest::ServiceDevice;

namespace {

constexpr char16_t Settings[] = u"SOFTWARE\\Tolmar_Vireta";
constexpr char16_t LanguageFolder[] = u"\\Program Files\\Vireta\\resources\\lang\\";

DeviceOptions withLanguage(const std::string &language) {
  return DeviceOptions{"wm65", "480x640", language, true};
}

// Closes the platform's message box titled `title` (shown by the installer's process).
bool closeBox(const char16_t *title) {
  HWND box = nullptr;
  if (!eventually([&] { return (box = FindWindowW(u"Dialog", title)) != nullptr; }))
    return false;
  return PostMessageW(box, WM_CLOSE, 0, 0) != FALSE;
}

std::vector<std::string> difference(const std::vector<std::string> &a,
                                    const std::vector<std::string> &b) {
  std::vector<std::string> only;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
  return only;
}

std::string joined(const std::vector<std::string> &lines) {
  std::string text;
  for (const auto &line : lines)
    text += "  " + line + "\n";
  return text;
}

// The service the installation started notes the taskbar's design; the note is removed once it
// is there, so that a late write of it can never pass for the next boot's.
::testing::AssertionResult forgetTheTaskbarNote() {
  if (!eventually([] { return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value(); }))
    return ::testing::AssertionFailure() << "the installed service never noted the taskbar";
  servicetest::deleteValue(Settings, u"DeviceWinVersion");
  return ::testing::AssertionSuccess();
}

} // namespace

TEST(InstallPackage, AFrenchDeviceGetsTheFrenchMenuTexts) {
  ServiceDevice device(withLanguage("0x040c"));
  device.boot();
  ASSERT_EQ(device.install().exitCode, 0);
  EXPECT_EQ(servicetest::readString(Settings, u"langFile"),
            std::u16string(LanguageFolder) + u"lang.fran\u00e7ais.txt");
  EXPECT_EQ(servicetest::readString(Settings, u"LANG_QUIT"), u"Quitter");
  EXPECT_EQ(servicetest::readString(Settings, u"LANG_RESTOR"), u"R\u00e9afficher les ic\u00f4nes");
  EXPECT_EQ(servicetest::readString(Settings, u"EXPLAIN_RENAME"),
            u"Entrez le nouveau nom de l'ic\u00f4ne :");
  EXPECT_EQ(servicetest::readString(Settings, u"SourcesDirectory"),
            u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_FALSE(servicetest::readString(Settings, u"LANG_SAVE")) << "not a menu text";
}

TEST(InstallPackage, APortugueseDeviceGetsEnglish) {
  ServiceDevice device(withLanguage("0x0416"));
  device.boot();
  ASSERT_EQ(device.install().exitCode, 0);
  EXPECT_EQ(servicetest::readString(Settings, u"langFile"),
            std::u16string(LanguageFolder) + u"lang.english.txt");
  EXPECT_EQ(servicetest::readString(Settings, u"LANG_QUIT"), u"Quit");
  EXPECT_EQ(servicetest::readString(Settings, u"LANG_RESTOR"), u"Un-hide icons");
}

TEST(InstallPackage, AStorageCardFolderIsRefusedAndChangesNothing) {
  ServiceDevice device;
  device.boot();
  // Refused on a device without the system: the platform's own menu still opens.
  auto refused = device.startTool(
      {"install", "--directory", "\\Storage Card\\Program Files\\Vireta", VIRETA_PACKAGE_DIR});
  ASSERT_TRUE(closeBox(u"Directory error!")) << device.hostLog();
  EXPECT_EQ(refused->wait(), 1) << refused->output();
  EXPECT_FALSE(servicetest::keyExists(u"SOFTWARE\\Apps\\Vireta"));
  EXPECT_FALSE(servicetest::keyExists(u"Services\\Vireta"));
  EXPECT_FALSE(std::filesystem::exists(device.hostPath("Windows/Brevin.dll")));
  device.tap(20, 10);
  EXPECT_TRUE(eventually([&] { return device.window("MSSTARTMENU").has_value(); }));
  device.key("ESC");
  ASSERT_TRUE(device.waitGone("MSSTARTMENU"));

  // Refused over a running system: it keeps running.
  ASSERT_EQ(device.install().exitCode, 0);
  ASSERT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  refused = device.startTool(
      {"install", "--directory", "\\Storage Card\\Program Files\\Vireta", VIRETA_PACKAGE_DIR});
  ASSERT_TRUE(closeBox(u"Directory error!"));
  EXPECT_EQ(refused->wait(), 1);
  EXPECT_TRUE(servicetest::serviceLoaded());
  EXPECT_TRUE(std::filesystem::exists(device.hostPath("Windows/Brevin.dll")));
  device.tap(20, 10);
  EXPECT_TRUE(device.waitVisibleInFront("Vireta"));
}

TEST(InstallPackage, ReinstallingOverARunningSystem) {
  ServiceDevice device;
  device.boot();
  ASSERT_EQ(device.install().exitCode, 0);
  ASSERT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  device.tap(20, 10);
  ASSERT_TRUE(device.waitVisibleInFront("Vireta"));
  device.writeDeviceFile("Program Files/Vireta/resources/old-skin.png", "old");

  const auto again = device.install();
  ASSERT_EQ(again.exitCode, 0) << again.output;
  EXPECT_TRUE(device.waitGone("Vireta")) << "the running menu was told to end";
  EXPECT_FALSE(
      std::filesystem::exists(device.hostPath("Program Files/Vireta/resources/old-skin.png")))
      << "the old resources went before the new files came";
  EXPECT_TRUE(std::filesystem::exists(
      device.hostPath("Program Files/Vireta/resources/lang/lang.english.txt")));
  EXPECT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  const std::string log = device.hostLog();
  EXPECT_NE(log.find("SMC0"), log.rfind("SMC0")) << "deregistered and loaded again\n" << log;

  device.tap(20, 10);
  EXPECT_TRUE(device.waitVisibleInFront("Vireta")) << device.hostLog();
  EXPECT_EQ(device.startsOf("\\Vireta.exe"), 2);
}

TEST(InstallPackage, AServiceThatCannotStartLeavesThePlatformsMenuWorking) {
  ServiceDevice device;
  device.boot();
  // A package whose service library is broken, on a device whose platform menu was switched off
  // by an earlier installation.
  const auto broken = device.root.parent_path() / "broken-package";
  std::filesystem::copy(VIRETA_PACKAGE_DIR, broken, std::filesystem::copy_options::recursive);
  std::ofstream(broken / "Windows" / "Brevin.dll", std::ios::trunc) << "not a library";
  device.writeDeviceFile("Windows/StartMenu.cpr", std::string(4, '\0'));

  auto install = device.startTool({"install", broken.string()});
  ASSERT_TRUE(closeBox(u"Service run")) << device.hostLog();
  EXPECT_EQ(install->wait(), 0) << install->output();
  EXPECT_FALSE(servicetest::serviceLoaded());
  EXPECT_FALSE(std::filesystem::exists(device.hostPath("Windows/StartMenu.cpr")));
  device.tap(20, 10);
  EXPECT_TRUE(eventually([&] { return device.window("MSSTARTMENU").has_value(); }))
      << device.hostLog();
  EXPECT_FALSE(device.window("Vireta"));
}

TEST(InstallPackage, RemovalLeavesNothingOfTheSystemBehind) {
  ServiceDevice device;
  // What every device has, and the package installer keeps for itself: the keys of services,
  // of software and of installed applications, and the folder of kept setup libraries.
  for (const char16_t *key : {u"Services", u"SOFTWARE\\Apps"}) {
    servicetest::writeNumber(key, u"placeholder", 0);
    servicetest::deleteValue(key, u"placeholder");
  }
  std::filesystem::create_directories(device.hostPath("Windows/AppMgr"));
  device.boot();
  const auto registryBefore = servicetest::registryListing();
  const auto filesBefore = servicetest::fileListing(device.root / "fs");

  ASSERT_EQ(device.install().exitCode, 0);
  // The StartUp shortcut runs the registration program at the next boot; the hook thread notes
  // what it found once the taskbar is hooked.
  ASSERT_TRUE(forgetTheTaskbarNote()) << device.hostLog();
  device.reboot();
  ASSERT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  ASSERT_TRUE(eventually(
      [] { return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value(); }));
  ASSERT_TRUE(eventually(
      [] { return servicetest::readString(u"Services\\Vireta", u"Dll") == u"Brevin.dll"; }));
  device.tap(20, 10);
  ASSERT_TRUE(device.waitVisibleInFront("Vireta")) << device.hostLog();
  device.tap(20, 10);
  ASSERT_TRUE(device.waitHidden("Vireta")) << device.hostLog();

  const auto removed = device.uninstall();
  ASSERT_EQ(removed.exitCode, 0) << removed.output;
  EXPECT_FALSE(servicetest::serviceLoaded());
  EXPECT_TRUE(device.waitGone("Vireta"));

  const auto registryAfter = servicetest::registryListing();
  auto filesAfter = servicetest::fileListing(device.root / "fs");
  // The demo applets keep their own trace of the calls they get (the settings links load them);
  // it is the demo device's, not the system's.
  std::erase_if(filesAfter,
                [](const std::string &line) { return line.starts_with("Temp/demo_applets.log "); });
  EXPECT_EQ(registryBefore, registryAfter)
      << "left behind:\n"
      << joined(difference(registryAfter, registryBefore)) << "lost:\n"
      << joined(difference(registryBefore, registryAfter));
  EXPECT_EQ(filesBefore, filesAfter) << "left behind:\n"
                                     << joined(difference(filesAfter, filesBefore)) << "lost:\n"
                                     << joined(difference(filesBefore, filesAfter));

  // After the next boot the device is as it was: the platform's menu opens on Start.
  device.reboot();
  device.tap(20, 10);
  EXPECT_TRUE(eventually([&] { return device.window("MSSTARTMENU").has_value(); }));
}

TEST(InstallPackage, RemovalGivesThePlatformItsOwnLayoutBack) {
  ServiceDevice device;
  device.boot();
  // A device of the newer design carries the platform's own Start menu layout file.
  const auto layout = device.hostPath("Windows/StartMenu.cpr");
  ASSERT_TRUE(std::filesystem::exists(layout)) << "the device has no \\Windows\\StartMenu.cpr";
  const std::string original = device.readDeviceFile("Windows/StartMenu.cpr");
  ASSERT_NE(original, std::string(4, '\0'));

  ASSERT_EQ(device.install().exitCode, 0);
  ASSERT_TRUE(servicetest::runToEnd(u"\\Program Files\\Vireta\\Ostrel.exe", u"startRemove"));
  EXPECT_EQ(device.readDeviceFile("Windows/StartMenu.cpr"), std::string(4, '\0'));
  ASSERT_EQ(device.uninstall().exitCode, 0);
  // The stubs are gone; the shell writes its own layout again when Start is next asked for.
  EXPECT_FALSE(std::filesystem::exists(layout) &&
               device.readDeviceFile("Windows/StartMenu.cpr") == std::string(4, '\0'));
  device.tap(20, 10);
  EXPECT_TRUE(eventually([&] { return device.window("MSSTARTMENU").has_value(); }));
  EXPECT_EQ(device.readDeviceFile("Windows/StartMenu.cpr"), original);
}

TEST(InstallPackage, AnotherProgramFilesFolderIsWhereEverythingIsStartedFrom) {
  ServiceDevice device;
  device.boot();
  const auto installed = device.install({"--directory", "\\Program Files\\Other Menu"});
  ASSERT_EQ(installed.exitCode, 0) << installed.output;
  const std::string shortcut = "38#\"\\Program Files\\Other Menu\\Ostrel.exe\"";
  EXPECT_EQ(device.readDeviceFile("Program Files/Other Menu/Ostrel.lnk"), shortcut);
  EXPECT_EQ(device.readDeviceFile("Windows/StartUp/Ostrel.lnk"), shortcut);

  // At the next boot the StartUp shortcut reaches the registration program, and Start the menu
  // program, in the chosen folder.
  ASSERT_TRUE(forgetTheTaskbarNote()) << device.hostLog();
  servicetest::writeString(u"Services\\Vireta", u"Dll", u"\\Windows\\Brevin.dll");
  device.reboot();
  EXPECT_TRUE(eventually([] {
    return servicetest::readString(u"Services\\Vireta", u"Dll") == u"Brevin.dll";
  })) << device.hostLog();
  ASSERT_TRUE(eventually(
      [] { return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value(); }));
  device.tap(20, 10);
  EXPECT_TRUE(device.waitVisibleInFront("Vireta")) << device.hostLog();
  EXPECT_EQ(device.startsOf("\\Program Files\\Other Menu\\Vireta.exe"), 1);
}
