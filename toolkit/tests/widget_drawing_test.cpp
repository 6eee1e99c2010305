// Labels, items and picture boxes drawn on real surfaces of a device whose skin strips are solid
// colours, read back pixel by pixel.
#include "test_elements.h"
#include "widget_test_support.h"

#include <toolkit/image/real_alpha.h>
#include <toolkit/widget/my_item.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/my_picture_box.h>

#include <algorithm>

namespace {

using namespace toolkit_test;

class LabelTest : public WidgetDevice {};

TEST_F(LabelTest, TheTextBufferIsThePremultipliedTextInTheLabelsColour) {
  const COLORREF orange = RGB(255, 128, 0);
  MyLabel label(1, 0, 0, 200, u"Hello WWW", FontChoice::Large, LabelNoScale);
  label.setColor(orange);
  Surface *target = canvas();
  label.paint(target, 0, 0);
  const Surface *buffer = label.textBuffer();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->bitsPerPixel, 32);
  EXPECT_GE(buffer->width, label.width());
  EXPECT_EQ(label.renderedColor(), orange);

  // Every pixel is an entry of the table for the colour: level x 8, full white giving 248.
  const auto table = realAlphaTable(orange);
  int strongest = 0, covered = 0;
  for (int y = 0; y < buffer->height; ++y)
    for (int x = 0; x < buffer->width; ++x) {
      const std::uint32_t pixel = pixelOf(*buffer, x, y);
      const int alpha = static_cast<int>(pixel >> 24);
      ASSERT_EQ(alpha % 8, 0) << x << "," << y;
      ASSERT_EQ(pixel, alpha ? table[static_cast<std::size_t>(alpha)] : 0u) << x << "," << y;
      strongest = std::max(strongest, alpha);
      covered += alpha > 0;
    }
  EXPECT_EQ(strongest, 248);
  EXPECT_GT(covered, 50);
  EXPECT_EQ(table[248], 248u << 24 | 248u << 16 | 124u << 8 | 0u);
}

TEST_F(LabelTest, AnotherColourRendersAgainAndTheSameOneDoesNot) {
  MyLabel label(1, 10, 10, 100, u"Text", FontChoice::Normal, LabelNoScale);
  Surface *target = canvas();
  label.setColor(RGB(255, 0, 0));
  label.paint(target, 0, 0);
  const Surface *first = label.textBuffer();
  label.paint(target, 0, 0);
  EXPECT_EQ(label.textBuffer(), first) << "the same colour is not rendered again";
  label.setColor(RGB(0, 255, 0));
  label.paint(target, 0, 0);
  EXPECT_EQ(label.renderedColor(), RGB(0, 255, 0));

  // Themed labels take the colour of their style.
  label.setThemed(true);
  label.setStyle(2);
  label.paint(target, 0, 0);
  EXPECT_EQ(label.renderedColor(), 0x808080u);
  label.setStyle(7);
  label.paint(target, 0, 0);
  EXPECT_EQ(label.renderedColor(), 0x050505u);
}

TEST_F(LabelTest, DrawsOnlyInsideItsBoundsAndTheDirtyRectangle) {
  MyLabel label(1, 20, 30, 150, u"WWWWWWWW", FontChoice::Large, LabelNoScale);
  Surface *target = canvas();
  const std::uint16_t background = as565(CanvasColor);
  label.paint(target, 5, 5);
  EXPECT_EQ(label.screenRect.left, 25);
  EXPECT_EQ(label.screenRect.top, 35);
  const RECT area = label.screenRect;
  EXPECT_TRUE(anyPixelOtherThan(*target, area, background));
  EXPECT_FALSE(anyPixelOtherThan(*target, RECT{0, 0, 480, area.top}, background));
  EXPECT_FALSE(anyPixelOtherThan(*target, RECT{0, area.bottom, 480, area.bottom + 10}, background));

  // Only the right half is dirty: the left half stays as it was.
  Surface *half = canvas();
  const LONG middle = (area.left + area.right) / 2;
  display().dirty = RECT{middle, 0, 480, 640};
  label.paint(half, 5, 5);
  EXPECT_EQ(label.clipLeft(), middle - area.left);
  EXPECT_EQ(label.clipTop(), 0);
  EXPECT_FALSE(
      anyPixelOtherThan(*half, RECT{area.left, area.top, middle, area.bottom}, background));
  EXPECT_TRUE(
      anyPixelOtherThan(*half, RECT{middle, area.top, area.right, area.bottom}, background));

  // A hidden label draws nothing.
  Surface *none = canvas();
  display().dirty = RECT{0, 0, 480, 640};
  label.setVisible(false);
  label.paint(none, 5, 5);
  EXPECT_FALSE(anyPixelOtherThan(*none, area, background));
}

