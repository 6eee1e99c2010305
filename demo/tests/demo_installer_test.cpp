// The installer test package installed and removed through the real device tool, on a demo
// device that is booted or not: the setup library's four entry points in order and with their
// arguments, the files and the record, cancels, reinstalls and refused manifests.
#include "demo_device_fixture.h"

#include "../../platform/src/client/host_connection.h"

#include <ce/core/utf.h>

#include <fstream>
#include <iterator>

namespace demo_test {
namespace {

namespace fs = std::filesystem;

const fs::path kPackage = fs::path(DEMO_PAYLOAD_DIR) / "test_package";
const std::u16string kRecord = u"SOFTWARE\\Apps\\Demo Package";
const std::string kInit = "Install_Init first=1 previous=0 dir=\\Program Files\\Demo Package\n";
const std::string kExit = "Install_Exit dir=\\Program Files\\Demo Package failed=0,0,0,0,0\n";
const std::string kUninit = "Uninstall_Init dir=\\Program Files\\Demo Package\n";

std::string readHost(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void setSwitch(const char16_t *name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\DemoSetup", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
  RegCloseKey(key);
}

DWORD readNumber(const std::u16string &keyPath, const char16_t *name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return 0xFFFFFFFF;
  DWORD value = 0xFFFFFFFF, size = sizeof value;
  RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
  RegCloseKey(key);
  return value;
}

std::u16string readString(const std::u16string &keyPath, const char16_t *name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return u"(no key)";
  WCHAR value[4096] = {};
  DWORD size = sizeof value - sizeof(WCHAR);
  const LONG status =
      RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS)
    return u"(no value)";
  // A REG_MULTI_SZ comes back with its strings joined by '|'.
  std::u16string text(value, size / sizeof(WCHAR));
  while (!text.empty() && text.back() == 0)
    text.pop_back();
  for (auto &c : text)
    if (c == 0)
      c = u'|';
  return text;
}

class DemoInstaller : public DemoDevice {
protected:
  void TearDown() override {
    ce::HostConnection::instance().leave();
    if (booted_)
      tool("shutdown");
    DemoDevice::TearDown();
  }

  // `device --device ROOT <args>`, its exit code and what it printed (stdout and stderr).
  int tool(const std::string &args, std::string *output = nullptr) const {
    return runCommand(std::string(DEVICE_TOOL_PROGRAM) + " --device " + quoted(root_) + " " + args,
                      output);
  }
  int install(std::string *output, const std::string &options = "",
              const fs::path &package = kPackage) const {
    return tool("install " + options + " " + quoted(package), output);
  }
  int uninstall(std::string *output) const { return tool("uninstall 'Demo Package'", output); }

  void boot() {
    std::string output;
    ASSERT_EQ(tool("boot", &output), 0) << output;
    booted_ = true;
  }

