// End to end on a booted demo device with the package installed: what a tap on an icon starts,
// the zoom that acknowledges it, and the lock and options commands.
#include "menu_program_device.h"

#include <sstream>

namespace {

using menutest::Frame;
using menutest::MenuProgramDevice;
using menutest::SettingsKey;
using servicetest::eventually;

bool running(const MenuProgramDevice &phone, const std::string &path) {
  for (const auto &[pid, program] : phone.device.processes())
    if (program == path)
      return true;
  return false;
}

TEST(MenuLaunch, AProgramStartsInFrontAndTheMenuLeavesTheScreen) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait("Games");
  ASSERT_TRUE(phone.waitFirstRow(2, 4));
  const POINT bubbles = phone.iconCentre(MenuProgramDevice::grid(4), 0);
  phone.device.tap(bubbles.x, bubbles.y);
  EXPECT_TRUE(eventually([&] { return running(phone, "\\Windows\\bubblebreaker.exe"); }));
  EXPECT_TRUE(phone.device.waitVisibleInFront("DemoSampleProgram"));
  EXPECT_EQ(phone.device.window("DemoSampleProgram")->title, "Bubble Breaker");
  EXPECT_TRUE(phone.waitHidden()) << "the program in front sent the menu away";
  EXPECT_EQ(phone.menuProcesses(), 1) << "it stays resident";
}

TEST(MenuLaunch, TheZoomPlaysWhileAProgramStartsUnlessRunAnimationsAreOff) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  // A program without a window: the menu stays in front and the zoom can be watched.
  phone.launchWitnessAt("\\Windows\\quiet.exe");
  const auto quick = phone.device.hostPath("Windows/Start Menu/Programs/Quick");
  std::filesystem::create_directories(quick);
  std::ofstream(quick / "Quiet.lnk") << "17#\\Windows\\quiet.exe";
  const GridGeometry geometry = MenuProgramDevice::grid(4);
  const POINT icon = phone.iconCentre(geometry, 0);
  // Between the icon and the middle of the screen, on the background: every zoomed frame
  // after the first passes over it.
  const POINT spot{150, 226};

  phone.startMenuAndWait("Quick");
  ASSERT_TRUE(phone.waitFirstRow(1, 4));
  EXPECT_TRUE(phone.spotCoveredDuringTap(icon, spot));
  EXPECT_TRUE(eventually([&] { return phone.launches().find("quiet.exe|") != std::string::npos; }));
  phone.endMenu();

  servicetest::writeNumber(SettingsKey, u"ShowRunAnimations", 0);
  phone.startMenuAndWait("Quick");
  ASSERT_TRUE(phone.waitFirstRow(1, 4));
  EXPECT_FALSE(phone.spotCoveredDuringTap(icon, spot));
  EXPECT_TRUE(eventually([&] {
    const std::string seen = phone.launches();
    return seen.find("quiet.exe|") != seen.rfind("quiet.exe|");
  })) << "started all the same";
}

TEST(MenuLaunch, AControlPanelItemStartsTheControlPanelHost) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait("Settings\\Personal");
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  const POINT owner = phone.iconCentre(MenuProgramDevice::grid(4), 0);
  phone.device.tap(owner.x, owner.y);
  EXPECT_TRUE(eventually([&] { return running(phone, "\\Windows\\ctlpnl.exe"); }));
  EXPECT_TRUE(phone.device.waitVisibleInFront("ControlPanelApplet"));
  EXPECT_TRUE(phone.waitHidden());
}

