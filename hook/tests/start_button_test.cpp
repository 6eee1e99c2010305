// End to end: the package installed on a booted device, the service loaded by the services host,
// the Start button and the Windows key driven through the device tool.
#include <service_testing/service_device.h>

#include <hook/shared_global_values.h>

using servicetest::DeviceOptions;
using servicetest::eventually;
using servicetest::ServiceDevice;

namespace {

constexpr char16_t Settings[] = u"SOFTWARE\\Tolmar_Vireta";
constexpr char Menu[] = "Vireta";

// A booted device with the package installed and the service running.
std::unique_ptr<ServiceDevice> installedDevice(const DeviceOptions &options = DeviceOptions{}) {
  auto device = std::make_unique<ServiceDevice>(options);
  device->boot();
  const auto installed = device->install();
  EXPECT_EQ(installed.exitCode, 0) << installed.output;
  EXPECT_TRUE(eventually([] { return servicetest::serviceLoaded(); })) << device->hostLog();
  return device;
}

// The key witness program started on the device and in front.
void startKeyWitness(const ServiceDevice &device) {
  std::filesystem::copy_file(KEY_WITNESS_PROGRAM, device.hostPath("Windows/key_witness.exe"));
  device.run({"run", "\\Windows\\key_witness.exe"});
  ASSERT_TRUE(eventually([&] {
    return device.readDeviceFile("Temp/key_witness.txt").find("ready") != std::string::npos;
  }));
  ASSERT_TRUE(device.waitVisibleInFront("KeyWitness"));
}

bool witnessSaw(const ServiceDevice &device, const std::string &line) {
  return eventually([&] {
    return device.readDeviceFile("Temp/key_witness.txt").find(line) != std::string::npos;
  });
}

} // namespace

// Both taskbar designs on both screen sizes: the design's number, the folder the hook thread finds
// for it and the taskbar's rectangle as the bar really lies.
struct Profile {
  const char *taskbar;
  const char *screen;
  DWORD deviceWinVersion;
  DWORD startFolderId;
};

class StartButtonOn : public ::testing::TestWithParam<Profile> {};

TEST_P(StartButtonOn, AfterInstallAndRebootTheTapOpensSendsAwayAndBringsBackOneMenu) {
  const Profile profile = GetParam();
  auto device = installedDevice(DeviceOptions{profile.taskbar, profile.screen, "", true});
  // What the hook thread writes must come back at the next boot. The service started by the
  // installation writes it too: wait for that first, so that its late write cannot pass for the
  // next boot's.
  ASSERT_TRUE(eventually([] {
    return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value();
  })) << device->hostLog();
  servicetest::deleteValue(Settings, u"startFolderId");
  servicetest::deleteValue(Settings, u"DeviceWinVersion");
  device->reboot();

  // At boot the StartUp shortcut runs the registration program, which writes its own service
  // key (the bare library name) over the one of the installation; the host loads "SMC0:".
  EXPECT_TRUE(eventually([] {
    return servicetest::readString(u"Services\\Vireta", u"Dll") == u"Brevin.dll";
  })) << device->hostLog();
  EXPECT_TRUE(eventually([] { return servicetest::serviceLoaded(); })) << device->hostLog();
  ASSERT_TRUE(eventually([] {
    return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value();
  })) << device->hostLog();
  EXPECT_EQ(servicetest::readNumber(Settings, u"DeviceWinVersion"), profile.deviceWinVersion);
  EXPECT_EQ(servicetest::readNumber(Settings, u"startFolderId"), profile.startFolderId);

  // The record says what the hook thread found.
  {
    const auto shared = SharedGlobalValues::openExisting();
    ASSERT_TRUE(shared);
    const GlobalValues &record = *shared.record();
    EXPECT_EQ(record.serviceStarted, 1);
    EXPECT_EQ(record.deviceWinVersion, static_cast<int>(profile.deviceWinVersion));
    EXPECT_NE(record.hookThreadId, 0u);
    // The message that asks the newer bar for its Start menu exists only on that bar.
    EXPECT_EQ(record.activateStartMessage != 0, profile.deviceWinVersion == 1);
    const auto taskbar = device->window("HHTaskBar");
    ASSERT_TRUE(taskbar);
    EXPECT_EQ(record.taskbarRect().left, taskbar->rect.left);
    EXPECT_EQ(record.taskbarRect().top, taskbar->rect.top);
    EXPECT_EQ(record.taskbarRect().right, taskbar->rect.right);
    EXPECT_EQ(record.taskbarRect().bottom, taskbar->rect.bottom);
    EXPECT_EQ(record.userDirectoryText(), u"\\Program Files\\Vireta\\");
    EXPECT_EQ(record.hookWinKey, 1);
  }

  device->tap(20, 10);
  ASSERT_TRUE(device->waitVisibleInFront(Menu)) << device->hostLog();
  EXPECT_FALSE(device->window("MSSTARTMENU")) << "the platform's menu stays closed";
  const long pid = device->window(Menu)->pid;

  device->tap(20, 10);
  EXPECT_TRUE(device->waitHidden(Menu)) << "a tap while the menu is in front sends it away";
  EXPECT_EQ(device->processCount("\\Vireta.exe"), 1) << "it stays resident";

  device->tap(20, 10);
  ASSERT_TRUE(device->waitVisibleInFront(Menu));
  EXPECT_EQ(device->window(Menu)->pid, pid);
  EXPECT_EQ(device->processCount("\\Vireta.exe"), 1);
  EXPECT_EQ(device->startsOf("\\Vireta.exe"), 1) << "brought back without a second start";
  EXPECT_FALSE(servicetest::readNumber(Settings, u"HideWM").has_value())
      << "the platform's menu was never open";
}

