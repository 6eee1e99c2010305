// The parts of the dialogs that are plain arithmetic and file listing: the file chooser's
// extension list, its way up, its sorted folder listing and its tile grid; the message box's
// measures and placement.
#include "toolkit_test_support.h"

#include <toolkit/dialog/explorer_grid.h>
#include <toolkit/dialog/explorer_listing.h>
#include <toolkit/dialog/message_box_layout.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Strings = std::vector<std::u16string>;

TEST(ExplorerListingTest, ExtensionListsSplitAtBarsAndMatchAsciiLettersInAnyCase) {
  const Strings images = ExplorerListing::splitExtensions(u".jpg|.png|.gif|.bmp");
  EXPECT_EQ(images, (Strings{u".jpg", u".png", u".gif", u".bmp"}));
  EXPECT_TRUE(ExplorerListing::accepts(u"Holiday.JPG", images));
  EXPECT_TRUE(ExplorerListing::accepts(u"a.Png", images));
  EXPECT_FALSE(ExplorerListing::accepts(u"notes.txt", images));
  EXPECT_FALSE(ExplorerListing::accepts(u"jpg", images)) << "the dot belongs to the extension";
  EXPECT_FALSE(ExplorerListing::accepts(u"photo.jpg.lnk", images));
  // Only ASCII letters fold: a Greek capital is not its small letter.
  EXPECT_FALSE(ExplorerListing::accepts(u"x.\u0391", Strings{u".\u03b1"}));
  EXPECT_TRUE(ExplorerListing::accepts(u"x.\u03b1", Strings{u".\u03b1"}));

  // Empty pieces are no extension; a list of none accepts everything.
  EXPECT_EQ(ExplorerListing::splitExtensions(u"|.a||.b|"), (Strings{u".a", u".b"}));
  EXPECT_TRUE(ExplorerListing::splitExtensions(u"").empty());
  EXPECT_TRUE(ExplorerListing::splitExtensions(u"||").empty());
  EXPECT_TRUE(ExplorerListing::accepts(u"anything", {}));
}

TEST(ExplorerListingTest, TheWayUpLeadsToTheFolderAboveOrTheRoot) {
  EXPECT_EQ(ExplorerListing::parentOf(u"\\My Documents\\Pictures\\"), u"\\My Documents");
  EXPECT_EQ(ExplorerListing::parentOf(u"\\My Documents\\Pictures"), u"\\My Documents");
  EXPECT_EQ(ExplorerListing::parentOf(u"\\My Documents\\"), u"\\");
  EXPECT_EQ(ExplorerListing::parentOf(u"\\My Documents"), u"\\");
  EXPECT_EQ(ExplorerListing::parentOf(u"\\a\\"), u"\\");
  // The root, and anything of one character, has no way up.
  EXPECT_EQ(ExplorerListing::parentOf(u"\\"), u"");
  EXPECT_EQ(ExplorerListing::parentOf(u""), u"");
  // A path without any backslash goes up to the root.
  EXPECT_EQ(ExplorerListing::parentOf(u"Temp"), u"\\");

  EXPECT_EQ(ExplorerListing::asFolder(u"\\Temp"), u"\\Temp\\");
  EXPECT_EQ(ExplorerListing::asFolder(u"\\Temp\\"), u"\\Temp\\");
  EXPECT_EQ(ExplorerListing::asFolder(u""), u"\\");
}

class ExplorerFolderTest : public toolkit_test::ToolkitDevice {};