  std::string setupLog() const { return readHost(hostPath(u"\\Temp\\demo_setup.log")); }
  bool onDevice(const std::u16string &path) const {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // The files the package installs, by device path.
  std::vector<std::u16string> packageFiles() const {
    std::vector<std::u16string> files{u"\\Program Files\\Demo Package\\readme.txt"};
    if (sampleProgramBuilt()) {
      files.push_back(u"\\Program Files\\Demo Package\\demoapp.exe");
      files.push_back(u"\\Windows\\Start Menu\\Programs\\Demo App.lnk");
    }
    return files;
  }

  bool booted_ = false;
};

TEST_F(DemoInstaller, InstallAndUninstallCallTheFourEntryPointsInOrderAroundTheFiles) {
  std::string output;
  ASSERT_EQ(install(&output), 0) << output;
  EXPECT_NE(output.find("note: the device is not booted"), std::string::npos) << output;
  const std::string count = std::to_string(packageFiles().size());
  EXPECT_NE(output.find("[" + count + "/" + count + "] "), std::string::npos) << output;
  EXPECT_EQ(setupLog(), kInit + kExit);
  EXPECT_EQ(readNumber(u"Software\\DemoSetup", u"InstallerJoined"), 0u);

  for (const auto &file : packageFiles())
    EXPECT_TRUE(onDevice(file)) << ce::toUtf8(file);
  EXPECT_EQ(readHost(hostPath(u"\\Program Files\\Demo Package\\readme.txt")),
            readHost(kPackage / "readme.txt"));
  EXPECT_EQ(readNumber(kRecord, u"Instl"), 1u);
  EXPECT_EQ(readString(kRecord, u"InstlDir"), u"\\Program Files\\Demo Package");
  EXPECT_EQ(readString(kRecord, u"IsvFile"), u"\\Windows\\AppMgr\\Demo Package.dll");
  EXPECT_TRUE(onDevice(u"\\Windows\\AppMgr\\Demo Package.dll"));
  const std::u16string files = readString(kRecord, u"Files");
  for (const auto &file : packageFiles())
    EXPECT_NE(files.find(file), std::u16string::npos) << ce::toUtf8(files);

  ASSERT_EQ(uninstall(&output), 0) << output;
  EXPECT_EQ(setupLog(), kInit + kExit + kUninit + "Uninstall_Exit\n");
  for (const auto &file : packageFiles())
    EXPECT_FALSE(onDevice(file)) << ce::toUtf8(file);
  EXPECT_FALSE(onDevice(u"\\Program Files\\Demo Package"));
  EXPECT_TRUE(onDevice(u"\\Windows\\Start Menu\\Programs")); // the device's, not the package's
  EXPECT_FALSE(onDevice(u"\\Windows\\AppMgr\\Demo Package.dll"));
  EXPECT_EQ(readString(kRecord, u"InstlDir"), u"(no key)");
}

TEST_F(DemoInstaller, ACancelInAnInitCallCopiesNothingOrRemovesNothing) {
  setSwitch(u"CancelInstall", 1);
  std::string output;
  EXPECT_EQ(install(&output), 1) << output;
  EXPECT_NE(output.find("the setup library cancelled the installation (Install_Init answered 1); "
                        "nothing was installed"),
            std::string::npos)
      << output;
  EXPECT_EQ(setupLog(), kInit);
  for (const auto &file : packageFiles())
    EXPECT_FALSE(onDevice(file)) << ce::toUtf8(file);
  EXPECT_FALSE(onDevice(u"\\Program Files\\Demo Package"));
  EXPECT_FALSE(onDevice(u"\\Windows\\AppMgr\\Install\\Demo Package.dll"));
  EXPECT_FALSE(onDevice(u"\\Windows\\AppMgr\\Demo Package.dll"));
  EXPECT_EQ(readString(kRecord, u"InstlDir"), u"(no key)");

  setSwitch(u"CancelInstall", 0);
  ASSERT_EQ(install(&output), 0) << output;
  setSwitch(u"CancelUninstall", 1);
  EXPECT_EQ(uninstall(&output), 1) << output;
  EXPECT_NE(output.find("cancelled the removal (Uninstall_Init answered 1); nothing was removed"),
            std::string::npos)
      << output;
  EXPECT_EQ(setupLog(), kInit + kInit + kExit + kUninit);
  for (const auto &file : packageFiles())
    EXPECT_TRUE(onDevice(file)) << ce::toUtf8(file);
  EXPECT_EQ(readString(kRecord, u"InstlDir"), u"\\Program Files\\Demo Package");
  EXPECT_TRUE(onDevice(u"\\Windows\\AppMgr\\Demo Package.dll"));

  setSwitch(u"CancelUninstall", 0);
  ASSERT_EQ(uninstall(&output), 0) << output;
  EXPECT_FALSE(onDevice(u"\\Program Files\\Demo Package"));
}

TEST_F(DemoInstaller, AReinstallIsToldItWasInstalledBeforeAndKeepsBothPlacesRecorded) {
  std::string output;
  ASSERT_EQ(install(&output), 0) << output;
  ASSERT_EQ(install(&output, "--directory '\\Storage Card\\Demo'"), 0) << output;
  EXPECT_EQ(setupLog(), kInit + kExit +
                            "Install_Init first=1 previous=1 dir=\\Storage Card\\Demo\n"
                            "Install_Exit dir=\\Storage Card\\Demo failed=0,0,0,0,0\n");
  EXPECT_TRUE(onDevice(u"\\Storage Card\\Demo\\readme.txt"));
  EXPECT_EQ(readString(kRecord, u"InstlDir"), u"\\Storage Card\\Demo");
  const std::u16string files = readString(kRecord, u"Files");
  EXPECT_NE(files.find(u"\\Storage Card\\Demo\\readme.txt"), std::u16string::npos);
  EXPECT_NE(files.find(u"\\Program Files\\Demo Package\\readme.txt"), std::u16string::npos);

  ASSERT_EQ(uninstall(&output), 0) << output;
  EXPECT_FALSE(onDevice(u"\\Program Files\\Demo Package"));
  EXPECT_FALSE(onDevice(u"\\Storage Card"));
  EXPECT_TRUE(onDevice(u"\\Program Files"));
}

TEST_F(DemoInstaller, OnABootedDeviceTheInstallerIsOneOfItsProcesses) {
  boot();
  std::string output;
  ASSERT_EQ(install(&output), 0) << output;
  EXPECT_EQ(output.find("not booted"), std::string::npos) << output;
  EXPECT_EQ(readNumber(u"Software\\DemoSetup", u"InstallerJoined"), 1u);
  EXPECT_EQ(setupLog(), kInit + kExit);

  if (sampleProgramBuilt()) {
    // What was installed runs: the Start menu shortcut starts the installed program.
    ASSERT_EQ(tool("run '\\Windows\\Start Menu\\Programs\\Demo App.lnk'", &output), 0) << output;
    ASSERT_EQ(tool("wait-window DemoSampleProgram", &output), 0) << output;
    EXPECT_NE(output.find("\"Demoapp\""), std::string::npos) << output;
    ASSERT_EQ(tool("ps", &output), 0);
    EXPECT_NE(output.find("\\Program Files\\Demo Package\\demoapp.exe"), std::string::npos)
        << output;
  }

  ASSERT_EQ(uninstall(&output), 0) << output;
  EXPECT_EQ(setupLog(), kInit + kExit + kUninit + "Uninstall_Exit\n");
  EXPECT_FALSE(onDevice(u"\\Program Files\\Demo Package"));
}

TEST_F(DemoInstaller, ABadManifestIsRefusedBeforeTheSetupLibraryRuns) {
  const fs::path copy = temp_ / "package";
  fs::copy(kPackage, copy, fs::copy_options::recursive);
  std::ofstream(copy / "manifest.txt", std::ios::app) << "file=readme.txt -> \\..\\..\\escape\n";
  std::string output;
  EXPECT_EQ(install(&output, "", copy), 2) << output;
  EXPECT_NE(output.find("bad manifest:"), std::string::npos) << output;
  EXPECT_NE(output.find("climbs above the device's root"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(hostPath(u"\\Temp\\demo_setup.log")));
  EXPECT_FALSE(fs::exists(temp_ / "escape"));
  EXPECT_FALSE(onDevice(u"\\Program Files\\Demo Package"));
  EXPECT_EQ(readString(kRecord, u"InstlDir"), u"(no key)");
}

} // namespace
} // namespace demo_test
