// The programs panel over folders of any size: only the rows in view get tiles, every tile
// stands in its own cell for its own item, taps find the tile under the stylus, and tiles are
// reused for the same item and made again for a new geometry.
#include "menu_device.h"

#include <menu/folder_view.h>
#include <menu/screen/programs_panel.h>

#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/widget_fonts.h>

#include <set>

namespace {

class ProgramsPanelTest : public MenuDevice {
protected:
  static constexpr int ViewHeight = 552;

  void SetUp() override {
    MenuDevice::SetUp();
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"Vireta", u"\\Program Files\\Vireta\\Vireta.exe"));
    display().client = display().view = display().dirty = RECT{0, 0, 480, ViewHeight};
    const DDSURFACEDESC description = describeSurface(480, 640, 16);
    ASSERT_EQ(createSurf(&description, &canvas_), S_OK);
    grid_.layout(480, 1.0, 80, 4, 1.4);
    folders_ = folders();
  }
  void TearDown() override {
    ElementRegistry::destroyAll();
    MyIcon::releaseSharedPicture();
    WidgetFonts::release();
    deleteSurf(&canvas_);
    GlobalInformations::replaceInstance(nullptr);
    MenuDevice::TearDown();
  }
  static DisplayState &display() { return GlobalInformations::getInstance()->display(); }

  static std::u16string nameOf(std::size_t slot) {
    return u"Item " + ce::toUtf16(std::to_string(slot));
  }
  // A folder of `count` items in slots 0, 1, 2, ..., as the loader hands them over.
  FolderView bigFolder(std::size_t count) const {
    FolderView view = FolderView::load(u"Big", folders_);
    for (std::size_t slot = 0; slot < count; ++slot) {
      LoadedItem item;
      item.folder = u"Big\\";
      item.entry = nameOf(slot) + u".lnk";
      item.path = folders_.root + item.folder + item.entry;
      item.metadata.name = nameOf(slot);
      item.metadata.target = u"\\Windows\\app.exe";
      item.metadata.position = static_cast<int>(slot);
      item.isNew = true;
      EXPECT_TRUE(view.add(item));
    }
    return view;
  }
  // Draws the panel with the grid's top scrolled `scrolled` pixels up; returns the panel's top.
  int paintScrolled(ProgramsPanel &panel, long long scrolled) {
    const int top = static_cast<int>(-scrolled);
    panel.paint(canvas_, 0, top);
    return top;
  }
  // The tiles whose tops are in view hold their own cell's item, each once.
  void expectTilesInTheirCells(const ProgramsPanel &panel) {
    const auto [first, last] = panel.cellsBetween(0, ViewHeight);
    ASSERT_LT(first, last);
    std::set<std::u16string> names;
    int checked = 0;
    for (std::size_t cell = first; cell < last; ++cell) {
      const int top = panel.gridOrigin().y + grid_.cellOf(static_cast<long long>(cell)).y;
      if (top < 0 || top >= ViewHeight)
        continue;
      ++checked;
      const MyIcon *tile = panel.tileOfCell(cell);
      ASSERT_NE(tile, nullptr) << cell;
      EXPECT_EQ(static_cast<std::size_t>(tile->slot()), cell);
      EXPECT_EQ(tile->name(), nameOf(cell));
      EXPECT_TRUE(names.insert(tile->name()).second) << "shown twice: " << cell;
      const GridCell at = grid_.cellOf(static_cast<long long>(cell));
      EXPECT_EQ(tile->bounds.left, at.x);
      EXPECT_EQ(tile->bounds.top, at.y);
    }
    EXPECT_GE(checked, 4);
  }

  Surface *canvas_ = nullptr;
  GridGeometry grid_;
  MenuFolders folders_;
};

class LargeFolderPanel : public ProgramsPanelTest,
                         public ::testing::WithParamInterface<std::size_t> {};

