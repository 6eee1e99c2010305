// The screen of a booted device: what a DirectDraw client draws is what `device screenshot`
// writes; a client's overlay shows until the client dies; the window presenter shows the same
// pixels as the screenshot.
#include "host_test_device.h"
#include "imaging_fixture.h"
#include "screen_test_support.h"

#include "../src/screen/host_display.h"

#include <ce/windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>

using namespace hosttest;

namespace {

class ScreenHost : public ce::testing::ImagingTest {
protected:
  // Takes a screenshot through the verb and decodes it (0x00RRGGBB per pixel, top row first).
  std::vector<std::uint32_t> shot(const HostDevice &device, bool window = false) {
    const auto file = device.root / (window ? "window.png" : "shot.png");
    std::vector<std::string> args{"screenshot"};
    if (window)
      args.push_back("--window");
    args.push_back(file.string());
    auto run = device.tool(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(file, std::ios::binary);
    const ce::testing::Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    IImage *image = decode(bytes);
    if (!image)
      return {};
    ImageInfo info{};
    image->GetImageInfo(&info);
    width_ = static_cast<int>(info.Width);
    std::vector<std::uint32_t> pixels;
    for (ARGB argb : argbOf(image))
      pixels.push_back(argb & 0xFFFFFF);
    image->Release();
    return pixels;
  }
  std::uint32_t at(const std::vector<std::uint32_t> &pixels, int x, int y) const {
    return pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                     static_cast<std::size_t>(x));
  }
  int width_ = 0;
};

} // namespace

TEST_F(ScreenHost, WhatAClientDrawsThroughDirectDrawIsWhatTheScreenshotHolds) {
  HostDevice device;
  ce::useDisplay(nullptr); // this process reaches the host's screen
  IDirectDraw *dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface *primary = nullptr;
  ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  ASSERT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  ASSERT_EQ(desc.dwWidth, 480u); // the profile's default screen
  ASSERT_EQ(desc.dwHeight, 640u);
  // A gradient touching every bit of the 5-6-5 pixels.
  auto pixel = [](int x, int y) { return std::uint16_t(y * 409 + x * 97); };
  for (int y = 0; y < 640; ++y) {
    auto *row = reinterpret_cast<std::uint16_t *>(static_cast<std::uint8_t *>(desc.lpSurface) +
                                                  y * desc.lPitch);
    for (int x = 0; x < 480; ++x)
      row[x] = pixel(x, y);
  }
  ASSERT_EQ(primary->Unlock(nullptr), DD_OK);

  const auto pixels = shot(device);
  ASSERT_EQ(pixels.size(), 480u * 640u);
  int mismatches = 0;
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 480; ++x)
      if (at(pixels, x, y) != screen_test::bgrOf565(pixel(x, y)))
        ++mismatches;
  EXPECT_EQ(mismatches, 0);

  // Turning the device swaps the screen's size for every process that maps it.
  EXPECT_EQ(device.tool({"rotate"}).exitCode, 0);
  EXPECT_EQ(shot(device).size(), 640u * 480u);
  EXPECT_EQ(width_, 640);
  primary->Release();
  dd->Release();
  ce::useDisplay(nullptr);
}

// A process that works with one device after another (as a test does) draws into the screen of
// the device it is connected to now, not into the first one's.
TEST_F(ScreenHost, TheScreenFollowsTheProcessToTheNextDevice) {
  ce::useDisplay(nullptr);
  // Fills the framebuffer of the display this process draws into now.
  auto fill = [](std::uint16_t colour) {
    const auto display = ce::currentDisplay();
    if (!display)
      return false;
    const ce::PixelMemory memory = display->framebuffer();
    for (int y = 0; y < memory.height; ++y) {
      auto *row = reinterpret_cast<std::uint16_t *>(static_cast<std::uint8_t *>(memory.bits) +
                                                    y * memory.stride);
      std::fill(row, row + memory.width, colour);
    }
    return memory.bits != nullptr;
  };
  {
    HostDevice first;
    ASSERT_TRUE(fill(0xF800));
    EXPECT_EQ(at(shot(first), 240, 320), screen_test::bgrOf565(0xF800));
  }
  HostDevice second;
  ASSERT_NE(FindWindowW(u"HHTaskBar", nullptr), nullptr); // connected to the second device
  ASSERT_TRUE(fill(0x001F));
  EXPECT_EQ(at(shot(second), 240, 320), screen_test::bgrOf565(0x001F));
  ce::useDisplay(nullptr);
}

