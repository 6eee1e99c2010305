// The main window on a booted device: the display it opens, the background image and its
// darkening, the grey snapshot background, the dirty-rectangle queue's single drain request,
// drawing the current section and the touch input that reaches it.
#include "test_elements.h"
#include "toolkit_host_device.h"
#include "toolkit_test_support.h"

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/section/section.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>

#include <memory>

namespace {

using toolkit_test::Box;
using toolkit_test::pixelOf;
using toolkit_test::rgb565;

class DirectDrawWarpTest : public toolkit_test::ToolkitHost {
protected:
  void TearDown() override {
    EventHandler::setMainHandler(nullptr);
    // An application handler's destructor may have ended the application already.
    if (GlobalInformations::getInstance()->mainApplication() != application_.get())
      (void)application_.release();
    application_.reset();
    ElementRegistry::destroyAll();
    ToolkitHost::TearDown();
  }
  DirectDrawWarp &open(bool snapshot = false) {
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"ToolkitTest", snapshot);
    EXPECT_TRUE(application_->isUsable())
        << std::string(lastDrawingReport().step.begin(), lastDrawingReport().step.end()) << " "
        << GetLastError() << " window " << application_->window();
    return *application_;
  }
  DisplayState &display() { return GlobalInformations::getInstance()->display(); }
  // A section with a red box at 40,100 (80 x 60), made current and drawn for the first time.
  Box *showBox(DirectDrawWarp &application) {
    auto *section = new Section(1);
    auto *box = new Box(7, 40, 100, 80, 60);
    section->add(box);
    section->loadSurf();
    application.addSection(section);
    application.setCurrentSection(0);
    EXPECT_TRUE(pumpUntil([&] { return display().active.load(); }));
    application.createBackground();
    return box;
  }
  std::unique_ptr<DirectDrawWarp> application_;
};

TEST_F(DirectDrawWarpTest, OpensAFullScreenWindowAndItsSurfaces) {
  display().backgroundColor = RGB(0, 0, 255);
  DirectDrawWarp &application = open();
  RECT window{};
  ASSERT_TRUE(GetWindowRect(application.window(), &window));
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(window.right, 480);
  EXPECT_EQ(window.bottom, 640);
  EXPECT_EQ(display().client.bottom, 640);
  EXPECT_EQ(GlobalInformations::getInstance()->mainApplication(), &application);

  ASSERT_NE(display().primary, nullptr);
  EXPECT_TRUE(display().primary->isPrimary());
  EXPECT_EQ(display().primary->dc, nullptr) << "the window's DC is only borrowed to paint";
  for (Surface *surface : {display().backBuffer, display().backgroundSave}) {
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->width, 480);
    EXPECT_EQ(surface->height, 640);
    EXPECT_EQ(surface->bitsPerPixel, 16);
    EXPECT_EQ(pixelOf(*surface, 479, 639), rgb565(0, 0, 255));
  }
  // The start notification waits in the thread's queue; the taskbar leaves for the window.
  threadMessages.clear();
  EXPECT_TRUE(pumpUntil([] {
    for (const MSG &msg : threadMessages)
      if (msg.message == WM_USER && msg.wParam == 0)
        return true;
    return false;
  }));
  EXPECT_TRUE(pumpUntil([] { return !IsWindowVisible(FindWindowW(u"HHTaskBar", nullptr)); }));

  application_.reset();
  EXPECT_EQ(display().primary, nullptr);
  EXPECT_EQ(GlobalInformations::getInstance()->mainApplication(), nullptr);
}

TEST_F(DirectDrawWarpTest, TheFirstDirtyRectanglePostsOneDrainRequest) {
  DirectDrawWarp &application = open();
  ASSERT_TRUE(settle());
  MSG msg{};
  while (PeekMessageW(&msg, application.window(), DirtyQueueMessage, DirtyQueueMessage, PM_REMOVE))
    ;
  application.drainDirty(0);
  application.queueDirty({0, 0, 100, 100}, false);
  application.queueDirty({10, 10, 50, 50}, true);
  application.queueDirty({200, 200, 300, 300}, false);
  application.queueDirty({0, 0, 480, 640}, false);
  int posted = 0;
  while (PeekMessageW(&msg, application.window(), DirtyQueueMessage, DirtyQueueMessage, PM_REMOVE))
    ++posted;
  EXPECT_EQ(posted, 1);
  const auto queued = application.queuedDirty();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_TRUE(queued[0].fullRedraw);
}

