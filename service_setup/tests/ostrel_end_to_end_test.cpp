// The registration program started on a booted device with the package installed.
#include <service_testing/service_device.h>

using servicetest::eventually;
using servicetest::ServiceDevice;

namespace {

constexpr char16_t Ostrel[] = u"\\Program Files\\Vireta\\Ostrel.exe";
constexpr char16_t ServiceKey[] = u"Services\\Vireta";
constexpr char16_t CompanionKey[] = u"Software\\Quarn\\Velmo\\";

std::unique_ptr<ServiceDevice> installedDevice() {
  auto device = std::make_unique<ServiceDevice>();
  device->boot();
  const auto installed = device->install();
  EXPECT_EQ(installed.exitCode, 0) << installed.output;
  EXPECT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  return device;
}

bool run(std::u16string_view arguments) { return servicetest::runToEnd(Ostrel, arguments); }

} // namespace

TEST(OstrelProgram, LayoutWordsSwitchTheFilesOffAndBack) {
  auto device = installedDevice();
  device->writeDeviceFile("Windows/StartMenu.cpr", "the platform's layout");
  device->writeDeviceFile("Windows/StartMenu_Tiles.cpr", std::string(300, 'L'));
  ASSERT_TRUE(run(u"startRemove"));
  EXPECT_EQ(device->readDeviceFile("Windows/StartMenu.cpr"), std::string(4, '\0'));
  EXPECT_EQ(device->readDeviceFile("Windows/StartMenu_Tiles.cpr"), std::string(4, '\0'));
  // "startBack" is looked for before "startRemove".
  ASSERT_TRUE(run(u"startRemove startBack"));
  EXPECT_FALSE(std::filesystem::exists(device->hostPath("Windows/StartMenu.cpr")));
  EXPECT_FALSE(std::filesystem::exists(device->hostPath("Windows/StartMenu_Tiles.cpr")));
  EXPECT_TRUE(servicetest::serviceLoaded()) << "the layout words leave the service alone";
}

TEST(OstrelProgram, RemoveThenRegisterAgain) {
  auto device = installedDevice();
  device->tap(20, 10);
  ASSERT_TRUE(device->waitVisibleInFront("Vireta"));
  device->writeDeviceFile("Windows/StartMenu.cpr", std::string(4, '\0'));
  ASSERT_TRUE(std::filesystem::exists(device->hostPath("Windows/StartUp/Ostrel.lnk")));

  ASSERT_TRUE(run(u" uninstall"));
  EXPECT_FALSE(servicetest::serviceLoaded());
  EXPECT_FALSE(servicetest::keyExists(ServiceKey));
  EXPECT_FALSE(std::filesystem::exists(device->hostPath("Windows/StartUp/Ostrel.lnk")));
  EXPECT_FALSE(std::filesystem::exists(device->hostPath("Windows/StartMenu.cpr")));
  EXPECT_TRUE(device->waitGone("Vireta")) << "the menu was told to end";
  device->tap(20, 10);
  EXPECT_TRUE(eventually([&] { return device->window("MSSTARTMENU").has_value(); }))
      << "the platform's own menu opens again";
  device->key("ESC");
  ASSERT_TRUE(device->waitGone("MSSTARTMENU"));

  // No word: registered and started, the StartUp shortcut back in place.
  ASSERT_TRUE(run(u""));
  EXPECT_TRUE(servicetest::serviceLoaded());
  EXPECT_EQ(servicetest::readString(ServiceKey, u"Dll"), u"Brevin.dll");
  EXPECT_EQ(servicetest::readString(ServiceKey, u"Prefix"), u"SMC");
  EXPECT_EQ(servicetest::readString(ServiceKey, u"DisplayName"), u"Vireta");
  EXPECT_EQ(servicetest::readNumber(ServiceKey, u"Order"), 255u);
  EXPECT_EQ(servicetest::readNumber(ServiceKey, u"Keep"), 1u);
  EXPECT_EQ(servicetest::readNumber(ServiceKey, u"Index"), 0u);
  EXPECT_EQ(device->readDeviceFile("Windows/StartUp/Ostrel.lnk"),
            device->readDeviceFile("Program Files/Vireta/Ostrel.lnk"));
  EXPECT_FALSE(servicetest::keyExists(CompanionKey, HKEY_CURRENT_USER))
      << "no settings are made up for a companion host the device does not have";
  device->tap(20, 10);
  EXPECT_TRUE(device->waitVisibleInFront("Vireta")) << device->hostLog();

  // "uninst" is looked for first.
  ASSERT_TRUE(run(u"startBack uninst"));
  EXPECT_FALSE(servicetest::serviceLoaded());
  EXPECT_FALSE(servicetest::keyExists(ServiceKey));
}

TEST(OstrelProgram, RegisteringResetsTheCompanionHostWhereItIsInstalled) {
  auto device = installedDevice();
  servicetest::writeNumber(CompanionKey, u"ForceClose", 1, HKEY_CURRENT_USER);
  ASSERT_TRUE(run(u""));
  EXPECT_EQ(servicetest::readNumber(CompanionKey, u"ForceClose", HKEY_CURRENT_USER), 0u);
  EXPECT_TRUE(servicetest::serviceLoaded()) << "an already loaded service counts as started";
}