TEST_F(ScreenHost, ClientOverlayShowsAndGoesWhenTheClientDies) {
  HostDevice device;
  ce::useDisplay(nullptr);
  auto display = ce::currentDisplay();
  ASSERT_TRUE(display);
  const auto black = shot(device);
  ASSERT_FALSE(black.empty());

  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // The child joins the device on its own connection and puts up a red square at 10,10.
    ::close(ready[0]);
    ce::useDisplay(nullptr);
    auto own = ce::currentDisplay();
    ce::OverlayPixels pixels;
    pixels.width = 20;
    pixels.height = 20;
    pixels.stride = 40;
    pixels.memory = ce::SharedMemory::create(800, "test-overlay");
    std::uint32_t id = 0;
    if (own && pixels.memory) {
      auto *bits = reinterpret_cast<std::uint16_t *>(pixels.memory->data());
      for (int i = 0; i < 400; ++i)
        bits[i] = 0xF800;
      id = own->addOverlay(pixels);
      ce::OverlayPlacement placement;
      placement.source = {0, 0, 20, 20};
      placement.destination = {10, 10, 30, 30};
      placement.visible = true;
      if (id && !own->placeOverlay(id, placement))
        id = 0;
    }
    [[maybe_unused]] auto written = ::write(ready[1], &id, sizeof id);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  std::uint32_t id = 0;
  ASSERT_EQ(::read(ready[0], &id, sizeof id), static_cast<ssize_t>(sizeof id));
  ::close(ready[0]);
  ASSERT_NE(id, 0u);

  auto shown = shot(device);
  EXPECT_EQ(at(shown, 15, 15), 0xFF0000u);
  EXPECT_EQ(at(shown, 9, 9), at(black, 9, 9));
  EXPECT_EQ(at(shown, 30, 30), at(black, 30, 30));

  // Another process cannot move or remove it.
  EXPECT_FALSE(display->moveOverlay(id, 100, 100));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  display->removeOverlay(id);
  EXPECT_EQ(at(shot(device), 15, 15), 0xFF0000u);

  ::kill(child, SIGKILL);
  EXPECT_EQ(waitExit(child), -1);
  EXPECT_TRUE(eventually([&] { return at(shot(device), 15, 15) == at(black, 15, 15); }));
  ce::useDisplay(nullptr);
}

TEST_F(ScreenHost, WindowShowsTheScreenshotsPixels) {
  screen_test::PrivateXServer server;
  std::string why;
  if (!server.start(&why))
    GTEST_SKIP() << "no display for the window: " << why;
  HostDevice device(false);
  auto booted = device.tool({"boot", "--window"});
  ASSERT_EQ(booted.exitCode, 0) << booted.err;
  ce::useDisplay(nullptr);
  auto display = ce::currentDisplay();
  ASSERT_TRUE(display);
  const ce::PixelMemory memory = display->framebuffer();
  for (int y = 0; y < memory.height; ++y) {
    auto *row = reinterpret_cast<std::uint16_t *>(static_cast<std::uint8_t *>(memory.bits) +
                                                  y * memory.stride);
    for (int x = 0; x < memory.width; ++x)
      row[x] = std::uint16_t(x * 131 + y * 7);
  }
  const auto screen = shot(device);
  const int screenWidth = width_;
  const auto window = shot(device, true);
  EXPECT_EQ(width_, screenWidth);
  EXPECT_EQ(window, screen);
  ce::useDisplay(nullptr);
}
