// The UI thread's message loop and the input path on a booted device: the start notification,
// events posted by other threads, closing with confirmation, a press-and-hold recognised by the
// platform, and a modal child window with its own loop.
#include "test_elements.h"
#include "toolkit_host_device.h"
#include "toolkit_test_support.h"

#include <toolkit/display/child_window.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/section/section.h>
#include <toolkit/touch/touch_state.h>

namespace {

using toolkit_test::Box;
using toolkit_test::HoldBox;
using toolkit_test::pixelOf;
using toolkit_test::RecordingHandler;
using toolkit_test::rgb565;

class EventDispatchTest : public toolkit_test::ToolkitHost {
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
  DisplayState &display() { return GlobalInformations::getInstance()->display(); }
  DirectDrawWarp &open() {
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"ToolkitTest", false);
    EXPECT_TRUE(application_->isUsable());
    return *application_;
  }
  Section *showSection(DirectDrawWarp &application, Element *child) {
    auto *section = new Section(1);
    section->add(child);
    section->loadSurf();
    application.addSection(section);
    application.setCurrentSection(0);
    EXPECT_TRUE(pumpUntil([&] { return display().active.load(); }));
    application.createBackground();
    return section;
  }
  std::unique_ptr<DirectDrawWarp> application_;
};

TEST_F(EventDispatchTest, TheLoopStartsTheApplicationAndDeliversPostedEvents) {
  RecordingHandler handler;
  DirectDrawWarp &application = open();
  auto *box = new Box(7, 10, 10, 20, 20);
  // No pumping here: the start notification must wait for the loop.
  auto *section = new Section(1);
  section->add(box);
  application.addSection(section);
  application.setCurrentSection(0);
  application.createBackground();
  const DWORD thread = GetCurrentThreadId();
  ResetEvent(GlobalInformations::getInstance()->event());

  PostThreadMessageW(thread, WM_USER, EventValueChanged, reinterpret_cast<LPARAM>(box));
  auto *gone = new Box(8, 0, 0, 5, 5);
  PostThreadMessageW(thread, WM_USER, EventTap, reinterpret_cast<LPARAM>(gone));
  delete gone; // an event about an element that died on the way is dropped
  PostThreadMessageW(thread, WM_USER, 1001, 77);
  PostThreadMessageW(thread, WM_USER, EndModalParameter, 0);
  // Closing asks the application first; it answers by ending without confirmation.
  display().closingNeedsConfirmation = true;
  PostMessageW(application.window(), WM_CLOSE, 0, 0);
  handler.hook = [&](int code) {
    if (code == WM_QUIT)
      PostMessageW(application.window(), EndApplicationMessage, 0, 0);
  };
  HWND window = application.window();
  application.run();

  ASSERT_EQ(handler.starts.size(), 1u);
  EXPECT_EQ(handler.starts[0].code, static_cast<int>(WM_USER));
  // The window's activation is forwarded too (code 6); the rest come in the order posted.
  std::erase_if(handler.events, [](const auto &event) { return event.code == WM_ACTIVATE; });
  ASSERT_EQ(handler.events.size(), 3u);
  EXPECT_EQ(handler.events[0].sender, box);
  EXPECT_EQ(handler.events[0].code, EventValueChanged);
  EXPECT_EQ(handler.events[1].sender, nullptr);
  EXPECT_EQ(handler.events[1].code, 1001);
  EXPECT_EQ(handler.events[1].parameter, 77);
  EXPECT_EQ(handler.events[2].code, static_cast<int>(WM_QUIT));
  EXPECT_EQ(WaitForSingleObject(GlobalInformations::getInstance()->event(), 0), WAIT_OBJECT_0);
  EXPECT_FALSE(display().closingNeedsConfirmation.load());
  EXPECT_FALSE(IsWindow(window)) << "the window goes when the loop ends";
}

TEST_F(EventDispatchTest, APressAndHoldIsOneHoldEventAndNoTap) {
  RecordingHandler handler;
  DirectDrawWarp &application = open();
  auto *box = new HoldBox(7, 40, 100, 80, 60);
  showSection(application, box);
  ASSERT_EQ(toolWhilePumping("hold 60 120 900"), 0);
  EXPECT_TRUE(box->held);
  ASSERT_EQ(handler.events.size(), 1u);
  EXPECT_EQ(handler.events[0].sender, box);
  EXPECT_EQ(handler.events[0].code, EventHold);
  EXPECT_EQ(box->clicks, std::vector<bool>{true});

  // A quick tap on the same box is a tap.
  handler.events.clear();
  ASSERT_EQ(toolWhilePumping("tap 60 120"), 0);
  ASSERT_TRUE(pumpUntil([&] { return !handler.events.empty(); }));
  EXPECT_EQ(handler.events[0].code, EventTap);
}

