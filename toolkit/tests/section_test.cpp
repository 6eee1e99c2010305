// Sections and panels without a screen: scrolling limits, flings that stop at the ends, swipes,
// child order, row heights of panels on a quarter-VGA screen.
#include "test_elements.h"
#include "toolkit_test_support.h"

#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/my_panel.h>
#include <toolkit/section/section.h>
#include <toolkit/touch/touch_state.h>

#include <thread>

namespace {

using toolkit_test::Box;
using toolkit_test::RecordingHandler;

class SectionTest : public toolkit_test::ToolkitDevice {
protected:
  void SetUp() override {
    ToolkitDevice::SetUp();
    start();
  }
  void start() {
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"ToolkitTest", u"\\x.exe"));
    DisplayState &display = GlobalInformations::getInstance()->display();
    display.view = display.client = display.dirty =
        RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    display.redrawPending = false;
    touch_ = TouchState::process();
    touch_->reset(nullptr);
  }
  void TearDown() override {
    ElementRegistry::destroyAll();
    Section::releaseResources();
    MyPanel::releaseResources();
    GlobalInformations::replaceInstance(nullptr);
    ToolkitDevice::TearDown();
  }
  // A section of one child `height` pixels high.
  Section *sectionOf(int height) {
    auto *section = new Section(1);
    section->add(new Box(2, 0, 0, 480, height));
    return section;
  }
  // Drags the stylus from y0 to y1 in `step`-pixel moves 10 ms apart (ending now), letting the
  // section consume each move, and lifts it.
  void drag(Section *section, int y0, int y1, bool lift = true, int step = 10) {
    const int steps = std::abs(y1 - y0) / step;
    DWORD now = GetTickCount() - static_cast<DWORD>(10 * steps);
    touch_->touchDown(240, y0, now);
    section->animate();
    for (int i = 1; i <= steps; ++i) {
      now += 10;
      touch_->touchMove(240, y0 + (y1 - y0) * i / steps, now);
      section->animate();
    }
    if (lift) {
      touch_->touchUp(240, y1, now);
      section->animate();
    }
  }
  // Lets a fling run its course, one frame every 16 ms. Deliberate: a fling's speed is measured on
  // the tick count, so its frames need time to pass between them.
  void settle(Section *section) {
    for (int frame = 0; frame < 2000 && touch_->flingRunning(); ++frame) {
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
      section->animate();
    }
  }
  TouchState *touch_ = nullptr;
};

TEST_F(SectionTest, ContentThatFitsNeverScrolls) {
  Section *section = sectionOf(640);
  drag(section, 500, 200);
  settle(section);
  EXPECT_EQ(section->scrollOffset(), 0);
  EXPECT_FALSE(touch_->flingRunning());

  // A little more than the view scrolls (here without any scroll bar to show).
  Section *taller = sectionOf(700);
  drag(taller, 500, 450, false);
  EXPECT_EQ(taller->scrollOffset(), -50);
}

TEST_F(SectionTest, AFlingStopsExactlyAtEitherEnd) {
  // 50 pixels every 10 ms: the fastest fling.
  Section *section = sectionOf(2000);
  drag(section, 600, 100, true, 50);
  ASSERT_TRUE(touch_->flingRunning());
  settle(section);
  EXPECT_FALSE(touch_->flingRunning());
  EXPECT_EQ(section->scrollOffset(), 640 - 2000);

  drag(section, 100, 600, true, 50);
  settle(section);
  EXPECT_EQ(section->scrollOffset(), 0);
}

TEST_F(SectionTest, DraggedBeyondAnEndTheContentReturnsInOneStep) {
  Section *section = sectionOf(1000);
  drag(section, 100, 300, false);
  EXPECT_EQ(section->scrollOffset(), 200) << "the content follows the finger beyond the top";
  // Released slowly: no fling, one step back to the top.
  touch_->touchUp(240, 300, GetTickCount() + 600);
  EXPECT_EQ(section->animate(), -200);
  EXPECT_EQ(section->scrollOffset(), 0);

  drag(section, 600, 100, false);
  drag(section, 600, 100, false);
  EXPECT_EQ(section->scrollOffset(), -1000);
  touch_->touchUp(240, 100, GetTickCount() + 600);
  EXPECT_EQ(section->animate(), 640);
  EXPECT_EQ(section->scrollOffset(), -360);
  section->resetScroll();
  EXPECT_EQ(section->scrollOffset(), 0);
}

TEST_F(SectionTest, ChildrenAreInsertedWhereAskedAndGrowTheSection) {
  Section section(1);
  auto *a = new Box(10, 0, 0, 10, 30);
  auto *b = new Box(11, 0, 0, 10, 40);
  auto *c = new Box(12, 0, 0, 10, 50);
  auto *d = new Box(13, 0, 0, 10, 60);
  section.add(a, -1);
  section.add(b, 1); // the current count: appended
  section.add(c, 0);
  section.add(d, 7);
  ASSERT_EQ(section.children(), (std::vector<Element *>{c, a, b, d}));
  EXPECT_EQ(section.height(), 180);
  EXPECT_EQ(a->owner, &section);
  section.remove(c);
  EXPECT_EQ(section.children(), (std::vector<Element *>{d, a, b}));
  delete c;
}

