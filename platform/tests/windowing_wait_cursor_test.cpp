// The wait cursor on a booted device: a program's SetCursor(IDC_WAIT) shows the screen's wait
// mark in the screenshot, another cursor takes it down, and so does the program's end.
#include "host_test_device.h"
#include "imaging_fixture.h"
#include "screen_test_support.h"

#include "../src/screen/screen.h"
#include "../src/shell/taskbar_geometry.h"

#include <ce/kernel.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <fstream>
#include <map>

using namespace hosttest;

namespace {

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kCursor = WM_USER + 109;
constexpr WPARAM kCursorNone = 0, kCursorWait = 1, kCursorArrow = 2;
const std::filesystem::path kWindowProgram = CE_BINARY_DIR "/bin/ce_test_window";

class WaitCursor : public ce::testing::ImagingTest {
protected:
  // The screenshot the device verb writes, as 0x00RRGGBB per pixel, top row first.
  std::vector<std::uint32_t> shot() {
    const auto file = device.root / "shot.png";
    const auto run = device.tool({"screenshot", file.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(file, std::ios::binary);
    const ce::testing::Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    IImage *image = decode(bytes);
    if (!image)
      return {};
    std::vector<std::uint32_t> pixels;
    for (ARGB argb : argbOf(image))
      pixels.push_back(argb & 0xFFFFFF);
    image->Release();
    return pixels;
  }

  // A mark pixel that only blends into what lies below it, so has no colour of its own.
  static constexpr std::uint32_t kBlended = 0xFF000000u;

  // The mark's own pixels (index -> colour): where the screen's composition with the mark
  // differs from the one without it, over a black and over a white screen of the device's size
  // (the device's desktop lies under it, so the mark's black pixels count too).
  static std::map<std::size_t, std::uint32_t> markPixels() {
    auto screen = ce::Screen::create(480, 640);
    std::map<std::size_t, std::uint32_t> mark;
    if (!screen)
      return mark;
    ce::ScreenImage waiting[2];
    int pass = 0;
    for (std::uint16_t background : {std::uint16_t(0x0000), std::uint16_t(0xFFFF)}) {
      screen_test::fillFramebuffer(screen->framebuffer(), background);
      ce::ScreenImage plain;
      screen->setWaitCursor(false);
      screen->compose(plain);
      screen->setWaitCursor(true);
      screen->compose(waiting[pass]);
      for (int y = 0; y < 640; ++y)
        for (int x = 0; x < 480; ++x)
          if (screen_test::bgrAt(plain, x, y) != screen_test::bgrAt(waiting[pass], x, y))
            mark[std::size_t(y) * 480 + std::size_t(x)] = 0;
      ++pass;
    }
    // The colour it shows over both, or kBlended when the two differ.
    for (auto &[index, colour] : mark) {
      const int x = int(index % 480), y = int(index / 480);
      const std::uint32_t overBlack = screen_test::bgrAt(waiting[0], x, y);
      colour = overBlack == screen_test::bgrAt(waiting[1], x, y) ? overBlack : kBlended;
    }
    return mark;
  }

  // The screen below the shell's taskbar, whose title and clock follow the foreground window
  // and the time, not the cursor.
  static std::vector<std::uint32_t> belowTaskbar(const std::vector<std::uint32_t> &shown) {
    const std::size_t skip =
        std::size_t(ce::shell::TaskbarGeometry(ce::TaskbarKind::Wm65, 480).height()) * 480;
    return shown.size() > skip ? std::vector<std::uint32_t>(shown.begin() + skip, shown.end())
                               : std::vector<std::uint32_t>{};
  }

  // Every pixel of the mark shows in its colour.
  static bool showsMark(const std::vector<std::uint32_t> &shown,
                        const std::map<std::size_t, std::uint32_t> &mark) {
    for (const auto &[index, colour] : mark)
      if (colour != kBlended && (index >= shown.size() || shown[index] != colour))
        return false;
    return true;
  }

  void SetUp() override {
    ImagingTest::SetUp();
    ce::DeviceRoot::use(device.root); // the imaging fixture chose a root of its own
    // A window of its own makes this thread known to the host, so the child can report to it.
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = u"WaitCursorTest";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    own = CreateWindowExW(0, u"WaitCursorTest", u"test", 0, 0, 0, 100, 100, nullptr, nullptr,
                          nullptr, nullptr);
    ASSERT_NE(own, nullptr) << GetLastError();
    child = device.startOutside(kWindowProgram, {std::to_string(GetCurrentThreadId())});
    const auto ready = pump.waitFor(kReady, 5000);
    ASSERT_TRUE(ready);
    peer = reinterpret_cast<HWND>(ready->wParam);
  }
  void TearDown() override {
    if (child > 0) {
      ::kill(child, SIGKILL);
      waitExit(child);
    }
    DestroyWindow(own);
    UnregisterClassW(u"WaitCursorTest", nullptr); // the next test has a host of its own
    ImagingTest::TearDown();
  }

  HostDevice device;
  ce::testing::MessagePump pump;
  pid_t child = 0;
  HWND own = nullptr;
  HWND peer = nullptr;
};

} // namespace

TEST_F(WaitCursor, ShowsWhileTheProgramWaitsAndGoesWithAnotherCursor) {
  const auto mark = markPixels();
  ASSERT_FALSE(mark.empty());
  ASSERT_GT(std::count_if(mark.begin(), mark.end(),
                          [](const auto &pixel) { return pixel.second != kBlended; }),
            std::ptrdiff_t(mark.size() / 2))
      << "the mark has colours of its own";
  const auto before = shot();
  ASSERT_EQ(before.size(), 480u * 640u);
  ASSERT_FALSE(showsMark(before, mark));

  ASSERT_EQ(SendMessageW(peer, kCursor, kCursorWait, 0), 1);
  const auto waiting = shot();
  EXPECT_TRUE(showsMark(waiting, mark));
  // Nothing but the mark changed.
  std::size_t elsewhere = 0;
  const std::size_t taskbar = before.size() - belowTaskbar(before).size();
  for (std::size_t i = taskbar; i < before.size(); ++i)
    elsewhere += !mark.count(i) && waiting.at(i) != before[i];
  EXPECT_EQ(elsewhere, 0u);

  // Asking again changes nothing; the arrow takes it down, and so does no cursor at all.
  ASSERT_EQ(SendMessageW(peer, kCursor, kCursorWait, 0), 1);
  EXPECT_TRUE(showsMark(shot(), mark));
  ASSERT_EQ(SendMessageW(peer, kCursor, kCursorArrow, 0), 1);
  EXPECT_EQ(belowTaskbar(shot()), belowTaskbar(before));
  ASSERT_EQ(SendMessageW(peer, kCursor, kCursorWait, 0), 1);
  EXPECT_TRUE(showsMark(shot(), mark));
  ASSERT_EQ(SendMessageW(peer, kCursor, kCursorNone, 0), 1);
  EXPECT_EQ(belowTaskbar(shot()), belowTaskbar(before));
}

TEST_F(WaitCursor, GoesWhenTheProgramEnds) {
  const auto mark = markPixels();
  const auto before = shot();
  ASSERT_EQ(SendMessageW(peer, kCursor, kCursorWait, 0), 1);
  ASSERT_TRUE(showsMark(shot(), mark));

  ::kill(child, SIGKILL);
  EXPECT_EQ(waitExit(child), -1);
  child = 0;
  EXPECT_TRUE(eventually([&] { return belowTaskbar(shot()) == belowTaskbar(before); }));
}
