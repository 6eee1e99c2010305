#include "menu_device.h"

#include <menu/folder_view.h>

#include <algorithm>
#include <set>

namespace {

class FolderViewTest : public MenuDevice {
protected:
  void SetUp() override {
    MenuDevice::SetUp();
    program("Windows/app.exe");
    folders_ = folders();
  }
  // A shortcut in Programs\<folder> with its complete key at `slot`.
  void placed(const std::string &folder, const std::string &file, int slot) {
    std::string hostFolder = folder;
    std::replace(hostFolder.begin(), hostFolder.end(), '\\', '/');
    programsShortcut(hostFolder + file, "\\Windows\\app.exe");
    const std::u16string relative = ce::toUtf16(folder + file);
    item(relative, ce::toUtf16(file.substr(0, file.find('.'))), u"\\Windows\\app.exe", u"\\i.png",
         slot);
  }
  FolderView load(std::u16string_view folder = u"") { return FolderView::load(folder, folders_); }
  static std::vector<std::u16string> entries(const FolderView &view) {
    std::vector<std::u16string> names;
    for (const auto &shown : view.items())
      names.push_back(shown.entry);
    return names;
  }
  // No two items in one cell, cells numbered from 0 without a hole.
  static void expectOneItemPerCell(const FolderView &view) {
    std::set<std::size_t> cells;
    for (const auto &shown : view.items())
      EXPECT_TRUE(cells.insert(shown.cell).second) << ce::toUtf8(shown.entry);
    if (!cells.empty()) {
      EXPECT_EQ(*cells.begin(), 0u);
      EXPECT_EQ(*cells.rbegin(), cells.size() - 1);
    }
  }

