// The window presenter on a private X server: the window shows exactly the screenshot's
// pixels (scaled by the zoom), follows rotation, and hands its input to the host.
#include "screen_test_support.h"

#include "../src/screen/sdl_presenter.h"

#include <SDL2/SDL.h>
#include <ce/testing/eventually.h>

#include <chrono>
#include <dlfcn.h>
#include <thread>
#include <vector>

using namespace screen_test;

namespace {

class ScreenPresenter : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    server_ = new PrivateXServer;
    if (!server_->start(&why_)) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!server_) GTEST_SKIP() << "no display for the window presenter: " << why_;
  }

  // A scene: a gradient, a colour-keyed overlay and the wait mark.
  static std::shared_ptr<ce::Screen> scene(int width, int height) {
    std::shared_ptr<ce::Screen> screen = ce::Screen::create(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) screen->framebuffer().row(y)[x] = std::uint16_t(x * 131 + y * 7);
    ce::OverlayPixels bar;
    bar.width = 6;
    bar.height = 20;
    bar.stride = 12;
    bar.memory = ce::SharedMemory::create(12 * 20, "bar");
    for (int i = 0; i < 6 * 20; ++i) reinterpret_cast<std::uint16_t*>(bar.memory->data())[i] = 0xA514;
    const auto id = screen->overlays().add(bar, 1);
    ce::OverlayPlacement placement;
    placement.source = {0, 0, 6, 20};
    placement.destination = {width - 6, 10, width, 50};
    placement.visible = true;
    screen->overlays().place(id, placement);
    screen->setWaitCursor(true);
    return screen;
  }

  // The presenter redraws on its own thread and the X server resizes the window in its own
  // time, so the window is read until it matches (or a few seconds have passed).
  static void expectWindowShows(ce::SdlPresenter& presenter, const ce::Screen& screen) {
    const int zoom = presenter.zoom();
    ce::ScreenImage window, composed;
    std::string error;
    int mismatches = 0;
    bool readable = true;
    const bool shown = ce::testing::eventually(
        [&] {
          readable = presenter.readWindow(window, &error);
          if (!readable)
            return true; // no use looking again
          screen.compose(composed);
          mismatches = countMismatches(window, composed, zoom);
          return mismatches == 0;
        },
        5000, 100);
    ASSERT_TRUE(readable) << error;
    if (shown)
      return;
    ASSERT_EQ(window.width, composed.width * zoom);
    ASSERT_EQ(window.height, composed.height * zoom);
    EXPECT_EQ(mismatches, 0);
  }

  static int countMismatches(const ce::ScreenImage& window, const ce::ScreenImage& composed,
                             int zoom) {
    if (window.width != composed.width * zoom || window.height != composed.height * zoom)
      return -1;
    int mismatches = 0;
    for (int y = 0; y < window.height; ++y)
      for (int x = 0; x < window.width; ++x)
        if (bgrAt(window, x, y) != bgrAt(composed, x / zoom, y / zoom)) ++mismatches;
    return mismatches;
  }

  static PrivateXServer* server_;
  static std::string why_;
};

PrivateXServer* ScreenPresenter::server_ = nullptr;
std::string ScreenPresenter::why_;

} // namespace

TEST_F(ScreenPresenter, WindowShowsTheScreenshotPixelsAtEveryZoom) {
  for (int zoom : {1, 2}) {
    auto screen = scene(120, 160);
    std::string error;
    auto presenter = ce::SdlPresenter::start(screen, zoom, nullptr, &error);
    ASSERT_TRUE(presenter) << error;
    expectWindowShows(*presenter, *screen);
    // A change to the framebuffer reaches the window on a later frame.
    fillFramebuffer(screen->framebuffer(), rgb565(0, 255, 0));
    screen->setWaitCursor(false);
    expectWindowShows(*presenter, *screen);
  }
  EXPECT_FALSE(ce::SdlPresenter::start(scene(10, 10), 0, nullptr));
  EXPECT_FALSE(ce::SdlPresenter::start(scene(10, 10), 9, nullptr));
}

TEST_F(ScreenPresenter, WindowFollowsRotation) {
  auto screen = scene(100, 140);
  std::string error;
  auto presenter = ce::SdlPresenter::start(screen, 1, nullptr, &error);
  ASSERT_TRUE(presenter) << error;
  screen->rotate();
  fillFramebuffer(screen->framebuffer(), rgb565(255, 0, 255));
  expectWindowShows(*presenter, *screen);
}

TEST_F(ScreenPresenter, WindowInputReachesTheHandlerOnThePresenterThread) {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<ce::InputEvent> received;
  auto handler = [&](const ce::InputEvent& event) {
    std::lock_guard<std::mutex> lock(mutex);
    received.push_back(event);
    arrived.notify_all();
  };
  auto screen = scene(100, 100);
  std::string error;
  auto presenter = ce::SdlPresenter::start(screen, 2, handler, &error);
  ASSERT_TRUE(presenter) << error;
  // The events arrive through SDL's own queue, as the X server's would.
  using PushEvent = int (*)(SDL_Event*);
  auto push = reinterpret_cast<PushEvent>(::dlsym(RTLD_DEFAULT, "SDL_PushEvent"));
  ASSERT_NE(push, nullptr);
  SDL_Event down{};
  down.type = SDL_MOUSEBUTTONDOWN;
  down.button.button = SDL_BUTTON_LEFT;
  down.button.x = 40;
  down.button.y = 60;
  SDL_Event up = down;
  up.type = SDL_MOUSEBUTTONUP;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(push(&down), 1);
  ASSERT_EQ(push(&up), 1);
  ASSERT_EQ(push(&quit), 1);
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return received.size() >= 3; }));
  EXPECT_EQ(received[0], ce::InputEvent::stylus(ce::InputKind::StylusDown, 20, 30));
  EXPECT_EQ(received[1], ce::InputEvent::stylus(ce::InputKind::StylusUp, 20, 30));
  EXPECT_EQ(received[2].kind, ce::InputKind::PowerOff);
}

