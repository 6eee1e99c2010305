// Devices for the settings-links tests: a fresh demo device made by the real device tool
// (`create --demo`: three applet libraries with eleven applets and their HKLM\ControlPanel
// descriptions), worked on by the test process itself; booted when a test needs the shell.
#pragma once

#include "../../../platform/src/client/host_connection.h"

#include <toolkit/image/imaging_factory.h>

#include <ce/core/device_path.h>
#include <ce/core/device_profile.h>
#include <ce/testing/eventually.h>
#include <ce/testing/temp_device.h>
#include <ce/windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include <sys/wait.h>

namespace settings_links_test {

// Runs the device tool on `root` with `arguments`; its exit code, and what it printed.
inline int runDeviceTool(const std::filesystem::path &root, const std::string &arguments,
                         std::string *output = nullptr) {
  const std::string command = std::string(DEVICE_TOOL_PROGRAM) + " --device '" + root.string() +
                              "' " + arguments + " 2>&1 </dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return -1;
  std::string text;
  char buffer[4096];
  while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
    text.append(buffer, got);
  const int status = pclose(pipe);
  if (output)
    *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool eventually(const std::function<bool()> &condition, int milliseconds = 15000) {
  return ce::testing::eventually(condition, milliseconds, 10);
}

class DemoDevice : public TempDevice {
protected:
  void SetUp() override {
    TempDevice::SetUp();
    std::filesystem::remove_all(root_);
    std::string output;
    ASSERT_EQ(runDeviceTool(root_, "create --demo", &output), 0) << output;
    ce::DeviceRoot::use(root_);
    ce::DeviceProfile::reload();
    std::filesystem::create_directories(root_ / "fs/Program Files/Vireta/resources");
  }
  void TearDown() override {
    // The toolkit's shutdown: the imaging factories of the threads that saved icons go.
    ImagingFactory::releaseAll();
    if (booted_) {
      ce::HostConnection::instance().leave();
      runDeviceTool(root_, "shutdown");
    }
    TempDevice::TearDown();
    ce::DeviceProfile::reload();
  }

  void boot() {
    std::string output;
    ASSERT_EQ(runDeviceTool(root_, "boot", &output), 0) << output;
    booted_ = true;
  }

  // Subkey names of a key below HKEY_LOCAL_MACHINE, in enumeration order.
  static std::vector<std::u16string> subkeys(const std::u16string &path) {
    std::vector<std::u16string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return names;
    for (DWORD i = 0;; ++i) {
      WCHAR name[256];
      DWORD length = 256;
      if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
  }
  static bool keyExists(const std::u16string &path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }

  bool booted_ = false;
};

} // namespace settings_links_test