  MenuFolders folders_;
};

TEST_F(FolderViewTest, StoredSlotsWithGapsAreShownInConsecutiveCells) {
  placed("", "C.lnk", 7);
  placed("", "A.lnk", 0);
  placed("", "B.lnk", 2);
  const auto view = load();
  EXPECT_EQ(entries(view), (std::vector<std::u16string>{u"A.lnk", u"B.lnk", u"C.lnk"}));
  for (std::size_t cell = 0; cell < 3; ++cell)
    EXPECT_EQ(view.items()[cell].cell, cell);
  // The stored numbering keeps its gaps until a compaction.
  EXPECT_EQ(position(u"A.lnk"), 0);
  EXPECT_EQ(position(u"B.lnk"), 2);
  EXPECT_EQ(position(u"C.lnk"), 7);
  EXPECT_EQ(view.items()[2].metadata.name, u"C");
  EXPECT_EQ(view.items()[2].path, u"\\windows\\start menu\\programs\\C.lnk");
  EXPECT_EQ(view.items()[2].keyPath, key(u"C.lnk"));
}

TEST_F(FolderViewTest, ItemsWithoutASlotTakeTheLowestFreeOneAndNeverCoverAnother) {
  placed("", "A.lnk", 0);
  placed("", "B.lnk", 2);
  placed("", "C.lnk", 3);
  programsShortcut("New.lnk", "\\Windows\\app.exe");
  setString(key(u"New.lnk"), u"name", u"New");
  programsShortcut("Newer.lnk", "\\Windows\\app.exe");
  setString(key(u"Newer.lnk"), u"name", u"Newer");

  const auto view = load();
  EXPECT_EQ(position(u"New.lnk"), 1);
  EXPECT_EQ(position(u"Newer.lnk"), 4);
  EXPECT_EQ(entries(view),
            (std::vector<std::u16string>{u"A.lnk", u"New.lnk", u"B.lnk", u"C.lnk", u"Newer.lnk"}));
  expectOneItemPerCell(view);
  // The next showing puts everything where it was.
  EXPECT_EQ(entries(load()), entries(view));
}

TEST_F(FolderViewTest, SlotsBeyondTheFolderSizeMarkNothing) {
  placed("", "Far.lnk", 9);
  programsShortcut("New.lnk", "\\Windows\\app.exe");
  setString(key(u"New.lnk"), u"name", u"New");
  const auto view = load();
  EXPECT_EQ(view.keyCount(), 2u);
  EXPECT_EQ(position(u"New.lnk"), 0);
  EXPECT_EQ(entries(view), (std::vector<std::u16string>{u"New.lnk", u"Far.lnk"}));
  expectOneItemPerCell(view);
}

TEST_F(FolderViewTest, CollidingSlotsShowEveryItemOnceInKeyOrder) {
  placed("", "First.lnk", 3);
  placed("", "Second.lnk", 3);
  placed("", "Third.lnk", 1);
  placed("", "Fourth.lnk", 3);
  const auto view = load();
  EXPECT_EQ(entries(view), (std::vector<std::u16string>{u"Third.lnk", u"First.lnk", u"Second.lnk",
                                                        u"Fourth.lnk"}));
  expectOneItemPerCell(view);
}

TEST_F(FolderViewTest, SlotsOfSixteenBitsAndMoreKeepTheirOrder) {
  placed("", "D.lnk", 131072);
  placed("", "C.lnk", 65536);
  placed("", "B.lnk", 65535);
  placed("", "A.lnk", 3);
  EXPECT_EQ(entries(load()), (std::vector<std::u16string>{u"A.lnk", u"B.lnk", u"C.lnk", u"D.lnk"}));
}

TEST_F(FolderViewTest, ADeletedShortcutIsMarkedAndNeverShownAgain) {
  placed("", "A.lnk", 0);
  placed("", "Gone.lnk", 1);
  placed("", "B.lnk", 2);
  remove("Windows/Start Menu/Programs/Gone.lnk");

  const auto view = load();
  EXPECT_EQ(entries(view), (std::vector<std::u16string>{u"A.lnk", u"B.lnk"}));
  expectOneItemPerCell(view);
  ASSERT_TRUE(has(key(u"Gone.lnk"), u"falseLink"));
  EXPECT_EQ(query(key(u"Gone.lnk"), u"falseLink")->type, REG_DWORD);
  // The key stays, with what it held.
  EXPECT_EQ(text(key(u"Gone.lnk"), u"name"), u"Gone");
  EXPECT_EQ(entries(load()), entries(view));
}

TEST_F(FolderViewTest, HiddenItemsAreLeftOutAndKeepTheirSlot) {
  placed("", "A.lnk", 0);
  placed("", "Secret.lnk", 1);
  placed("", "B.lnk", 2);
  setDword(key(u"Secret.lnk"), u"hidden", 1);
  programsShortcut("New.lnk", "\\Windows\\app.exe");
  setString(key(u"New.lnk"), u"name", u"New");

  const auto view = load();
  EXPECT_EQ(view.keyCount(), 4u);
  EXPECT_EQ(view.find(u"secret.lnk"), nullptr);
  EXPECT_EQ(position(u"Secret.lnk"), 1);
  EXPECT_FALSE(has(key(u"Secret.lnk"), u"falseLink"));
  EXPECT_EQ(entries(view), (std::vector<std::u16string>{u"A.lnk", u"New.lnk", u"B.lnk"}));
  expectOneItemPerCell(view);
}

TEST_F(FolderViewTest, FolderIconsAreNeverItems) {
  placed("Games\\", "Chess.lnk", 0);
  placed("Games\\", "icon.lnk", 1);
  placed("", "Icon.lnk", 0);
  placed("", "Lexicon.lnk", 2); // an ordinary name that ends like a folder icon
  std::filesystem::create_directories(root_ / "fs/Windows/Start Menu/Programs/Games");
  setDword(key(u"Games"), u"ItemPosition", 1);

  const auto top = load();
  EXPECT_EQ(entries(top), (std::vector<std::u16string>{u"Games", u"Lexicon.lnk"}));
  EXPECT_TRUE(top.items()[0].metadata.folder);
  const auto games = load(u"\\Games");
  EXPECT_EQ(games.folder(), u"Games\\");
  EXPECT_EQ(entries(games), (std::vector<std::u16string>{u"Chess.lnk"}));
  EXPECT_EQ(games.items()[0].path, u"\\windows\\start menu\\programs\\Games\\Chess.lnk");
}

TEST_F(FolderViewTest, TheSettingsTreeIsShownFromItsKeysAlone) {
  put("Windows/Start Menu/Settings/icon.lnk", "1#x");
  folders_ = folders();
  item(u"Settings\\Personal\\owner.cpl", u"Owner", u"\\windows\\ctlpnl.exe owner.cpl", u"", 0);
  item(u"Settings\\Personal\\cplmain.cpl,2", u"Sounds", u"\\windows\\ctlpnl.exe cplmain.cpl,2", u"",
       1);
  const auto view = load(u"Settings\\Personal\\");
  EXPECT_EQ(entries(view), (std::vector<std::u16string>{u"owner.cpl", u"cplmain.cpl,2"}));
  EXPECT_FALSE(has(key(u"Settings\\Personal\\owner.cpl"), u"falseLink"));
}

TEST_F(FolderViewTest, AnEmptyOrMissingFolderShowsNothing) {
  EXPECT_TRUE(load(u"Nowhere").items().empty());
  EXPECT_EQ(load(u"Nowhere").keyCount(), 0u);
  EXPECT_TRUE(load().items().empty());
}

TEST_F(FolderViewTest, TheLoaderAddsNewItemsAfterTheShownOnesAndUpdatesKnownOnes) {
  placed("Games\\", "Chess.lnk", 0);
  placed("Games\\", "Go.lnk", 5);
  auto view = load(u"Games");

  LoadedItem fresh;
  fresh.folder = u"games\\";
  fresh.entry = u"Poker.lnk";
  fresh.path = u"\\windows\\start menu\\programs\\games\\Poker.lnk";
  fresh.metadata.name = u"Poker";
  fresh.metadata.position = 2;
  fresh.isNew = true;
  const auto added = view.add(fresh);
  ASSERT_TRUE(added);
  EXPECT_TRUE(added->added);
  EXPECT_EQ(added->cell, 2u);
  EXPECT_EQ(view.find(u"poker.lnk")->keyPath, key(u"Games\\Poker.lnk"));

  // The same item again (a second walk) stays where it is, and so does a known one.
  const auto again = view.add(fresh);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->added);
  EXPECT_EQ(again->cell, 2u);
  LoadedItem renamed = fresh;
  renamed.entry = u"go.LNK";
  renamed.metadata.name = u"Go!";
  renamed.metadata.position = 5;
  const auto updated = view.add(renamed);
  ASSERT_TRUE(updated);
  EXPECT_EQ(updated->cell, 1u);
  EXPECT_EQ(view.find(u"Go.lnk")->metadata.name, u"Go!");
  EXPECT_EQ(view.find(u"Go.lnk")->metadata.position, 5);
  EXPECT_EQ(view.items().size(), 3u);

  // Items of a folder the user left, and items that are not shown, change nothing.
  LoadedItem elsewhere = fresh;
  elsewhere.folder = u"";
  elsewhere.entry = u"Other.lnk";
  EXPECT_FALSE(view.add(elsewhere));
  LoadedItem hidden = fresh;
  hidden.entry = u"Hidden.lnk";
  hidden.metadata.position = ItemMetadata::Hidden;
  EXPECT_FALSE(view.add(hidden));
  EXPECT_EQ(view.items().size(), 3u);
  expectOneItemPerCell(view);
}

} // namespace
