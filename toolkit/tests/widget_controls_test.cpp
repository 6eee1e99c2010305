// Edit fields, selectors and icon tiles on a device without a running host: what they draw, how
// they lay themselves out, what a press and a tap do to them, and how a tile gets its picture
// through the process's icon loader.
#include "test_elements.h"
#include "widget_test_support.h"

#include <ce/testing/eventually.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/my_selector.h>

#include <chrono>
#include <thread>

namespace {

using namespace toolkit_test;

using ce::testing::eventually;

// The thread messages (0x400, wParam, lParam) waiting for this thread, taken from its queue.
std::vector<std::pair<WPARAM, LPARAM>> takeToolkitMessages() {
  std::vector<std::pair<WPARAM, LPARAM>> taken;
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE))
    if (!msg.hwnd)
      taken.emplace_back(msg.wParam, msg.lParam);
  return taken;
}

class EditFieldTest : public WidgetDevice {};

TEST_F(EditFieldTest, TheFieldIsDrawnInThreePiecesWithItsTextCutToIt) {
  MyEditControl field(12, 10, 20, 100, u"", true, true);
  EXPECT_EQ(field.tag(), KindEditControl);
  EXPECT_EQ(field.height(), 30) << "the field picture's height";
  EXPECT_EQ(MyEditControl::pieceWidth(), InputPieceWidth);
  Surface *target = canvas();
  field.paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 10, 20), as565(frameColor(0)));
  EXPECT_EQ(pixelOf(*target, 17, 49), as565(frameColor(0)));
  EXPECT_EQ(pixelOf(*target, 18, 20), as565(frameColor(1)));
  EXPECT_EQ(pixelOf(*target, 101, 20), as565(frameColor(1)));
  EXPECT_EQ(pixelOf(*target, 102, 20), as565(frameColor(2)));
  EXPECT_EQ(pixelOf(*target, 109, 49), as565(frameColor(2)));
  EXPECT_EQ(pixelOf(*target, 110, 20), as565(CanvasColor));
  EXPECT_EQ(pixelOf(*target, 10, 50), as565(CanvasColor));

  // A text longer than the field stays between its ends.
  field.setText(u"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", false);
  EXPECT_EQ(field.text(), u"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
  EXPECT_EQ(field.label()->bounds.left, InputPieceWidth);
  EXPECT_EQ(field.label()->bounds.right, 100 - InputPieceWidth);
  Surface *written = canvas();
  field.paint(written, 0, 0);
  for (int y = 20; y < 50; ++y) {
    EXPECT_EQ(pixelOf(*written, 103, y), as565(frameColor(2))) << y;
    EXPECT_EQ(pixelOf(*written, 112, y), as565(CanvasColor)) << y;
  }
  EXPECT_TRUE(anyPixelOtherThan(*written, RECT{18, 20, 102, 50}, as565(frameColor(1))));
}

TEST_F(EditFieldTest, WithoutAMainWindowATapOnlyReportsItself) {
  RecordingHandler handler;
  MyEditControl field(12, 0, 0, 200, u"text", true, true);
  Surface *target = canvas();
  field.paint(target, 0, 0);
  ASSERT_EQ(field.getElementAt(50, 10), &field);
  EXPECT_EQ(field.getElementAt(0, 10), nullptr);
  EXPECT_EQ(field.onClick(false), 0);
  EXPECT_EQ(field.phase(), MyEditControl::Phase::Idle);
  ASSERT_EQ(handler.events.size(), 1u);
  EXPECT_EQ(handler.events[0].code, EventTap);
  field.release();
  EXPECT_TRUE(takeToolkitMessages().empty());
  EventHandler::setMainHandler(nullptr);
}

class SelectorTest : public WidgetDevice {};