// A modal window that fills the screen with one colour and records what reaches it.
class ColourDialog : public ChildWindow {
public:
  explicit ColourDialog(COLORREF color) : ChildWindow(u"Colour"), color_(color) {}
  int paint(Surface *primary, bool) override {
    ++paints;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = color_;
    Blt(primary, nullptr, nullptr, nullptr, BltColorFill, &fx);
    return 0;
  }
  void onEvent(Element *sender, int code, LPARAM) override { events.push_back({sender, code}); }
  LRESULT wndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (!window())
      return 0;
    if (message == WM_PAINT) {
      // As the toolkit's dialogs do: validate the window, then draw the screen again.
      PAINTSTRUCT paintInfo{};
      BeginPaint(window(), &paintInfo);
      EndPaint(window(), &paintInfo);
      if (DirectDrawWarp *main = GlobalInformations::getInstance()->mainApplication())
        main->draw(true);
      return 0;
    }
    return DefWindowProcW(window(), message, wParam, lParam);
  }
  int paints = 0;
  std::vector<std::pair<Element *, int>> events;

private:
  COLORREF color_;
};

TEST_F(EventDispatchTest, AModalWindowRunsItsOwnLoopAndRestoresTheBackground) {
  RecordingHandler handler;
  display().backgroundColor = RGB(0, 0, 255);
  DirectDrawWarp &application = open();
  auto *box = new Box(7, 40, 100, 80, 60);
  showSection(application, box);
  ASSERT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == rgb565(255, 0, 0); }));
  application.setBackgroundColor(RGB(0, 255, 0));

  auto *dialog = new ColourDialog(RGB(255, 255, 0));
  EXPECT_EQ(application.modalChild(), dialog);
  dialog->show();
  EXPECT_EQ(EventHandler::modalHandler(), dialog);
  // Events go to the modal window while it is shown.
  dispatchEvent(box, EventTap, 0);
  EXPECT_EQ(dialog->events.size(), 1u);
  EXPECT_TRUE(handler.events.empty());

  application.draw(false);
  EXPECT_GT(dialog->paints, 0);
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == rgb565(255, 255, 0); }));

  PostMessageW(dialog->window(), WM_USER, EndModalParameter, 0);
  dialog->doModal();
  delete dialog;
  EXPECT_EQ(EventHandler::modalHandler(), nullptr);
  EXPECT_EQ(application.modalChild(), nullptr);
  // The saved background is back, and the view is queued for a full redraw.
  EXPECT_EQ(pixelOf(*display().backgroundSave, 300, 600), rgb565(0, 255, 0));
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == rgb565(255, 0, 0); }));
  EXPECT_EQ(screenPixel(300, 600), rgb565(0, 255, 0));
}

TEST_F(EventDispatchTest, AModalLoopOnAnotherThreadWaitsForTheUiThread) {
  DirectDrawWarp &application = open();
  showSection(application, new Box(7, 40, 100, 80, 60));
  auto *dialog = new ColourDialog(RGB(255, 255, 0));
  ResetEvent(GlobalInformations::getInstance()->event());
  auto waiting = std::async(std::launch::async, [&] {
    dialog->doModal();
    return true;
  });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  PostThreadMessageW(GetCurrentThreadId(), WM_USER, EndModalParameter, 0);
  PostMessageW(application.window(), WM_CLOSE, 0, 0);
  application.run();
  EXPECT_TRUE(waiting.get());
  delete dialog;
}

TEST_F(EventDispatchTest, InvalidateQueuesTheDrawnAreaClampedToTheScreen) {
  DirectDrawWarp &application = open();
  auto *box = new Box(7, 440, 600, 80, 80);
  ASSERT_TRUE(settle());
  application.drainDirty(0);
  MSG msg{};
  while (PeekMessageW(&msg, application.window(), DirtyQueueMessage, DirtyQueueMessage, PM_REMOVE))
    ;
  box->invalidate();
  EXPECT_TRUE(application.queuedDirty().empty()) << "never drawn: nothing to redraw";
  box->paint(nullptr, 0, 0);
  box->invalidate();
  const auto queued = application.queuedDirty();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].area.left, 440);
  EXPECT_EQ(queued[0].area.top, 600);
  EXPECT_EQ(queued[0].area.right, 480);
  EXPECT_EQ(queued[0].area.bottom, 640);
  EXPECT_TRUE(queued[0].fullRedraw);
}

} // namespace