TEST_F(ExplorerFolderTest, AFolderListsItsFoldersAndAcceptedFilesSortedByFullPath) {
  put("Pics/b.png", "x");
  put("Pics/A.JPG", "x");
  put("Pics/a.gif", "x");
  put("Pics/readme.txt", "x");
  put("Pics/Zoo/inside.png", "x");
  put("Pics/album/inside.png", "x");
  put("Pics/Album.old.png/inside.png", "x"); // a folder whose name ends like a picture

  const auto images = ExplorerListing::splitExtensions(u".jpg|.png|.gif|.bmp");
  const ExplorerFolderContents contents = ExplorerListing::list(u"\\Pics\\", images, false);
  EXPECT_EQ(contents.parent, u"\\");
  // Ordinal order: capitals before small letters.
  EXPECT_EQ(contents.folders,
            (Strings{u"\\Pics\\Album.old.png", u"\\Pics\\Zoo", u"\\Pics\\album"}));
  EXPECT_EQ(contents.files, (Strings{u"\\Pics\\A.JPG", u"\\Pics\\a.gif", u"\\Pics\\b.png"}));

  const ExplorerFolderContents foldersOnly = ExplorerListing::list(u"\\Pics\\", images, true);
  EXPECT_EQ(foldersOnly.folders, contents.folders);
  EXPECT_TRUE(foldersOnly.files.empty());

  const ExplorerFolderContents everything = ExplorerListing::list(u"\\Pics\\", {}, false);
  EXPECT_EQ(everything.files.size(), 4u);

  const ExplorerFolderContents missing = ExplorerListing::list(u"\\Nowhere\\", images, false);
  EXPECT_EQ(missing.parent, u"\\");
  EXPECT_TRUE(missing.folders.empty());
  EXPECT_TRUE(missing.files.empty());

  const ExplorerFolderContents root = ExplorerListing::list(u"\\", images, false);
  EXPECT_EQ(root.parent, u"") << "the root has no way up";
  EXPECT_EQ(root.folders, (Strings{u"\\Pics"}));
}

TEST(ExplorerGridTest, TheModeIsTheNumberOfTilesOfAFullLine) {
  for (const double scale : {1.0, 0.5}) {
    const int width = static_cast<int>(480 * scale);
    for (int mode = 2; mode <= 8; ++mode) {
      const ExplorerGrid grid = ExplorerGrid::forMode(mode, scale);
      EXPECT_EQ(grid.tileWidth, static_cast<int>(480.0 / mode * scale - 10)) << mode;
      EXPECT_EQ(grid.gap, 10);
      EXPECT_EQ(grid.tilesPerLine(width), mode) << "mode " << mode << " at scale " << scale;
      // The line is centred and stays on the screen.
      const int last = grid.leftOf(mode - 1, width) + grid.tileWidth;
      EXPECT_GE(grid.firstLeft(width), 0);
      EXPECT_LE(last, width);
      EXPECT_LE(std::abs(grid.firstLeft(width) - (width - last)), 1);
    }
  }
  const ExplorerGrid small = ExplorerGrid::forMode(1, 0.5);
  EXPECT_EQ(small.tileWidth, 64);
  EXPECT_EQ(small.gap, 15);
  EXPECT_EQ(small.tilesPerLine(480), 6);
  // Modes below 1 would divide by nothing: they are the small tiles too.
  EXPECT_EQ(ExplorerGrid::forMode(0, 1.0).tileWidth, 64);
  EXPECT_EQ(ExplorerGrid::forMode(-3, 1.0).tileWidth, 64);
  // A turned screen takes more tiles per line; a line never holds less than one.
  EXPECT_EQ(ExplorerGrid::forMode(4, 1.0).tilesPerLine(640), 5);
  EXPECT_EQ(ExplorerGrid::forMode(2, 1.0).tilesPerLine(100), 1);
  EXPECT_GE(ExplorerGrid::forMode(1000, 1.0).tileWidth, 1);
}

MessageBoxMeasures question() {
  MessageBoxMeasures measures;
  measures.imageWidth = 440;
  measures.imageHeight = 180;
  measures.titleHeight = 20;
  measures.textHeight = 36;
  measures.buttonCount = 2;
  measures.buttonWidth = 190;
  measures.buttonHeight = 64;
  return measures;
}

