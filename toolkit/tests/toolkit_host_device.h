// A booted device for the toolkit tests that need a screen and windows: a fresh device root made
// and booted with the real device tool, joined by the test process, with GlobalInformations made
// for it. The test thread pumps its own messages while it waits for what it expects.
#pragma once

#include "../../platform/src/client/host_connection.h"
#include "../../platform/src/screen/display.h"

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/core/png_writer.h>
#include <ce/testing/eventually.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>

#include <toolkit/global/global_informations.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace toolkit_test {

// Polls `condition` from any thread for up to `ms` milliseconds.
inline bool waitFor(const std::function<bool()> &condition, int ms = 10000) {
  return ce::testing::eventually(condition, ms);
}

class ToolkitHost : public ::testing::Test {
protected:
  // The screen the device is created with.
  virtual std::string screen() const { return "480x640"; }

  void SetUp() override {
    char pattern[] = "/tmp/ce-toolkit-XXXXXX";
    root_ = ::mkdtemp(pattern);
    ASSERT_EQ(tool("create --screen " + screen()), 0);
    ASSERT_EQ(tool("boot"), 0);
    ce::DeviceRoot::use(root_);
    ce::DeviceProfile::reload();
    ce::useDisplay(nullptr);
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"ToolkitTest", u"\\Program Files\\x.exe"));
  }
  void TearDown() override {
    // Classes live in the process; the next device's host must hear of them again.
    UnregisterClassW(u"ChildWindowSense", nullptr);
    GlobalInformations::replaceInstance(nullptr);
    ce::useDisplay(nullptr);
    ce::HostConnection::instance().leave();
    tool("shutdown");
    std::error_code error;
    std::filesystem::remove_all(root_, error);
    ce::DeviceProfile::reload();
  }

  // Runs a verb of the device tool on this device; returns its exit code.
  int tool(const std::string &verb) const {
    const std::string command =
        CE_BINARY_DIR "/bin/device --device " + root_.string() + " " + verb + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Runs a verb (stylus input, typically) while the test thread keeps pumping its messages, then
  // waits until the device, this thread included, has handled what it played.
  int toolWhilePumping(const std::string &verb) {
    auto done = std::async(std::launch::async, [this, verb] { return tool(verb); });
    messagePump().until(
        [&] { return done.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; },
        600000);
    EXPECT_TRUE(settle());
    return done.get();
  }

  // The test thread's pump: window messages are dispatched, thread messages collected in
  // threadMessages.
  static ce::testing::MessagePump &messagePump() {
    static ce::testing::MessagePump pump;
    return pump;
  }
  // Waits until the device has handled everything so far, this thread pumping meanwhile.
  static ::testing::AssertionResult settle() {
    auto settled = messagePump().sync();
    collectThreadMessages();
    return settled;
  }
  // Dispatches this thread's messages until `condition` holds (at most `ms` milliseconds).
  static bool pumpUntil(const std::function<bool()> &condition, int ms = 5000) {
    return messagePump().until(
        [&] {
          collectThreadMessages();
          return condition();
        },
        ms);
  }
  static void dispatchWaiting() {
    messagePump().dispatchWaiting();
    collectThreadMessages();
  }
  static void collectThreadMessages() {
    auto &kept = messagePump().kept();
    threadMessages.insert(threadMessages.end(), kept.begin(), kept.end());
    kept.clear();
  }

  // The screen's 5-6-5 pixels as they are now, row by row.
  std::vector<std::uint16_t> screenPixels(int *width = nullptr) {
    std::vector<std::uint16_t> pixels;
    IDirectDraw *directDraw = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &directDraw, nullptr)))
      return pixels;
    directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface *primary = nullptr;
    if (SUCCEEDED(directDraw->CreateSurface(&description, &primary, nullptr))) {
      std::memset(&description, 0, sizeof description);
      description.dwSize = sizeof description;
      if (SUCCEEDED(primary->Lock(nullptr, &description, DDLOCK_WAIT, nullptr))) {
        screenWidth_ = static_cast<int>(description.dwWidth);
        for (DWORD y = 0; y < description.dwHeight; ++y) {
          const auto *row = reinterpret_cast<const std::uint16_t *>(
              static_cast<const std::uint8_t *>(description.lpSurface) + y * description.lPitch);
          pixels.insert(pixels.end(), row, row + description.dwWidth);
        }
        primary->Unlock(nullptr);
      }
      primary->Release();
    }
    directDraw->Release();
    if (width)
      *width = screenWidth_;
    return pixels;
  }
  std::uint16_t screenPixel(int x, int y) {
    const auto pixels = screenPixels();
    const std::size_t at = static_cast<std::size_t>(y) * screenWidth_ + x;
    return at < pixels.size() ? pixels[at] : 0;
  }
  // Fills the whole screen with one 5-6-5 value (as another program drawing would).
  void fillScreen(std::uint16_t value) {
    IDirectDraw *directDraw = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw, nullptr), DD_OK);
    directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface *primary = nullptr;
    ASSERT_EQ(directDraw->CreateSurface(&description, &primary, nullptr), DD_OK);
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    ASSERT_EQ(primary->Lock(nullptr, &description, DDLOCK_WAIT, nullptr), DD_OK);
    for (DWORD y = 0; y < description.dwHeight; ++y) {
      auto *row = reinterpret_cast<std::uint16_t *>(
          static_cast<std::uint8_t *>(description.lpSurface) + y * description.lPitch);
      for (DWORD x = 0; x < description.dwWidth; ++x)
        row[x] = value;
    }
    primary->Unlock(nullptr);
    primary->Release();
    directDraw->Release();
  }

  // Writes a PNG of one premultiplied B,G,R,A colour at the device path ("dir/name").
  void putPng(const std::string &path, int width, int height, std::uint32_t bgra) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, bgra);
    const auto host = root_ / "fs" / path;
    std::filesystem::create_directories(host.parent_path());
    ce::PixelMemory memory;
    memory.bits = pixels.data();
    memory.width = width;
    memory.height = height;
    memory.stride = width * 4;
    memory.format = ce::FramebufferFormat::Bgra32;
    ASSERT_TRUE(ce::writePng(memory, host));
  }

  static inline std::vector<MSG> threadMessages;
  std::filesystem::path root_;
  int screenWidth_ = 0;
};

} // namespace toolkit_test