TEST_P(LargeFolderPanel, EveryItemIsShownInItsCellWhereverTheGridIsScrolled) {
  const std::size_t count = GetParam();
  ProgramsPanel panel(u"Programs:");
  panel.show(bigFolder(count), grid_, folders_, TileStyle{});
  ASSERT_EQ(panel.itemCount(), count);
  const std::size_t rows = (count + 3) / 4;
  EXPECT_EQ(panel.gridHeight(), grid_.cellOf(static_cast<long long>(rows * 4)).y);
  EXPECT_EQ(panel.height(), panel.headerHeight() + panel.gridHeight());

  // The top: tiles for the rows in view only.
  paintScrolled(panel, 0);
  expectTilesInTheirCells(panel);
  EXPECT_LE(panel.tileCount(), 24u);
  EXPECT_EQ(panel.tileOfCell(40), nullptr) << "a row far below was never drawn";

  // Scrolled through the folder, to its very end: each view shows its own items, and tiles that
  // went out of view are destroyed once more than a few screens' worth are kept.
  const long long end = panel.headerHeight() + panel.gridHeight() - ViewHeight;
  for (long long scrolled : {end / 7, end / 3, end / 2, end - 5000, end}) {
    paintScrolled(panel, scrolled);
    expectTilesInTheirCells(panel);
    const auto [first, last] = panel.cellsBetween(0, ViewHeight);
    EXPECT_LE(panel.tileCount(), std::max(ProgramsPanel::MinimumKeptTiles,
                                          ProgramsPanel::KeptScreens * (last - first)));
  }
  const MyIcon *last = panel.tileOfCell(count - 1);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(static_cast<std::size_t>(last->slot()), count - 1) << "no slot wraps at 16 bits";

  // A tap on the last item's picture finds its tile, and only there.
  const POINT origin = panel.gridOrigin();
  const GridCell cell = grid_.cellOf(static_cast<long long>(count - 1));
  const int x = origin.x + cell.x + grid_.iconWidth() / 2;
  const int y = origin.y + cell.y + grid_.iconWidth() / 2;
  Element *hit = panel.getElementAt(x, y);
  EXPECT_EQ(hit, last);
  if (hit)
    hit->release();
  EXPECT_EQ(panel.getElementAt(x + grid_.iconWidth(), y), nullptr) << "no icon beyond the last";
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeFolderPanel, ::testing::Values(65535u, 100000u));

TEST_F(ProgramsPanelTest, TheSameItemKeepsItsTileAndANewGeometryMakesTilesAgain) {
  ProgramsPanel panel(u"Programs:");
  panel.show(bigFolder(8), grid_, folders_, TileStyle{});
  paintScrolled(panel, 0);
  MyIcon *third = panel.tileOfCell(2);
  ASSERT_NE(third, nullptr);

  // Emptied and shown again, its items take their tiles back.
  panel.clear();
  EXPECT_EQ(panel.itemCount(), 0u);
  EXPECT_EQ(panel.height(), panel.headerHeight());
  EXPECT_EQ(panel.tileCount(), 8u) << "the tiles stay for reuse";
  panel.show(bigFolder(8), grid_, folders_, TileStyle{});
  paintScrolled(panel, 0);
  EXPECT_EQ(panel.tileOfCell(2), third);
  expectTilesInTheirCells(panel);

  // Wider icons: every tile is made again at the new size.
  GridGeometry wider;
  wider.layout(480, 1.0, 100, 4, 1.4);
  panel.setGeometry(wider);
  EXPECT_EQ(panel.tileCount(), 0u);
  EXPECT_FALSE(ElementRegistry::contains(third));
  paintScrolled(panel, 0);
  ASSERT_NE(panel.tileOfCell(2), nullptr);
  EXPECT_EQ(panel.tileOfCell(2)->width(), 100);
}

TEST_F(ProgramsPanelTest, AnItemTheLoaderFindsTakesTheNextCellAndTheGridGrows) {
  ProgramsPanel panel(u"Programs:");
  panel.show(bigFolder(4), grid_, folders_, TileStyle{});
  const int before = panel.height();
  LoadedItem item;
  item.folder = u"Big\\";
  item.entry = u"New.lnk";
  item.path = folders_.root + item.folder + item.entry;
  item.metadata.name = u"New";
  item.metadata.target = u"\\Windows\\app.exe";
  item.metadata.position = 9; // a slot after every shown one
  item.isNew = true;
  ASSERT_TRUE(panel.addLoaded(item));
  EXPECT_EQ(panel.itemCount(), 5u);
  EXPECT_GT(panel.height(), before) << "a new row";
  paintScrolled(panel, 0);
  ASSERT_NE(panel.tileOfCell(4), nullptr);
  EXPECT_EQ(panel.tileOfCell(4)->name(), u"New");

  // The same item again, renamed: brought up to date in its cell.
  item.metadata.name = u"Renamed";
  item.isNew = false;
  ASSERT_TRUE(panel.addLoaded(item));
  EXPECT_EQ(panel.itemCount(), 5u);
  ASSERT_NE(panel.tileOfCell(4)->label(), nullptr);
  EXPECT_EQ(panel.tileOfCell(4)->label()->text(), u"Renamed");

  // An item of another folder (a walk the user has left) changes nothing.
  item.folder = u"Other\\";
  item.entry = u"Stray.lnk";
  EXPECT_FALSE(panel.addLoaded(item));
  EXPECT_EQ(panel.itemCount(), 5u);
}

} // namespace