TEST_F(SectionTest, SwipesGoToTheOwnerOrTheEventHandler) {
  RecordingHandler handler;
  Section *section = sectionOf(2000);
  DWORD now = GetTickCount();
  touch_->touchDown(100, 300, now);
  touch_->touchMove(300, 310, now + 10);
  EXPECT_EQ(section->animate(), 0);
  ASSERT_EQ(handler.events.size(), 1u);
  EXPECT_EQ(handler.events[0].code, EventSwipeRight);
  EXPECT_EQ(handler.events[0].sender, section);

  // With an owner, the owner hears a swipe left as onClick(true).
  Box owner(50, 0, 0, 1, 1);
  section->owner = &owner;
  touch_->touchDown(400, 300, now + 20);
  touch_->touchMove(200, 300, now + 30);
  section->animate();
  EXPECT_EQ(owner.clicks, std::vector<bool>{true});
  ASSERT_EQ(handler.events.size(), 2u) << "no swipe event of its own";
  EXPECT_EQ(handler.events[1].sender, &owner);
  section->owner = nullptr;
  EventHandler::setMainHandler(nullptr);
}

TEST_F(SectionTest, PanelRowsAtQuarterVga) {
  useScreen(240, 320);
  start();
  MyPanel panel(1, 0, 0, 0, u"", false, false);
  EXPECT_EQ(panel.width(), 240) << "width 0: the client width";
  panel.add(new Box(2, 0, 0, 100, 10), 40, -1, false);
  panel.add(new Box(3, 0, 0, 100, 30), 40, -1, false);
  ASSERT_EQ(panel.rowHeights(), (std::vector<int>{20, 30}));
  EXPECT_EQ(panel.height(), 50);
  // A child on the same row makes the row no taller unless it is taller itself.
  panel.add(new Box(4, 0, 0, 50, 12), 0, -1, true);
  EXPECT_EQ(panel.height(), 50);
  panel.add(new Box(5, 0, 0, 50, 44), 0, -1, true);
  EXPECT_EQ(panel.height(), 64);
  // Inserted at the front as a new row.
  panel.add(new Box(6, 0, 0, 50, 5), 40, 0, false);
  EXPECT_EQ(panel.newRows(), (std::vector<bool>{true, true, true, false, false}));
  EXPECT_EQ(panel.height(), 84);

  MyPanel dotted(2, 0, 0, 100, u"", false, true);
  EXPECT_EQ(dotted.width(), 50) << "widths are logical pixels";
  dotted.add(new Box(7, 0, 0, 10, 10), 0, -1, false);
  dotted.add(new Box(8, 0, 0, 10, 10), 0, -1, false);
  EXPECT_EQ(dotted.height(), 22) << "a dotted line under each row";
}

TEST_F(SectionTest, APanelGrowsItsSectionWhenItsRowsGrow) {
  Section section(1);
  auto *panel = new MyPanel(1, 0, 0, 0, u"", false);
  section.add(panel);
  EXPECT_EQ(section.height(), 0);
  panel->add(new Box(2, 0, 0, 100, 30), 0, -1, false);
  EXPECT_EQ(section.height(), 30);
  auto *row = new Box(3, 0, 0, 100, 20);
  panel->add(row, 0, -1, false);
  EXPECT_EQ(section.height(), 50);
  delete row;
  EXPECT_EQ(panel->height(), 30);
  EXPECT_EQ(section.height(), 30);
}

TEST_F(SectionTest, APanelHeaderRepeatsTheDividersRightEdge) {
  // A 100 x 20 divider: blue, with its last 20 columns green.
  std::vector<std::uint32_t> pixels(100 * 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 100; ++x)
      pixels[static_cast<std::size_t>(y) * 100 + x] = x < 80 ? 0xFF0000FF : 0xFF00FF00;
  putPngPixels("Windows/bg_common_divider_section.png", 100, 20, pixels);
  MyPanel panel(1, 0, 0, 180, u"");
  EXPECT_EQ(panel.headerHeight(), 20);
  EXPECT_EQ(panel.height(), 20);
  Surface *target = nullptr;
  const DDSURFACEDESC description = describeSurface(480, 100, 16);
  ASSERT_EQ(createSurf(&description, &target), S_OK);
  panel.paint(target, 0, 10);
  using toolkit_test::pixelOf;
  using toolkit_test::rgb565;
  EXPECT_EQ(pixelOf(*target, 10, 15), rgb565(0, 0, 255));
  EXPECT_EQ(pixelOf(*target, 90, 15), rgb565(0, 255, 0));
  // Beyond the image, its rightmost 80 columns: blue from 20, green from 80.
  EXPECT_EQ(pixelOf(*target, 110, 15), rgb565(0, 0, 255));
  EXPECT_EQ(pixelOf(*target, 165, 29), rgb565(0, 255, 0));
  EXPECT_EQ(pixelOf(*target, 180, 15), rgb565(0, 0, 0)) << "beside the panel";
  EXPECT_EQ(pixelOf(*target, 60, 30), rgb565(0, 0, 0)) << "below the header";
  deleteSurf(&target);
}

} // namespace
