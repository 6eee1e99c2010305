// Sections on a booted device: the scroll bar overlay for long content, and a ChildSection
// sliding to its back view and back again.
#include "test_elements.h"
#include "toolkit_host_device.h"
#include "toolkit_test_support.h"

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/section/child_section.h>
#include <toolkit/section/my_panel.h>
#include <toolkit/section/section.h>

namespace {

using toolkit_test::Box;
using toolkit_test::rgb565;

class SectionDisplayTest : public toolkit_test::ToolkitHost {
protected:
  void TearDown() override {
    application_.reset();
    ElementRegistry::destroyAll();
    Section::releaseResources();
    MyPanel::releaseResources();
    ToolkitHost::TearDown();
  }
  DisplayState &display() { return GlobalInformations::getInstance()->display(); }
  Section *show(Element *child) {
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"ToolkitTest", false);
    EXPECT_TRUE(application_->isUsable());
    auto *section = new Section(1);
    section->add(child);
    section->loadSurf();
    application_->addSection(section);
    application_->setCurrentSection(0);
    EXPECT_TRUE(pumpUntil([&] { return display().active.load(); }));
    application_->createBackground();
    return section;
  }
  std::unique_ptr<DirectDrawWarp> application_;
};

TEST_F(SectionDisplayTest, LongContentShowsTheScrollBar) {
  Section *section = show(new Box(2, 0, 0, 480, 2000, RGB(0, 0, 255)));
  EXPECT_TRUE(section->scrollBarNeeded());
  EXPECT_TRUE(Section::scrollBarShown());
  // Deactivation hides it.
  SendMessageW(application_->window(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_FALSE(Section::scrollBarShown());
}

TEST_F(SectionDisplayTest, ContentOfMoreThanFourFifthsOfTheViewHasNoScrollBar) {
  Section *section = show(new Box(2, 0, 0, 480, 700, RGB(0, 0, 255)));
  EXPECT_FALSE(section->scrollBarNeeded());
  EXPECT_FALSE(Section::scrollBarShown());
}

TEST_F(SectionDisplayTest, AChildSectionSlidesToItsBackViewAndReturns) {
  ChildSection::setReferenceWidth(480);
  std::vector<std::u16string> labels;
  auto *label = new Box(9, 200, 0, 60, 20, RGB(255, 255, 255));
  auto *sliding =
      new ChildSection(3, new Box(4, 0, 0, 480, 640, RGB(255, 0, 0)),
                       new Box(5, 0, 0, 480, 640, RGB(0, 255, 0)), label, u"Settings", 100,
                       [&](Element *, const std::u16string &text) { labels.push_back(text); });
  show(sliding);
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(240, 320) == rgb565(255, 0, 0); }));

  sliding->slideScreen(display().primary);
  EXPECT_TRUE(sliding->showsBackView());
  EXPECT_EQ(screenPixel(240, 320), rgb565(0, 255, 0));
  EXPECT_EQ(screenPixel(5, 600), rgb565(0, 255, 0));
  EXPECT_EQ(label->bounds.left, 120) << "a quarter of the reference width";
  EXPECT_EQ(label->width(), 60);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0], u"Back");

  // A swipe to the right on the back view is a click from it: the slide goes back.
  EXPECT_EQ(sliding->onClick(false), 1);
  EXPECT_FALSE(sliding->showsBackView());
  EXPECT_EQ(screenPixel(240, 320), rgb565(255, 0, 0));
  EXPECT_EQ(screenPixel(475, 600), rgb565(255, 0, 0));
  EXPECT_EQ(label->bounds.left, 200) << "back at its own place";
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[1], u"Settings");
}

} // namespace