TEST_F(SelectorTest, ATapOpensTheListAndAChoiceClosesItAndIsReported) {
  RecordingHandler handler;
  takeToolkitMessages();
  Holder holder;
  auto *selector = new MySelector(10, 0, 0, u"Choose", true);
  selector->owner = &holder;
  selector->addEntry(u"English");
  selector->addEntry(u"Deutsch");
  selector->addEntry(u"Français");
  EXPECT_EQ(selector->tag(), KindSelector);
  EXPECT_EQ(selector->selection(), -1);
  EXPECT_EQ(selector->choiceLabel()->text(), u"Choose");
  EXPECT_EQ(selector->width(), ComboWidth);
  EXPECT_EQ(selector->height(), 30);

  Surface *target = canvas();
  selector->paint(target, 0, 100);
  EXPECT_EQ(pixelOf(*target, 1, 101), as565(frameColor(0)));
  // The header pressed, then tapped: the list opens below it and the owner grows with it.
  ASSERT_EQ(selector->getElementAt(100, 110), selector);
  EXPECT_EQ(selector->headerFrame(), 2);
  selector->onClick(false);
  EXPECT_TRUE(selector->isOpen());
  EXPECT_EQ(selector->height(), 30 + 3 * ListHeight);
  ASSERT_EQ(holder.resizes.size(), 1u);
  EXPECT_EQ(holder.resizes[0].height, 3 * ListHeight);
  Surface *open = canvas();
  selector->paint(open, 0, 100);
  EXPECT_EQ(pixelOf(*open, 1, 101), as565(frameColor(3)));
  EXPECT_EQ(pixelOf(*open, 1, 131), as565(frameColor(0)));
  EXPECT_EQ(pixelOf(*open, 1, 151), as565(frameColor(0)));
  EXPECT_EQ(pixelOf(*open, 1, 171), as565(thirdStateColor(0))) << "the last entry's own strip";
  EXPECT_EQ(pixelOf(*open, 1, 191), as565(CanvasColor));

  EXPECT_EQ(selector->partAt(100, 110), MySelector::HeaderPart);
  EXPECT_EQ(selector->partAt(100, 135), 0);
  EXPECT_EQ(selector->partAt(100, 175), 2);
  EXPECT_EQ(selector->partAt(100, 195), MySelector::NoPart);
  EXPECT_EQ(selector->partAt(ComboWidth, 135), MySelector::NoPart);

  // The second entry pressed shows pressed, then tapped becomes the choice.
  ASSERT_EQ(selector->getElementAt(100, 155), selector);
  EXPECT_EQ(selector->entryFrame(1), 2);
  selector->onClick(false);
  EXPECT_FALSE(selector->isOpen());
  EXPECT_EQ(selector->selection(), 1);
  EXPECT_EQ(selector->choiceLabel()->text(), u"Deutsch");
  EXPECT_EQ(selector->height(), 30);
  EXPECT_EQ(holder.resizes.back().height, -3 * ListHeight);
  auto messages = takeToolkitMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, static_cast<WPARAM>(EventValueChanged));
  EXPECT_EQ(messages[0].second, reinterpret_cast<LPARAM>(selector));
  EXPECT_EQ(handler.events.size(), 2u) << "each tap is reported as a tap too";

  // The same choice again is no change; the selected entry shows selected in the list.
  selector->paint(target, 0, 100);
  selector->getElementAt(100, 110);
  selector->onClick(false);
  selector->paint(target, 0, 100);
  EXPECT_EQ(selector->entryFrame(1), 3);
  selector->getElementAt(100, 155);
  selector->onClick(false);
  EXPECT_TRUE(takeToolkitMessages().empty());

  // Choices are set without a report; out of range means none.
  selector->setSelection(7);
  EXPECT_EQ(selector->selection(), -1);
  EXPECT_EQ(selector->choiceLabel()->text(), u"Choose");
  EXPECT_TRUE(takeToolkitMessages().empty());
  selector->owner = nullptr;
  delete selector;
  EventHandler::setMainHandler(nullptr);
}

TEST_F(SelectorTest, MovesRightOnALandscapeScreenUnlessItWouldReachTheEdge) {
  MySelector selector(10, 30, 0, u"Choose", true);
  Surface *target = canvas(640, 480);
  selector.paint(target, 0, 0);
  EXPECT_EQ(selector.bounds.left, 30);
  useScreen(640, 480);
  selector.paint(target, 0, 0);
  EXPECT_EQ(selector.bounds.left, 30 + 80);
  selector.paint(target, 0, 0);
  EXPECT_EQ(selector.bounds.left, 30 + 80) << "moved once";
  useScreen(480, 640);
  selector.paint(target, 0, 0);
  EXPECT_EQ(selector.bounds.left, 30);

  MySelector wide(11, 400, 0, u"Edge", true);
  useScreen(640, 480);
  wide.paint(target, 0, 0);
  EXPECT_EQ(wide.bounds.left, 400) << "400 + 200 + 80 reaches the edge";
}

class IconTileTest : public WidgetDevice {
protected:
  void SetUp() override {
    WidgetDevice::SetUp();
    putPng("icons/app.png", 64, 64, 0xFF2080C0);
    IconLoader::process().configure(IconLoaderSettings{u"", true, 100});
  }
  MyIcon *tile(MyIconEntry entry, int x = 40, int y = 100, int width = 80) {
    return new MyIcon(3, x, y, width, std::move(entry));
  }
  static MyIconEntry entry(std::u16string name, std::u16string icon = u"\\icons\\app.png") {
    MyIconEntry made;
    made.name = std::move(name);
    made.iconPath = std::move(icon);
    made.itemPath = u"\\Windows\\Start Menu\\Programs\\App.lnk";
    made.displayPath = u"App.lnk";
    made.target = u"\\Windows\\app.exe";
    return made;
  }
  static const COLORREF PictureColor = RGB(0x20, 0x80, 0xC0);
};