// A rectangle queued while a drain still has others to draw (a picture that another thread
// loaded meanwhile) finds the queue busy and asks for nothing: the drain asks for the next one.
TEST_F(DirectDrawWarpTest, ARectangleQueuedDuringADrainIsDrawnByTheNextOne) {
  DirectDrawWarp &application = open();
  Box *box = showBox(application);
  ASSERT_TRUE(settle());
  application.drainDirty(0);
  MSG msg{};
  while (PeekMessageW(&msg, application.window(), DirtyQueueMessage, DirtyQueueMessage, PM_REMOVE))
    ;
  // While the first rectangle is drawn, another comes.
  struct Late : Box {
    using Box::Box;
    void paint(Surface *target, int x, int y) override {
      Box::paint(target, x, y);
      if (late && !queued) {
        queued = true;
        late();
      }
    }
    std::function<void()> late;
    bool queued = false;
  };
  auto *late = new Late(8, 300, 300, 20, 20, RGB(0, 255, 0));
  late->late = [&] { application.queueDirty({300, 300, 320, 320}, true); };
  application.currentSection()->add(late);
  application.queueDirty(RECT{290, 290, 330, 330}, true); // drawn first: the late one comes
  application.queueDirty(box->screenRect, true);          // still queued then
  while (PeekMessageW(&msg, application.window(), DirtyQueueMessage, DirtyQueueMessage, PM_REMOVE))
    ;
  application.drainDirty(0);
  ASSERT_EQ(application.queuedDirty().size(), 1u) << "the late rectangle waits";
  int posted = 0;
  while (PeekMessageW(&msg, application.window(), DirtyQueueMessage, DirtyQueueMessage, PM_REMOVE))
    ++posted;
  EXPECT_GE(posted, 1) << "and a drain is asked for it";
  application.drainDirty(0);
  EXPECT_TRUE(application.queuedDirty().empty());
}

TEST_F(DirectDrawWarpTest, BackgroundImageIsDarkenedOnceWhenSet) {
  putPng("img/back.png", 480, 640, 0xFFC08040);
  putPng("img/small.png", 48, 64, 0xFF00FF00);
  DirectDrawWarp &application = open();
  Surface *save = display().backgroundSave;

  ASSERT_EQ(application.setBackgroundImg(u"\\img\\back.png", false, 255, false), S_OK);
  EXPECT_EQ(pixelOf(*save, 240, 320), rgb565(0xC0, 0x80, 0x40)) << "brightness 255: unchanged";
  EXPECT_EQ(application.backgroundDarkening(), 0);
  EXPECT_TRUE(application.backgroundImageSet());
  EXPECT_EQ(application.backgroundPath(false), u"\\img\\back.png");

  ASSERT_EQ(application.setBackgroundImg(u"\\img\\back.png", false, 0, false), S_OK);
  EXPECT_EQ(pixelOf(*save, 0, 0), rgb565(0, 0, 0)) << "brightness 0: black";
  EXPECT_EQ(application.backgroundDarkening(), 255);

  // A smaller image is stretched over the whole background; the kept path stays without force.
  ASSERT_EQ(application.setBackgroundImg(u"\\img\\small.png", false, 128, false), S_OK);
  EXPECT_EQ(pixelOf(*save, 479, 639), rgb565(0, 128, 0));
  EXPECT_EQ(application.backgroundPath(false), u"\\img\\back.png");
  ASSERT_EQ(application.setBackgroundImg(u"\\img\\small.png", false, 255, true), S_OK);
  EXPECT_EQ(application.backgroundPath(false), u"\\img\\small.png");

  // An image for the other orientation is kept but not drawn.
  ASSERT_EQ(application.setBackgroundImg(u"\\img\\back.png", true, 255, false), S_OK);
  EXPECT_EQ(application.backgroundPath(true), u"\\img\\back.png");
  EXPECT_EQ(pixelOf(*save, 10, 10), rgb565(0, 255, 0));

  const bool previous = setNoImagePlaceholder(true);
  EXPECT_EQ(application.setBackgroundImg(u"\\img\\absent.png", false, 255, false), E_FAIL);
  setNoImagePlaceholder(previous);
  EXPECT_EQ(pixelOf(*save, 10, 10), rgb565(0, 255, 0));
}

TEST_F(DirectDrawWarpTest, SnapshotBackgroundIsTheScreenBehindInDarkGrey) {
  fillScreen(0xFFFF);
  DirectDrawWarp &application = open(true);
  EXPECT_EQ(pixelOf(*display().backgroundSave, 100, 100), 0xFFFFu) << "the screen behind";
  application.createBackground();
  EXPECT_EQ(application.snapshotFade(), 1);
  EXPECT_TRUE(application.isReady());
  // 0xFFFF becomes the 5-5-5 grey 0x318C: level 12 in every channel.
  const std::uint16_t grey = rgb565(99, 99, 99);
  EXPECT_EQ(pixelOf(*display().backgroundSave, 100, 100), grey);
  EXPECT_EQ(pixelOf(*display().backBuffer, 479, 639), grey);
  EXPECT_EQ(screenPixel(10, 10), grey);
}