TEST_F(LabelTest, GrowsToItsTextAndTellsItsOwnerWhenItsHeightChanges) {
  MyLabel narrow(1, 0, 0, 10, u"A rather long line of text", FontChoice::Normal, LabelNoScale);
  EXPECT_GT(narrow.width(), 10);
  EXPECT_EQ(narrow.width(), narrow.measuredRect().right);
  EXPECT_GT(narrow.height(), 0);
  EXPECT_EQ(narrow.height(), narrow.measuredRect().bottom);
  const int grown = narrow.width();
  narrow.setText(u"A", false);
  EXPECT_EQ(narrow.width(), grown) << "a label never shrinks";
  EXPECT_EQ(narrow.widestWidth(), grown);

  Holder holder;
  auto *label =
      new MyLabel(2, 0, 0, 120, u"one", FontChoice::Normal, LabelNoScale | LabelMultiLine);
  label->owner = &holder;
  const int oneLine = label->height();
  label->setText(u"one two three four five six seven eight nine", false);
  ASSERT_EQ(holder.resizes.size(), 1u);
  EXPECT_EQ(holder.resizes[0].height, label->height() - oneLine);
  EXPECT_GE(label->height(), 2 * oneLine);
  EXPECT_LE(label->width(), 120 + MyLabel::MeasureMargin + 40);
  label->setText(u"one two three four five six seven eight nine", false);
  EXPECT_EQ(holder.resizes.size(), 1u) << "the same height tells nothing";
  label->owner = nullptr;
  delete label;

  // Ampersands are text, not prefixes.
  MyLabel plain(3, 0, 0, 0, u"ab", FontChoice::Normal, LabelNoScale);
  MyLabel ampersand(4, 0, 0, 0, u"a&b", FontChoice::Normal, LabelNoScale);
  EXPECT_GT(ampersand.measuredRect().right, plain.measuredRect().right);
}

TEST_F(LabelTest, LabelsWithoutBufferDrawStraightIntoTheTarget) {
  MyLabel direct(1, 10, 10, 150, u"WWWWWW", FontChoice::Large, LabelNoScale | LabelDirect);
  MyLabel buffered(2, 10, 10, 150, u"WWWWWW", FontChoice::Large, LabelNoScale);
  Surface *a = canvas(), *b = canvas();
  direct.setColor(RGB(255, 255, 255));
  buffered.setColor(RGB(255, 255, 255));
  direct.paint(a, 0, 0);
  buffered.paint(b, 0, 0);
  EXPECT_EQ(direct.textBuffer(), nullptr);
  const std::uint16_t background = as565(CanvasColor);
  EXPECT_TRUE(anyPixelOtherThan(*a, direct.screenRect, background));
  // The same glyph places: where one drew nothing, neither did the other.
  int agree = 0, total = 0;
  for (int y = direct.screenRect.top; y < direct.screenRect.bottom; ++y)
    for (int x = direct.screenRect.left; x < direct.screenRect.right; ++x) {
      ++total;
      agree += (pixelOf(*a, x, y) == background) == (pixelOf(*b, x, y) == background);
    }
  EXPECT_GT(agree, total * 95 / 100);

  Surface *clipped = canvas();
  display().dirty = RECT{0, 0, 480, direct.screenRect.top + 3};
  direct.paint(clipped, 0, 0);
  EXPECT_FALSE(anyPixelOtherThan(
      *clipped, RECT{0, direct.screenRect.top + 3, 480, direct.screenRect.bottom}, background));
}