INSTANTIATE_TEST_SUITE_P(Designs, StartButtonOn,
                         ::testing::Values(Profile{"wm65", "480x640", 1, 2},
                                           Profile{"wm65", "240x320", 1, 2},
                                           Profile{"classic", "480x640", 0, 11},
                                           Profile{"classic", "240x320", 0, 11}),
                         [](const ::testing::TestParamInfo<Profile> &info) {
                           return std::string(info.param.taskbar) + "_" + info.param.screen;
                         });

TEST(StartButton, TheWindowsKeyAloneOpensTheMenuAndAsAModifierDoesNot) {
  auto device = installedDevice();
  startKeyWitness(*device);

  device->key("LWIN", "down");
  device->key("A");
  device->key("LWIN", "up");
  // The other key reached the taskbar, which passed it on to the window in front.
  EXPECT_TRUE(witnessSaw(*device, "down 0x41"));
  EXPECT_TRUE(witnessSaw(*device, "up 0x41"));
  // The key's release after it was used as a modifier asked for nothing: a key after it reaches
  // the witness, and by then no menu was started.
  device->key("B");
  EXPECT_TRUE(witnessSaw(*device, "up 0x42"));
  EXPECT_FALSE(device->window(Menu));
  const std::string seen = device->readDeviceFile("Temp/key_witness.txt");
  EXPECT_EQ(seen.find("0x5b"), std::string::npos) << "the Windows key itself is the service's";

  device->key("LWIN");
  EXPECT_TRUE(device->waitVisibleInFront(Menu)) << device->hostLog();
  EXPECT_FALSE(device->window("MSSTARTMENU"));
  device->key("LWIN");
  EXPECT_TRUE(device->waitOffScreen(Menu)) << "the key alone also sends the menu away\n"
                                           << device->tool({"windows"}).output << device->hostLog();
}

TEST(StartButton, WithTheKeyUnhookedKeysPassAndThePlatformMenuClosesForTheMenu) {
  ServiceDevice device;
  servicetest::writeNumber(Settings, u"hookWinKey", 0);
  device.boot();
  ASSERT_EQ(device.install().exitCode, 0);
  ASSERT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  ASSERT_TRUE(
      eventually([] { return servicetest::readNumber(Settings, u"startFolderId").has_value(); }));

  // The taskbar's own procedure gets the key: the platform's menu opens.
  device.key("LWIN");
  ASSERT_TRUE(eventually([&] { return device.window("MSSTARTMENU").has_value(); }))
      << device.hostLog();
  EXPECT_FALSE(device.window(Menu));

  // A tap on Start closes it for the menu program, and notes that it was open.
  device.tap(20, 10);
  EXPECT_TRUE(device.waitVisibleInFront(Menu)) << device.hostLog();
  EXPECT_TRUE(device.waitGone("MSSTARTMENU"));
  EXPECT_EQ(servicetest::readNumber(Settings, u"HideWM"), 1u);
}

TEST(StartButton, OnTheOlderBarTheLeftThirdIsStart) {
  auto device = installedDevice(DeviceOptions{"classic", "240x320", "", true});
  // The older bar's platform version text (6.1.4) does not start with ".5".
  ASSERT_TRUE(
      eventually([] { return servicetest::readNumber(Settings, u"startFolderId").has_value(); }));
  EXPECT_EQ(servicetest::readNumber(Settings, u"startFolderId"), 11u);
  EXPECT_EQ(servicetest::readNumber(Settings, u"DeviceWinVersion"), 0u);
  startKeyWitness(*device);

  // x = 80 is just past the Start area: the bar gets the tap as it was and opens nothing. The
  // key after it shows that the bar has handled the tap.
  device->tap(80, 10);
  device->key("A");
  ASSERT_TRUE(witnessSaw(*device, "up 0x41"));
  EXPECT_FALSE(device->window("MSSTARTMENU"));

  device->tap(79, 10);
  ASSERT_TRUE(device->waitVisibleInFront(Menu)) << device->hostLog();
  EXPECT_FALSE(device->window("MSSTARTMENU"));
  // Once the menu is up every request has been served: only the tap at 79 started it.
  EXPECT_EQ(device->startsOf("\\Vireta.exe"), 1);
}
