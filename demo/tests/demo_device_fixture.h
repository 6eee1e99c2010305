// A demo device made for one test: a fresh temporary folder, `device create --demo` run as a
// child process, and the platform switched onto the new root.
#pragma once

#include <ce/core/device_path.h>
#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace demo_test {

// Runs a command line, returning its exit code and what it printed (stdout and stderr).
inline int runCommand(const std::string &command, std::string *output = nullptr) {
  FILE *pipe = popen((command + " 2>&1").c_str(), "r");
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

inline std::string quoted(const std::filesystem::path &path) { return "'" + path.string() + "'"; }

class DemoDevice : public ::testing::Test {
protected:
  // Screen size of the device; tests of the small screen override it before SetUp.
  std::string screen_ = "480x640";

  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "demo_device_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    temp_ = pattern;
    root_ = temp_ / "device";
    std::string output;
    const int code = runCommand(std::string(DEVICE_TOOL_PROGRAM) + " --device " + quoted(root_) +
                                    " create --demo --screen " + screen_,
                                &output);
    ASSERT_EQ(code, 0) << output;
    createOutput_ = output;
    ce::DeviceRoot::use(root_);
    ce::DeviceProfile::reload();
  }

  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(temp_, ec);
  }

  static bool sampleProgramBuilt() {
    return std::filesystem::exists(std::filesystem::path(DEMO_PAYLOAD_DIR) / "sample_app");
  }

  std::filesystem::path hostPath(const std::u16string &devicePath) const {
    auto host = ce::DevicePath::toHost(devicePath, nullptr);
    return host ? *host : std::filesystem::path();
  }

  std::filesystem::path temp_;
  std::filesystem::path root_;
  std::string createOutput_;
};

} // namespace demo_test