TEST_F(LabelTest, TheStyleBackgroundShowsTheFrameOfTheStyle) {
  putStrip("strip.png", 3, 10, 8);
  auto *background = new MyPictureBox(u"\\strip.png", 0, 0, true);
  background->setFrameWidth(10);
  MyLabel label(1, 0, 0, 10, u"", FontChoice::Small, LabelNoScale);
  label.setStyleBackground(background);
  EXPECT_EQ(background->owner, &label);
  Surface *target = canvas();
  label.setStyle(2);
  label.paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 1, 1), as565(frameColor(2)));
  label.setStyle(5); // outside the strip: its first frame
  label.paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 1, 1), as565(frameColor(0)));
  // The background goes with the label; one destroyed first leaves no dangling pointer.
  label.setStyleBackground(new MyPictureBox(u"\\strip.png", 0, 0, true));
  delete label.styleBackground();
  EXPECT_EQ(label.styleBackground(), nullptr);
}

class ItemTest : public WidgetDevice {};

TEST_F(ItemTest, EachKindAndStateShowsItsFrameOfItsStrip) {
  struct Case {
    int kind, state;
    COLORREF expected;
  };
  const Case cases[] = {
      {ItemCheckBox, 0, frameColor(0)},
      {ItemCheckBox, 3, frameColor(3)},
      {ItemCheckBox, 5, frameColor(5)},
      {ItemCheckBox, 6, thirdStateColor(0)},
      {ItemCheckBox, 7, thirdStateColor(1)},
      {ItemSwitch, 2, frameColor(2)},
      {ItemSwitch, 4, frameColor(6)},
      {ItemSwitch, 5, frameColor(6)},
      {ItemSwitch, 7, thirdStateColor(1)},
      {ItemButton, 1, frameColor(0)},
      {ItemButton, 3, frameColor(2)},
      {ItemButton, 4, frameColor(1)},
      {ItemLargeMessageButton, 2, frameColor(2)},
      {ItemSmallMessageButton, 5, frameColor(1)},
  };
  for (const Case &c : cases) {
    MyItem item(5, 0, 0, u"", c.kind, c.state, false, true);
    Surface *target = canvas(200, 40);
    item.paint(target, 3, 4);
    EXPECT_EQ(pixelOf(*target, 4, 5), as565(c.expected)) << c.kind << "/" << c.state;
    EXPECT_EQ(pixelOf(*target, 2, 3), as565(CanvasColor)) << "drawn at its place";
  }
}

