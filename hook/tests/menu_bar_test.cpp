// End to end: the service hooks the bottom soft-key bars on request, and a tap on a bar's left
// sixth opens the menu instead of firing the bar's left key.
#include <service_testing/service_device.h>

#include <hook/shared_global_values.h>

using servicetest::eventually;
using servicetest::ServiceDevice;

TEST(MenuBars, ARescanHooksTheBottomBarAndItsLeftSixthOpensTheMenu) {
  ServiceDevice device;
  device.boot();
  ASSERT_EQ(device.install().exitCode, 0);
  ASSERT_TRUE(eventually([] {
    return servicetest::readNumber(u"SOFTWARE\\Tolmar_Vireta", u"DeviceWinVersion").has_value();
  }));
  std::filesystem::copy_file(BAR_WITNESS_PROGRAM, device.hostPath("Windows/bar_witness.exe"));
  device.run({"run", "\\Windows\\bar_witness.exe"});
  const auto witness = [&] { return device.readDeviceFile("Temp/bar_witness.txt"); };
  ASSERT_TRUE(eventually([&] { return witness().find("ready") != std::string::npos; }));
  ASSERT_TRUE(eventually([&] { return device.window("ToolbarWindow32").has_value(); }));
  const RECT bar = device.window("ToolbarWindow32")->rect;

  auto shared = SharedGlobalValues::openExisting();
  ASSERT_TRUE(shared);
  GlobalValues &record = *shared.record();
  GlobalValues::store(record.hookedWindowCount, -1);
  ASSERT_TRUE(PostThreadMessageW(record.hookThreadId, WM_USER, 3, 0));
  ASSERT_TRUE(eventually([&] { return GlobalValues::load(record.hookedWindowCount) != -1; }));
  EXPECT_EQ(GlobalValues::load(record.hookedWindowCount), 2) << "the taskbar and the bar";

  // The right part of the bar works as before.
  const int y = (bar.top + bar.bottom) / 2;
  device.tap(400, y);
  ASSERT_TRUE(eventually([&] { return witness().find("command 102") != std::string::npos; }));

  // The left sixth (x < 480 / 6) opens the menu; the bar's left key does not fire.
  device.tap(40, y);
  ASSERT_TRUE(device.waitVisibleInFront("Vireta")) << device.hostLog();
  // Start sends it away again: the service serves the request after it has brought it forward.
  device.tap(20, 10);
  ASSERT_TRUE(device.waitOffScreen("Vireta"));
  // A later tap on the right key shows that everything the bar sent before has arrived.
  device.tap(400, y);
  ASSERT_TRUE(eventually([&] {
    const std::string seen = witness();
    return seen.find("command 102") != seen.rfind("command 102");
  })) << witness() << device.tool({"windows"}).output << device.hostLog();
  EXPECT_EQ(witness().find("command 101"), std::string::npos) << witness();
}