TEST_F(IconTileTest, ATileWithAPictureFileFetchesItWhenFirstDrawn) {
  MyIcon *icon = tile(entry(u"App"));
  EXPECT_EQ(icon->tag(), KindIcon);
  EXPECT_TRUE(icon->pictureMissing());
  EXPECT_FALSE(icon->requestPending()) << "the picture file exists: nothing asked yet";
  EXPECT_EQ(IconLoader::process().settings().baseDirectory, u"\\Program Files\\WidgetTest\\");
  Surface *target = canvas();
  {
    // The loader waits for the picture section: the request stays pending while it is held.
    CriticalSectionLock hold(IconLoader::process().pictureSection());
    icon->paint(target, 0, 0);
    EXPECT_TRUE(icon->requestPending());
  }
  ASSERT_TRUE(eventually([&] { return !icon->pictureMissing(); }));
  EXPECT_FALSE(icon->requestPending());
  EXPECT_EQ(icon->pictureSize().cx, 80) << "loaded at the tile's width";
  EXPECT_EQ(icon->pictureSize().cy, 80);

  icon->paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 40, 100), as565(RGB(0x20, 0x80, 0xC0)));
  EXPECT_EQ(pixelOf(*target, 119, 179), as565(RGB(0x20, 0x80, 0xC0)));
  EXPECT_EQ(pixelOf(*target, 120, 150), as565(CanvasColor));
  // The name under the picture, centred over the picture and a little more.
  ASSERT_NE(icon->label(), nullptr);
  EXPECT_EQ(icon->label()->text(), u"App");
  EXPECT_TRUE(icon->label()->isCentered());
  EXPECT_EQ(icon->label()->screenRect.left, 30);
  EXPECT_EQ(icon->label()->screenRect.top, 182);
  EXPECT_EQ(icon->label()->renderedColor(), MyIcon::labelColor());
  EXPECT_EQ(icon->height(), 82 + icon->label()->height());
}

TEST_F(IconTileTest, APressShrinksThePictureAndReleaseRestoresIt) {
  MyIcon *icon = tile(entry(u"App"));
  Surface *target = canvas();
  icon->paint(target, 0, 0);
  ASSERT_TRUE(eventually([&] { return !icon->pictureMissing(); }));
  EXPECT_EQ(icon->getElementAt(40, 150), nullptr) << "the edge is outside";
  ASSERT_EQ(icon->getElementAt(41, 101), icon);
  EXPECT_TRUE(icon->pressed);
  EXPECT_EQ(icon->pictureSize().cx, 70);
  Surface *pressed = canvas();
  icon->paint(pressed, 0, 0);
  EXPECT_EQ(pixelOf(*pressed, 44, 104), as565(CanvasColor));
  EXPECT_EQ(pixelOf(*pressed, 45, 105), as565(PictureColor));
  EXPECT_EQ(pixelOf(*pressed, 114, 174), as565(PictureColor));
  EXPECT_EQ(pixelOf(*pressed, 115, 175), as565(CanvasColor));
  icon->release();
  EXPECT_FALSE(icon->pressed);
  EXPECT_EQ(icon->pictureSize().cx, 80);
}

TEST_F(IconTileTest, LabelsShowTwentyTwoCharactersWholeAndCutLongerNames) {
  MyIcon *whole = tile(entry(u"Twenty-two characters!"));
  EXPECT_EQ(whole->label()->text(), u"Twenty-two characters!");
  MyIcon *cut = tile(entry(u"Twenty-three characters"));
  EXPECT_EQ(cut->label()->text(), u"Twenty-three charact...");
  MyIconEntry hidden = entry(u"No label");
  hidden.showLabel = false;
  MyIcon *bare = tile(hidden);
  EXPECT_EQ(bare->label(), nullptr);
  EXPECT_EQ(bare->height(), 80);
  // In list mode the name stands beside the picture.
  MyIconEntry listed = entry(u"Listed");
  listed.gridMode = false;
  MyIcon *row = tile(listed, 0, 0, 40);
  EXPECT_EQ(row->label()->bounds.left, 40 + MyIcon::LabelOverhang);
  EXPECT_FALSE(row->label()->isCentered());
  EXPECT_GT(row->width(), 40);
}