TEST_F(DirectDrawWarpTest, TheCurrentSectionIsDrawnAndFollowsTheFinger) {
  display().backgroundColor = RGB(0, 0, 0);
  DirectDrawWarp &application = open();
  // A section taller than the screen, so it scrolls.
  auto *section = new Section(1);
  section->add(new Box(7, 40, 300, 80, 60));
  section->add(new Box(8, 0, 0, 10, 1200, RGB(0, 255, 0)));
  section->loadSurf();
  application.addSection(section);
  application.setCurrentSection(0);
  ASSERT_TRUE(pumpUntil([&] { return display().active.load(); }));
  application.createBackground();
  // What the window uncovers later is painted again from the composed frame.
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(45, 305) == rgb565(255, 0, 0); }));
  EXPECT_EQ(screenPixel(35, 305), rgb565(0, 0, 0));

  // Dragging up by 200 pixels moves the content up with the finger and flings it on; the
  // application's own loop runs meanwhile, until the fling has ended.
  std::vector<std::uint16_t> shown;
  auto input = std::async(std::launch::async, [&] {
    const int result = tool("drag 300 500 300 300 600 20");
    // Input waits behind posted messages: wait until the release has been handled.
    TouchState *touch = application.touchState();
    toolkit_test::waitFor([&] {
      CriticalSectionLock lock(touch->section());
      return touch->sampleCount() > 1 && !touch->isPressed() && !touch->flingRunning();
    });
    shown = screenPixels();
    PostMessageW(application.window(), WM_CLOSE, 0, 0);
    return result;
  });
  application.run();
  ASSERT_EQ(input.get(), 0);
  const int offset = section->scrollOffset();
  EXPECT_LE(offset, -200);
  EXPECT_GE(offset, 640 - section->height()) << "a fling stops at the end of the content";
  ASSERT_EQ(shown.size(), 480u * 640u);
  const auto at = [&](int x, int y) { return shown[static_cast<std::size_t>(y) * 480 + x]; };
  // The screen shows the content at the offset it ended at.
  const int boxBottom = 300 + offset + 60;
  if (boxBottom > 0) {
    EXPECT_EQ(at(45, boxBottom - 1), rgb565(255, 0, 0));
    EXPECT_EQ(at(45, boxBottom), rgb565(0, 0, 0));
  }
  EXPECT_EQ(at(5, 639), rgb565(0, 255, 0)) << "the tall green strip below the box";
}

TEST_F(DirectDrawWarpTest, TurningTheDeviceRemakesTheSurfacesWithTheLandscapeImage) {
  putPng("img/portrait.png", 480, 640, 0xFF0000FF);
  putPng("img/landscape.png", 640, 480, 0xFF00FF00);
  DirectDrawWarp &application = open();
  showBox(application);
  ASSERT_EQ(application.setBackgroundImg(u"\\img\\portrait.png", false, 255, false), S_OK);
  ASSERT_EQ(application.setBackgroundImg(u"\\img\\landscape.png", true, 255, false), S_OK);
  EXPECT_FALSE(GlobalInformations::getInstance()->isLandscape());
  threadMessages.clear();

  ASSERT_EQ(toolWhilePumping("rotate"), 0);
  ASSERT_TRUE(pumpUntil([] { return GlobalInformations::getInstance()->isLandscape(); }));
  EXPECT_EQ(display().view.right, 640);
  EXPECT_EQ(display().view.bottom, 480);
  for (Surface *surface : {display().backBuffer, display().backgroundSave}) {
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->width, 640);
    EXPECT_EQ(surface->height, 480);
  }
  EXPECT_EQ(pixelOf(*display().backgroundSave, 600, 400), rgb565(0, 255, 0));
  // The application hears of it, and the screen shows the landscape background.
  EXPECT_TRUE(pumpUntil([] {
    for (const MSG &msg : threadMessages)
      if (msg.message == WM_USER && msg.wParam == WM_WINDOWPOSCHANGED)
        return true;
    return false;
  }));
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(600, 400) == rgb565(0, 255, 0); }));
  EXPECT_EQ(screenPixel(60, 120), rgb565(255, 0, 0)) << "the section is drawn again";
}

TEST_F(DirectDrawWarpTest, ATapOnAnElementReachesTheEventHandler) {
  auto handler = std::make_unique<toolkit_test::RecordingHandler>();
  DirectDrawWarp &application = open();
  Box *box = showBox(application);
  ASSERT_EQ(toolWhilePumping("tap 60 120"), 0);
  ASSERT_TRUE(pumpUntil([&] { return !handler->events.empty(); }));
  EXPECT_EQ(handler->events[0].sender, box);
  EXPECT_EQ(handler->events[0].code, 1);
  ASSERT_EQ(box->clicks.size(), 1u);
  EXPECT_FALSE(box->clicks[0]);

  // A tap beside it goes to the section itself.
  handler->events.clear();
  ASSERT_EQ(toolWhilePumping("tap 300 400"), 0);
  ASSERT_TRUE(pumpUntil([&] { return !handler->events.empty(); }));
  EXPECT_EQ(handler->events[0].sender, application.currentSection());
  EventHandler::setMainHandler(nullptr);
  application_.release(); // the handler's destructor ends the application
  handler.reset();
  EXPECT_EQ(GlobalInformations::getInstance()->mainApplication(), nullptr);
  EXPECT_EQ(ElementRegistry::count(), 0u);
}

} // namespace