bool inside(const RECT &inner, const RECT &outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(MessageBoxLayoutTest, TheBoxIsTwoThirdsOfItsPictureAndItsPartsCentredOnTheScreen) {
  const MessageBoxMeasures measures = question();
  EXPECT_EQ(MessageBoxLayout::margin(440), 8);
  EXPECT_EQ(MessageBoxLayout::textWidth(440), 424);
  EXPECT_EQ(MessageBoxLayout::boxHeight(measures), 120 + 64 + 20 + 36 + 10);

  const RECT client{0, 0, 480, 640};
  const MessageBoxLayout layout = MessageBoxLayout::place(measures, client, 0, 640);
  EXPECT_EQ(layout.box.left, 20);
  EXPECT_EQ(layout.box.right, 460);
  EXPECT_EQ(layout.box.bottom - layout.box.top, 250);
  EXPECT_EQ(layout.box.top, (640 - 250 - 10) / 2);
  EXPECT_EQ(layout.title.left, 28);
  EXPECT_EQ(layout.title.right, 452);
  EXPECT_LT(layout.title.bottom, layout.text.top + 1);
  EXPECT_EQ(layout.text.bottom - layout.text.top, 36);
  // Two buttons share the width evenly, below the message, inside the box.
  ASSERT_EQ(layout.buttonCount, 2);
  EXPECT_GT(layout.buttons[0].top, layout.text.bottom);
  EXPECT_EQ(layout.buttons[0].left - layout.box.left, 20);
  EXPECT_EQ(layout.buttons[1].left - layout.buttons[0].right, 20);
  EXPECT_EQ(layout.box.right - layout.buttons[1].right, 20);
  for (const RECT &part : {layout.title, layout.text, layout.buttons[0], layout.buttons[1]})
    EXPECT_TRUE(inside(part, layout.box));

  // One button is centred; a view top lower down moves the box down by it.
  MessageBoxMeasures single = measures;
  single.buttonCount = 1;
  const MessageBoxLayout one = MessageBoxLayout::place(single, RECT{0, 52, 480, 640}, 52, 640);
  ASSERT_EQ(one.buttonCount, 1);
  EXPECT_EQ(one.buttons[0].left - one.box.left, one.box.right - one.buttons[0].right);
  EXPECT_EQ(one.box.top, 52 + (588 - 250 - 10) / 2);

  // Without buttons nothing is placed for them.
  MessageBoxMeasures none = measures;
  none.buttonCount = 0;
  none.buttonHeight = 0;
  EXPECT_EQ(MessageBoxLayout::place(none, client, 0, 640).buttonCount, 0);
  EXPECT_EQ(MessageBoxLayout::boxHeight(none), 120 + 20 + 36 + 10);
}

TEST(MessageBoxLayoutTest, AnInputBoxHasItsFieldAboveTheButtonsAndKeepsClearOfTheInputPanel) {
  MessageBoxMeasures measures = question();
  measures.hasField = true;
  measures.fieldWidth = 400;
  measures.fieldHeight = 64;
  EXPECT_EQ(MessageBoxLayout::boxHeight(measures), 250 + 64 + 10);

  // Turned screen: centred, the box would reach below the panel's top at 320.
  measures.textHeight = 20;
  const RECT client{0, 0, 640, 480};
  const MessageBoxLayout layout = MessageBoxLayout::place(measures, client, 0, 320);
  EXPECT_EQ(layout.box.bottom, 320);
  EXPECT_EQ(layout.field.left - layout.box.left, 20);
  EXPECT_GT(layout.field.top, layout.text.bottom);
  EXPECT_GT(layout.buttons[0].top, layout.field.bottom);
  EXPECT_LE(layout.buttons[0].bottom, layout.box.bottom);

  // Never above the view's top, even when the panel leaves too little room.
  const MessageBoxLayout cramped = MessageBoxLayout::place(measures, client, 0, 200);
  EXPECT_EQ(cramped.box.top, 0);
  EXPECT_EQ(cramped.text.bottom - cramped.text.top, 20) << "the message is cut for the screen only";
}

TEST(MessageBoxLayoutTest, AMessageTooLongForTheScreenIsCutSoThatTheButtonsShow) {
  MessageBoxMeasures measures = question();
  measures.textHeight = 5000;
  const RECT client{0, 0, 240, 320};
  measures.imageWidth = 220;
  measures.imageHeight = 90;
  measures.buttonWidth = 95;
  measures.buttonHeight = 32;
  const MessageBoxLayout layout = MessageBoxLayout::place(measures, client, 0, 320);
  EXPECT_EQ(layout.box.top, 0);
  EXPECT_LE(layout.box.bottom, 320);
  EXPECT_LE(layout.buttons[1].bottom, 320);
  EXPECT_GT(layout.text.bottom - layout.text.top, 150);
}

} // namespace