TEST(MenuLaunch, LockWithoutALockProgramPressesTheLockKeyAndTheMenuLeaves) {
  MenuProgramDevice phone;
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait();
  ASSERT_TRUE(eventually([&] { return phone.device.window("ToolbarWindow32").has_value(); }));
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitHidden()) << "Lock sends the menu away";

  // The key goes to the window in front: a witness notes when it goes down and up.
  std::filesystem::copy_file(LOCK_KEY_WITNESS_PROGRAM,
                             phone.device.hostPath("Windows/lock_key_witness.exe"));
  phone.device.run({"run", "\\Windows\\lock_key_witness.exe"});
  ASSERT_TRUE(eventually([&] {
    return phone.device.readDeviceFile("Temp/lock_keys.txt").find("ready") != std::string::npos;
  }));
  ASSERT_TRUE(phone.device.waitVisibleInFront("LockKeyWitness"));
  ASSERT_TRUE(MenuProgramDevice::command(1001));
  std::string keys;
  ASSERT_TRUE(eventually([&] {
    keys = phone.device.readDeviceFile("Temp/lock_keys.txt");
    return keys.find("up 0x85") != std::string::npos;
  })) << keys;
  // The interval is read where the keys were made: the host notes the time of each synthesised
  // key as it takes the call ("keys: keybd_event 0x85 down at <tick> ms ..."); the menu makes the
  // key go up no sooner than 50 ms after the call for the key going down returned. The witness's
  // own clock reads the keys when it gets to them, which a loaded machine may do together.
  const std::string log = phone.device.hostLog();
  unsigned long down = 0, up = 0;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    for (const char *what : {"down", "up"}) {
      const std::string mark = std::string("keys: keybd_event 0x85 ") + what + " at ";
      const auto at = line.find(mark);
      if (at != std::string::npos)
        (std::string(what) == "down" ? down : up) = std::stoul(line.substr(at + mark.size()));
    }
  }
  ASSERT_NE(down, 0u) << log;
  ASSERT_NE(up, 0u) << log;
  EXPECT_GE(up - down, 50u) << "down and up 50 ms apart";
}

TEST(MenuLaunch, LockStartsTheDeviceLockProgramWhenThereIsOne) {
  MenuProgramDevice phone;
  MenuProgramDevice::withoutTransitions();
  phone.launchWitnessAt("\\Windows\\s2u2.exe");
  phone.startMenuAndWait();
  ASSERT_TRUE(MenuProgramDevice::command(1001));
  EXPECT_TRUE(eventually([&] { return phone.launches().find("s2u2.exe|") != std::string::npos; }));
  EXPECT_NE(phone.launches().find("\\Windows\\s2u2.exe|"), std::string::npos) << phone.launches();
  EXPECT_TRUE(phone.waitHidden());

  // The one below Program Files comes first.
  phone.launchWitnessAt("\\Program Files\\S2U2\\s2u2.exe");
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  ASSERT_TRUE(MenuProgramDevice::command(1001));
  EXPECT_TRUE(eventually([&] {
    return phone.launches().find("\\Program Files\\S2U2\\s2u2.exe|") != std::string::npos;
  })) << phone.launches();
}

TEST(MenuLaunch, OptionsFromTheMenuKeyStartsTheOptionsProgramOfTheInstallation) {
  MenuProgramDevice phone;
  MenuProgramDevice::withoutTransitions();
  phone.launchWitnessAt("\\Program Files\\Vireta\\ConfigVireta.exe");
  // The menu started from elsewhere still finds the options program where it was installed.
  const auto elsewhere = phone.device.hostPath("Temp/Elsewhere/Vireta.exe");
  std::filesystem::create_directories(elsewhere.parent_path());
  std::filesystem::copy_file(phone.device.hostPath("Program Files/Vireta/Vireta.exe"), elsewhere);
  phone.device.run({"run", "\\Temp\\Elsewhere\\Vireta.exe"});
  ASSERT_TRUE(phone.waitShown()) << phone.device.hostLog();
  ASSERT_TRUE(eventually([&] { return phone.device.window("ToolbarWindow32").has_value(); }));
  const RECT bar = phone.device.window("ToolbarWindow32")->rect;
  phone.device.tap(bar.right * 3 / 4, (bar.top + bar.bottom) / 2);
  ASSERT_TRUE(eventually([&] { return phone.device.window("MenuPopup").has_value(); }));
  // The fourth of its five entries.
  const RECT popup = phone.device.window("MenuPopup")->rect;
  phone.device.tap((popup.left + popup.right) / 2, popup.top + (popup.bottom - popup.top) * 7 / 10);
  EXPECT_TRUE(eventually([&] {
    return phone.launches().find("\\Program Files\\Vireta\\ConfigVireta.exe|") != std::string::npos;
  })) << phone.launches();
  EXPECT_TRUE(phone.waitHidden());
  EXPECT_EQ(phone.launches().find("Elsewhere"), std::string::npos) << phone.launches();
}

} // namespace