TEST_F(ItemTest, TogglesPutTheirLabelBesideTheFrameAndButtonsOnIt) {
  MyItem check(5, 10, 10, u"Label", ItemCheckBox, 0);
  ASSERT_NE(check.label(), nullptr);
  EXPECT_EQ(check.frameWidth(), ToggleFrameWidth);
  EXPECT_EQ(check.label()->bounds.left, ToggleFrameWidth + MyItem::LabelGap);
  EXPECT_FALSE(check.label()->isCentered());
  EXPECT_EQ(check.height(), std::max(SkinHeight, static_cast<int>(check.label()->bounds.bottom)));
  EXPECT_EQ(check.identifier(), 5);
  EXPECT_EQ(check.tag(), KindItem);
  EXPECT_EQ(findElement(5, KindItem), &check);
  EXPECT_NE(findElement(-1, KindLabel), nullptr) << "the inner label has no identifier";

  MyItem button(6, 0, 0, u"OK", ItemButton, 0, true);
  EXPECT_EQ(button.width(), ButtonFrameWidth);
  EXPECT_TRUE(button.label()->isCentered());
  EXPECT_EQ(button.label()->width(), ButtonFrameWidth);
  EXPECT_EQ(button.bounds.left, (480 - ButtonFrameWidth) / 2) << "centred on the screen";

  // The label is drawn in the pair of the state.
  button.setColors(ItemColors::Pressed, {RGB(0, 255, 0), 0});
  button.setColors(ItemColors::Disabled, {RGB(0, 0, 255), 0});
  Surface *target = canvas();
  button.setState(2);
  button.paint(target, 0, 0);
  EXPECT_EQ(button.label()->renderedColor(), RGB(0, 255, 0));
  button.setState(5);
  button.paint(target, 0, 0);
  EXPECT_EQ(button.label()->renderedColor(), RGB(0, 0, 255));
  button.setState(0);
  button.paint(target, 0, 0);
  EXPECT_EQ(button.label()->renderedColor(), MyItem::NormalColor);
}

TEST_F(ItemTest, APressShowsThePressedLookAndATapTurnsACheckBoxOver) {
  RecordingHandler handler;
  MyItem item(5, 0, 0, u"Check", ItemCheckBox, 0, false, true);
  Surface *target = canvas();
  item.paint(target, 10, 10);
  EXPECT_EQ(item.getElementAt(5, 15), nullptr);
  EXPECT_EQ(item.getElementAt(10, 15), nullptr) << "the edge is outside";
  ASSERT_EQ(item.getElementAt(15, 15), &item);
  EXPECT_TRUE(item.pressed);
  EXPECT_EQ(item.state(), 2);
  item.paint(target, 10, 10);
  EXPECT_EQ(pixelOf(*target, 12, 12), as565(frameColor(2)));
  item.release();
  EXPECT_EQ(item.state(), 0);
  EXPECT_FALSE(item.pressed);

  item.getElementAt(15, 15);
  item.onClick(false);
  EXPECT_EQ(item.state(), 1);
  EXPECT_TRUE(item.isChecked());
  ASSERT_EQ(handler.events.size(), 1u);
  EXPECT_EQ(handler.events[0].sender, &item);
  EXPECT_EQ(handler.events[0].code, EventTap);
  item.getElementAt(15, 15);
  EXPECT_EQ(item.state(), 3);
  item.onClick(false);
  EXPECT_EQ(item.state(), 0);

  // A hold reports 3 and changes nothing; a disabled item takes no press.
  item.getElementAt(15, 15);
  item.onClick(true);
  EXPECT_EQ(item.state(), 0);
  EXPECT_EQ(handler.events.back().code, EventHold);
  item.setState(5);
  EXPECT_EQ(item.getElementAt(15, 15), nullptr);
  EXPECT_TRUE(item.isChecked());
  EventHandler::setMainHandler(nullptr);
}

TEST_F(ItemTest, ALabelThatGrowsMakesTheItemAndItsOwnerGrow) {
  Holder holder;
  auto *item = new MyItem(5, 0, 0, u"Grows", ItemCheckBox, 0, false, true);
  item->owner = &holder;
  item->label()->setFont(FontChoice::Small);
  const int before = item->height();
  holder.resizes.clear();
  item->label()->setFont(FontChoice::Large);
  ASSERT_GT(item->label()->height(), SkinHeight);
  EXPECT_EQ(item->height(), item->label()->bounds.bottom);
  EXPECT_GT(item->height(), before);
  ASSERT_EQ(holder.resizes.size(), 1u);
  EXPECT_EQ(holder.resizes[0].height, item->height() - before);
  item->owner = nullptr;
  delete item;
}

class PictureBoxTest : public WidgetDevice {};

