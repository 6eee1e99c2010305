#include "device_tool_runner.h"

#include <ce/core/device_profile.h>

namespace {

using devtooltest::DeviceToolTest;
using devtooltest::ToolRun;
namespace fs = std::filesystem;

class DeviceToolCreate : public DeviceToolTest {
protected:
  ce::DeviceProfile profile() const {
    std::string error;
    auto loaded = ce::DeviceProfile::load(root() / "device.conf", &error);
    EXPECT_TRUE(loaded) << error;
    return loaded.value_or(ce::DeviceProfile{});
  }
  std::string aku() const {
    return device({"reg", "query", "HKLM\\System\\Versions", "/v", "AKU"}).out;
  }
};

TEST_F(DeviceToolCreate, DefaultsMakeAPortraitVgaDeviceWithAllFolders) {
  const ToolRun run = device({"create"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  for (const char *folder : {"Windows", "Windows/Start Menu", "Windows/Start Menu/Programs",
                             "Windows/StartUp", "Program Files", "My Documents", "Temp"})
    EXPECT_TRUE(fs::is_directory(fsPath() / folder)) << folder;
  EXPECT_TRUE(fs::exists(root() / "registry.db"));

  const auto p = profile();
  EXPECT_EQ(p.screenWidth, 480);
  EXPECT_EQ(p.screenHeight, 640);
  EXPECT_EQ(p.dpi, 192);
  EXPECT_EQ(p.taskbar, ce::TaskbarKind::Wm65);
  EXPECT_EQ(p.language, 0x0409);
  EXPECT_EQ(aku(), "HKEY_LOCAL_MACHINE\\System\\Versions\n    AKU    REG_SZ    .5.2\n");
}

TEST_F(DeviceToolCreate, OptionsReachTheProfileAndTheRegistry) {
  createDevice({"--screen", "240x320", "--taskbar", "classic", "--lang", "0x040c"});
  auto p = profile();
  EXPECT_EQ(p.screenWidth, 240);
  EXPECT_EQ(p.screenHeight, 320);
  EXPECT_EQ(p.dpi, 96);
  EXPECT_EQ(p.taskbar, ce::TaskbarKind::Classic);
  EXPECT_EQ(p.language, 0x040c);
  EXPECT_EQ(aku(), "HKEY_LOCAL_MACHINE\\System\\Versions\n    AKU    REG_SZ    6.1.4\n");

  // Landscape: the short side sets the dots per inch, proportional between 240 and 480.
  createDevice({"--force", "--screen", "640x360", "--lang", "407"});
  p = profile();
  EXPECT_EQ(p.screenWidth, 640);
  EXPECT_EQ(p.dpi, 144);
  EXPECT_EQ(p.language, 0x0407);
  EXPECT_EQ(p.taskbar, ce::TaskbarKind::Wm65);
}

TEST_F(DeviceToolCreate, BadOptionsAreRefusedBeforeAnythingIsMade) {
  const std::vector<std::vector<std::string>> bad = {
      {"--screen", "480"},
      {"--screen", "480x"},
      {"--screen", "x640"},
      {"--screen", "-480x640"},
      {"--screen", "480x640x2"},
      {"--screen", "100x640"},
      {"--screen", "480x99999"},
      {"--screen", " 480x640"},
      {"--screen", "0x1e0x640"},
      {"--screen", "480x640\ntaskbar=classic"},
      {"--taskbar", "round"},
      {"--taskbar", "WM65 "},
      {"--lang", "english"},
      {"--lang", "0x10000"},
      {"--lang", "0"},
      {"--lang", ""},
      {"--screen"},
      {"--force", "--force"},
      {"--colour", "red"},
      {"extra"},
  };
  for (const auto &options : bad) {
    std::vector<std::string> args{"create"};
    args.insert(args.end(), options.begin(), options.end());
    const ToolRun run = device(args);
    EXPECT_EQ(run.exitCode, 2) << options[0];
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_FALSE(fs::exists(root())) << "created despite " << options[0];
  }
}

TEST_F(DeviceToolCreate, AnExistingDeviceNeedsForceAndForceStartsFromScratch) {
  createDevice({"--taskbar", "classic"});
  ASSERT_EQ(device({"reg", "add", "HKLM\\Software\\Mine", "/v", "kept", "/d", "x"}).exitCode, 0);
  devtooltest::writeFile(fsPath() / "My Documents" / "note.txt", "hello");
  devtooltest::writeFile(root() / "notes-of-the-user.txt", "not part of the device");
  const std::string conf = devtooltest::readFile(root() / "device.conf");

  const ToolRun refused = device({"create", "--taskbar", "wm65"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("--force"), std::string::npos);
  EXPECT_EQ(devtooltest::readFile(root() / "device.conf"), conf);
  EXPECT_TRUE(fs::exists(fsPath() / "My Documents" / "note.txt"));

  // Any one part marks a device: a folder with only registry.db is not overwritten either.
  fs::create_directories(temp() / "partial");
  devtooltest::writeFile(temp() / "partial" / "registry.db", "");
  EXPECT_EQ(devtooltest::runTool({"--device", (temp() / "partial").string(), "create"}).exitCode,
            2);

  createDevice({"--force"});
  EXPECT_FALSE(fs::exists(fsPath() / "My Documents" / "note.txt"));
  EXPECT_EQ(device({"reg", "query", "HKLM\\Software\\Mine"}).exitCode, 1);
  EXPECT_EQ(aku(), "HKEY_LOCAL_MACHINE\\System\\Versions\n    AKU    REG_SZ    .5.2\n");
  EXPECT_EQ(devtooltest::readFile(root() / "notes-of-the-user.txt"), "not part of the device");
}

TEST_F(DeviceToolCreate, RootFolderChoices) {
  // An empty existing folder is fine, and CE_DEVICE stands in for --device.
  fs::create_directories(root());
  ToolRun run = devtooltest::runTool({"create"}, root().string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(root() / "device.conf"));

  // A file where the folder should be is refused and left alone.
  devtooltest::writeFile(temp() / "plain", "data");
  run = devtooltest::runTool({"--device", (temp() / "plain").string(), "create"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(devtooltest::readFile(temp() / "plain"), "data");

  // Missing parents are made.
  run = devtooltest::runTool({"--device", (temp() / "a" / "b" / "c").string(), "create"});
  EXPECT_EQ(run.exitCode, 0) << run.err;

  // Neither --device nor CE_DEVICE.
  run = devtooltest::runTool({"create"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("CE_DEVICE"), std::string::npos);
}

} // namespace
