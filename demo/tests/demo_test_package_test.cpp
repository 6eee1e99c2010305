// The installer test package: its manifest and the setup library's record of calls.
#include "demo_device_fixture.h"

#include "device_file_writer.h"

#include <dlfcn.h>
#include <fstream>

namespace demo_test {
namespace {

const std::filesystem::path kPackage = std::filesystem::path(DEMO_PAYLOAD_DIR) / "test_package";

using InstallInit = int (*)(HWND, BOOL, BOOL, LPCWSTR);
using InstallExit = int (*)(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD);
using UninstallInit = int (*)(HWND, LPCWSTR);
using UninstallExit = int (*)(HWND);

TEST(DemoTestPackage, ManifestNamesFilesThatThePackageHolds) {
  std::ifstream manifest(kPackage / "manifest.txt");
  ASSERT_TRUE(manifest);
  std::string line;
  std::map<std::string, std::string> keys;
  int files = 0;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    const auto equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "file") {
      const auto arrow = value.find(" -> ");
      ASSERT_NE(arrow, std::string::npos) << line;
      EXPECT_TRUE(std::filesystem::exists(kPackage / value.substr(0, arrow))) << line;
      // A device path, or one inside the chosen installation directory.
      const std::string destination = value.substr(arrow + 4);
      EXPECT_TRUE(destination.rfind("\\", 0) == 0 || destination.rfind("%INSTALLDIR%\\", 0) == 0)
          << line;
      ++files;
    } else {
      keys[key] = value;
    }
  }
  EXPECT_EQ(keys["name"], "Demo Package");
  EXPECT_EQ(keys["directory"].rfind("\\Program Files\\", 0), 0u);
  EXPECT_TRUE(std::filesystem::exists(kPackage / keys["setup"]));
  EXPECT_GE(files, 1);
}

TEST_F(DemoDevice, SetupLibraryRecordsItsCallsInOrderAndCancelsOnRequest) {
  void *library = dlopen((kPackage / "setup.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto installInit = reinterpret_cast<InstallInit>(dlsym(library, "Install_Init"));
  auto installExit = reinterpret_cast<InstallExit>(dlsym(library, "Install_Exit"));
  auto uninstallInit = reinterpret_cast<UninstallInit>(dlsym(library, "Uninstall_Init"));
  auto uninstallExit = reinterpret_cast<UninstallExit>(dlsym(library, "Uninstall_Exit"));
  ASSERT_TRUE(installInit && installExit && uninstallInit && uninstallExit);

  const char16_t *dir = u"\\Program Files\\Demo Package";
  EXPECT_EQ(installInit(nullptr, TRUE, FALSE, dir), 0);
  EXPECT_EQ(installExit(nullptr, dir, 0, 2, 0, 0, 1), 0);
  EXPECT_EQ(uninstallInit(nullptr, dir), 0);
  EXPECT_EQ(uninstallExit(nullptr), 0);

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\DemoSetup", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD one = 1;
  RegSetValueExW(key, u"CancelInstall", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), 4);
  RegCloseKey(key);
  EXPECT_EQ(installInit(nullptr, TRUE, TRUE, dir), 1);
  EXPECT_EQ(uninstallInit(nullptr, dir), 0);
  dlclose(library);

  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ce::demo::DeviceFileWriter::read(u"\\Temp\\demo_setup.log", bytes),
            DWORD(ERROR_SUCCESS));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "Install_Init first=1 previous=0 dir=\\Program Files\\Demo Package\n"
            "Install_Exit dir=\\Program Files\\Demo Package failed=0,2,0,0,1\n"
            "Uninstall_Init dir=\\Program Files\\Demo Package\n"
            "Uninstall_Exit\n"
            "Install_Init first=1 previous=1 dir=\\Program Files\\Demo Package\n"
            "Uninstall_Init dir=\\Program Files\\Demo Package\n");
}

} // namespace
} // namespace demo_test