TEST_F(PictureBoxTest, ShowsOneFrameRepeatedOrStretchedAndClipped) {
  putStrip("strip.png", 3, 10, 8);
  MyPictureBox box(u"\\strip.png", 4, 6, true);
  EXPECT_EQ(box.identifier(), -1);
  EXPECT_EQ(box.tag(), KindPictureBox);
  EXPECT_EQ(box.width(), 30);
  EXPECT_EQ(box.height(), 8);
  EXPECT_EQ(box.frameCount(), 1);
  box.setFrameWidth(10);
  EXPECT_EQ(box.frameCount(), 3);

  // One frame, 1:1: the element is still the whole strip wide, so the frame repeats.
  box.setFrame(1);
  Surface *target = canvas(100, 40);
  box.paint(target, 0, 0);
  for (int x : {4, 13, 14, 23, 24, 33})
    EXPECT_EQ(pixelOf(*target, x, 6), as565(frameColor(1))) << x;
  EXPECT_EQ(pixelOf(*target, 34, 6), as565(CanvasColor));
  EXPECT_EQ(pixelOf(*target, 4, 14), as565(CanvasColor));

  // Stretched to 40 x 16: the frame fills it.
  box.resize(0, 40, 16);
  box.setStretch(true);
  box.setFrame(2);
  Surface *stretched = canvas(100, 40);
  box.paint(stretched, 0, 0);
  EXPECT_EQ(pixelOf(*stretched, 4, 6), as565(frameColor(2)));
  EXPECT_EQ(pixelOf(*stretched, 43, 21), as565(frameColor(2)));
  EXPECT_EQ(pixelOf(*stretched, 44, 21), as565(CanvasColor));
  EXPECT_EQ(pixelOf(*stretched, 43, 22), as565(CanvasColor));

  // Clipped to the dirty rectangle, with the cut amounts kept.
  Surface *clipped = canvas(100, 40);
  display().dirty = RECT{20, 10, 100, 40};
  box.paint(clipped, 0, 0);
  EXPECT_EQ(box.clipLeft(), 16);
  EXPECT_EQ(box.clipTop(), 4);
  EXPECT_EQ(pixelOf(*clipped, 19, 12), as565(CanvasColor));
  EXPECT_EQ(pixelOf(*clipped, 20, 12), as565(frameColor(2)));

  // Frames beyond the strip show its last one; a hidden box draws nothing.
  display().dirty = RECT{0, 0, 100, 40};
  box.setStretch(false);
  box.resize(0, 10, 8);
  box.setFrame(9);
  Surface *last = canvas(100, 40);
  box.paint(last, 0, 0);
  EXPECT_EQ(pixelOf(*last, 5, 7), as565(frameColor(2)));
  box.setVisible(false);
  Surface *hidden = canvas(100, 40);
  box.paint(hidden, 0, 0);
  EXPECT_EQ(pixelOf(*hidden, 5, 7), as565(CanvasColor));
  EXPECT_EQ(box.getElementAt(8, 10), nullptr);
}

TEST_F(PictureBoxTest, TakesAPictureOwnedOrNotAndSurvivesAMissingFile) {
  MyPictureBox missing(u"\\nothing.png", 0, 0, true);
  // A missing file draws as the blank placeholder (4 x 4) outside an icon's construction.
  Surface *target = canvas(20, 20);
  missing.paint(target, 0, 0);
  EXPECT_LE(missing.width(), 4);

  Surface *picture = canvas(12, 5, 16, RGB(0, 255, 0));
  canvases_.pop_back(); // the box takes it
  {
    MyPictureBox owning(picture, true, 0, 0, true);
    EXPECT_EQ(owning.width(), 12);
    EXPECT_EQ(owning.height(), 5);
    EXPECT_TRUE(owning.ownsPicture());
  }
  Surface *kept = canvas(12, 5, 16, RGB(0, 255, 0));
  { MyPictureBox borrowing(kept, false, 0, 0, true); }
  EXPECT_NE(kept->dc, nullptr) << "a borrowed picture stays with its owner";
}

} // namespace