TEST_F(IconTileTest, FolderTilesShareTheFolderPictureAndOthersFallBackToTheNoIconPicture) {
  MyIconEntry folder = entry(u"Games", u"");
  folder.folder = true;
  folder.itemPath = u"\\Windows\\Start Menu\\Programs\\Games";
  folder.displayPath = u"Games";
  folder.target = u"";
  MyIcon *first = tile(folder);
  MyIcon *second = tile(folder);
  EXPECT_TRUE(first->sharesFolderPicture());
  EXPECT_TRUE(second->sharesFolderPicture());
  EXPECT_FALSE(first->pictureMissing());
  ASSERT_NE(MyIcon::sharedFolderPicture(), nullptr);
  EXPECT_EQ(first->pictureSize().cx, 80);
  Surface *target = canvas();
  second->paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 60, 120), as565(FolderColor));
  delete first; // the shared picture stays for the other
  second->paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 60, 120), as565(FolderColor));

  // An entry without picture file whose program has no icon gets the no-icon picture.
  MyIcon *plain = tile(entry(u"Plain", u""));
  ASSERT_TRUE(eventually([&] { return !plain->pictureMissing(); }));
  EXPECT_EQ(plain->iconPath(), u"\\Program Files\\WidgetTest\\resources\\noIcones.png");
  plain->paint(target, 200, 0);
  EXPECT_EQ(pixelOf(*target, 260, 120), as565(NoIconColor));
}

TEST_F(IconTileTest, ATapWorksOutTheShortcutsCommandAndReportsItself) {
  RecordingHandler handler;
  put("Windows/Start Menu/Programs/App.lnk", "38#\"\\Program Files\\App\\app.exe\" -start");
  MyIcon::setShowRunAnimations(false);
  MyIcon *icon = tile(entry(u"App"));
  Surface *target = canvas();
  icon->paint(target, 0, 0);
  icon->getElementAt(60, 120);
  EXPECT_EQ(icon->onClick(false), 1);
  EXPECT_FALSE(icon->pressed);
  EXPECT_EQ(icon->launchCommand(), (LaunchCommand{u"\\Program Files\\App\\app.exe", u"-start"}));
  ASSERT_EQ(handler.events.size(), 1u);
  EXPECT_EQ(handler.events[0].sender, icon);
  EXPECT_EQ(handler.events[0].code, EventTap);

  // An unreadable shortcut runs the entry's file; an entry that is no shortcut runs its target.
  MyIconEntry broken = entry(u"Broken");
  broken.itemPath = u"\\Windows\\Start Menu\\Programs\\Gone.lnk";
  MyIcon *gone = tile(broken);
  gone->onClick(false);
  EXPECT_EQ(gone->launchCommand(),
            (LaunchCommand{u"\\Windows\\Start Menu\\Programs\\Gone.lnk", u""}));
  MyIconEntry applet = entry(u"Applet");
  applet.itemPath = u"\\Windows\\system.cpl";
  applet.target = u"\\windows\\ctlpnl.exe \\Windows\\system.cpl,2";
  MyIcon *panel = tile(applet);
  panel->onClick(true);
  EXPECT_EQ(handler.events.back().code, EventHold);
  EXPECT_TRUE(panel->launchCommand().program.empty()) << "a hold starts nothing";
  panel->onClick(false);
  EXPECT_EQ(panel->launchCommand(),
            (LaunchCommand{u"\\windows\\ctlpnl.exe", u"\\Windows\\system.cpl,2"}));
  MyIcon::setShowRunAnimations(true);
  EventHandler::setMainHandler(nullptr);
}

TEST_F(IconTileTest, ANewPictureFileReplacesThePictureAndDeadTilesAreLeftAlone) {
  MyIcon *icon = tile(entry(u"App"));
  Surface *target = canvas();
  icon->paint(target, 0, 0);
  ASSERT_TRUE(eventually([&] { return !icon->pictureMissing(); }));
  putPng("icons/other.png", 32, 32, 0xFF00FF00);
  icon->setImage(u"\\icons\\other.png");
  EXPECT_TRUE(icon->pictureMissing());
  icon->paint(target, 0, 0);
  ASSERT_TRUE(eventually([&] { return !icon->pictureMissing(); }));
  icon->paint(target, 0, 0);
  EXPECT_EQ(pixelOf(*target, 60, 120), as565(RGB(0, 255, 0)));

  // A tile destroyed while its request waits is never touched by the loader.
  for (int i = 0; i < 20; ++i) {
    MyIcon *doomed = tile(entry(u"Doomed"));
    doomed->paint(target, 0, 0);
    delete doomed;
  }
  EXPECT_TRUE(
      icon->isSameEntry(u"\\WINDOWS\\Start Menu\\Programs\\app.lnk", u"\\windows\\APP.exe"));
  EXPECT_FALSE(icon->isSameEntry(u"\\Windows\\Start Menu\\Programs\\App.lnk", u"\\other.exe"));
  icon->moveTo(200, 300);
  EXPECT_EQ(icon->bounds.left, 200);
  EXPECT_EQ(icon->bounds.top, 300);
  EXPECT_EQ(icon->width(), 80);
}

} // namespace
