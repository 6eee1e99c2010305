#include "menu_device.h"

#include <menu/folder_rearranger.h>
#include <menu/folder_view.h>

#include <algorithm>
#include <random>

namespace {

class FolderRearrangerTest : public MenuDevice {
protected:
  void SetUp() override {
    MenuDevice::SetUp();
    program("Windows/app.exe");
    folders_ = folders();
  }
  // An item of the top level stored at `slot`, with its shortcut.
  void placed(const std::u16string &entry, int slot) {
    programsShortcut(ce::toUtf8(entry), "\\Windows\\app.exe");
    item(entry, entry.substr(0, entry.find(u'.')), u"\\Windows\\app.exe", u"\\i.png", slot);
  }
  std::vector<std::u16string> shown() {
    std::vector<std::u16string> names;
    const auto view = FolderView::load(u"", folders_);
    for (const auto &item : view.items())
      names.push_back(item.entry);
    return names;
  }
  static std::vector<std::u16string> names(const std::vector<ItemRecord> &records) {
    std::vector<std::u16string> result;
    for (const auto &record : records)
      result.push_back(record.entry);
    return result;
  }
  // Drops the icon in cell `moved` on the icon in cell `target`, then compacts, as the menu does.
  void move(std::size_t moved, std::size_t target) {
    const auto view = FolderView::load(u"", folders_);
    FolderRearranger::storeMoveClaim(view.items()[moved].keyPath, moved, target);
    FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  }

  MenuFolders folders_;
};

using Names = std::vector<std::u16string>;

TEST_F(FolderRearrangerTest, CompactionClosesTheGapsInSlotOrder) {
  placed(u"C.lnk", 7);
  placed(u"A.lnk", 0);
  placed(u"B.lnk", 2);
  const auto arranged = FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  EXPECT_EQ(names(arranged), (Names{u"A.lnk", u"B.lnk", u"C.lnk"}));
  for (std::size_t slot = 0; slot < arranged.size(); ++slot)
    EXPECT_EQ(arranged[slot].position, static_cast<long long>(slot));
  EXPECT_EQ(position(u"A.lnk"), 0);
  EXPECT_EQ(position(u"B.lnk"), 1);
  EXPECT_EQ(position(u"C.lnk"), 2);
  EXPECT_EQ(arranged[0].name, u"A");
  EXPECT_EQ(arranged[0].target, u"\\Windows\\app.exe");
  EXPECT_EQ(arranged[0].keyPath, key(u"A.lnk"));
}

TEST_F(FolderRearrangerTest, MovingForwardAndBackward) {
  for (const auto *entry : {u"I0.lnk", u"I1.lnk", u"I2.lnk", u"I3.lnk", u"I4.lnk"})
    placed(entry, static_cast<int>(std::u16string_view(entry)[1] - u'0'));

  // The icon in slot 4 dropped on slot 1: it claims slot 1 and lands before its holder.
  const auto view = FolderView::load(u"", folders_);
  EXPECT_EQ(FolderRearranger::storeMoveClaim(view.items()[4].keyPath, 4, 1), -2);
  EXPECT_EQ(position(u"I4.lnk"), -2);
  FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  EXPECT_EQ(shown(), (Names{u"I0.lnk", u"I4.lnk", u"I1.lnk", u"I2.lnk", u"I3.lnk"}));

  // Back again: the icon in slot 1 dropped on slot 4 claims slot 5 and lands after it.
  EXPECT_EQ(FolderRearranger::moveClaim(1, 4), -6);
  move(1, 4);
  EXPECT_EQ(shown(), (Names{u"I0.lnk", u"I1.lnk", u"I2.lnk", u"I3.lnk", u"I4.lnk"}));
  for (int slot = 0; slot < 5; ++slot)
    EXPECT_EQ(position(u"I" + std::u16string(1, static_cast<char16_t>(u'0' + slot)) + u".lnk"),
              slot);

  // Dropping an icon on itself changes nothing.
  move(2, 2);
  EXPECT_EQ(shown(), (Names{u"I0.lnk", u"I1.lnk", u"I2.lnk", u"I3.lnk", u"I4.lnk"}));
}

TEST_F(FolderRearrangerTest, AClaimGoesFirstAndTheFormerFirstMovesToTheEndOfItsSlot) {
  std::vector<ItemRecord> records(4);
  records[0].entry = u"holder";
  records[0].position = 1;
  records[1].entry = u"second";
  records[1].position = 1;
  records[2].entry = u"claim";
  records[2].position = ~1;
  records[3].entry = u"zero";
  records[3].position = 0;
  const auto order = FolderRearranger::compactOrder(records);
  Names ordered;
  for (const auto index : order)
    ordered.push_back(records[index].entry);
  EXPECT_EQ(ordered, (Names{u"zero", u"claim", u"second", u"holder"}));
}

TEST_F(FolderRearrangerTest, SortingPutsFoldersFirstAndIgnoresCase) {
  placed(u"beta.lnk", 0);
  placed(u"Alpha.lnk", 1);
  placed(u"Zed", 2);
  setString(key(u"Zed"), u"name", u"Zed");
  setDword(key(u"Zed\\Inner.lnk"), u"ItemPosition", 0); // a subkey makes it a folder
  std::filesystem::remove(root_ / "fs/Windows/Start Menu/Programs/Zed");
  std::filesystem::create_directories(root_ / "fs/Windows/Start Menu/Programs/Zed");
  setString(key(u"Zed"), u"target", u"\\Windows\\Start Menu\\Programs\\Zed");

  const auto arranged = FolderRearranger::rearrange(u"", false, ArrangeMode::Alphabetical);
  EXPECT_EQ(names(arranged), (Names{u"Zed", u"Alpha.lnk", u"beta.lnk"}));
  EXPECT_TRUE(arranged[0].folder);
  EXPECT_EQ(position(u"Zed"), 0);
  EXPECT_EQ(position(u"Alpha.lnk"), 1);
  EXPECT_EQ(position(u"beta.lnk"), 2);
  EXPECT_EQ(shown(), (Names{u"Zed", u"Alpha.lnk", u"beta.lnk"}));
}

TEST_F(FolderRearrangerTest, LongNamesSortAsTheGridShowsThem) {
  placed(u"B.lnk", 0);
  placed(u"A.lnk", 1);
  setString(key(u"B.lnk"), u"name", u"b" + std::u16string(200, u'x'));
  setString(key(u"A.lnk"), u"name", u"a" + std::u16string(200, u'x'));
  const auto arranged = FolderRearranger::rearrange(u"", false, ArrangeMode::Alphabetical);
  EXPECT_EQ(names(arranged), (Names{u"A.lnk", u"B.lnk"}));
}

TEST_F(FolderRearrangerTest, HiddenAndFalseItemsTakeNoPartUnlessUnhidden) {
  placed(u"A.lnk", 0);
  placed(u"Secret.lnk", 4);
  placed(u"B.lnk", 6);
  placed(u"Gone.lnk", 2);
  setDword(key(u"Secret.lnk"), u"hidden", 1);
  setDword(key(u"Gone.lnk"), u"falseLink", 1);

  auto arranged = FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  EXPECT_EQ(names(arranged), (Names{u"A.lnk", u"B.lnk"}));
  EXPECT_EQ(position(u"Secret.lnk"), 4);
  EXPECT_EQ(position(u"Gone.lnk"), 2);
  EXPECT_EQ(position(u"B.lnk"), 1);

  arranged = FolderRearranger::rearrange(u"", true, ArrangeMode::Compact);
  EXPECT_EQ(names(arranged), (Names{u"A.lnk", u"B.lnk", u"Secret.lnk"}));
  EXPECT_FALSE(has(key(u"Secret.lnk"), u"hidden"));
  EXPECT_TRUE(has(key(u"Gone.lnk"), u"falseLink"));
  EXPECT_EQ(position(u"Secret.lnk"), 2);
}

TEST_F(FolderRearrangerTest, ItemsWithoutAPositionCountAsSlotZero) {
  placed(u"A.lnk", 1);
  programsShortcut("Fresh.lnk", "\\Windows\\app.exe");
  setString(key(u"Fresh.lnk"), u"name", u"Fresh");
  const auto arranged = FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  EXPECT_EQ(names(arranged), (Names{u"Fresh.lnk", u"A.lnk"}));
  EXPECT_EQ(position(u"Fresh.lnk"), 0);
}

TEST_F(FolderRearrangerTest, PositionsBeyondSixteenBitsDoNotWrap) {
  placed(u"D.lnk", 131072);
  placed(u"C.lnk", 65536);
  placed(u"B.lnk", 65535);
  placed(u"A.lnk", 1);
  placed(u"Claim.lnk", ~65536);
  const auto arranged = FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  EXPECT_EQ(names(arranged), (Names{u"A.lnk", u"B.lnk", u"Claim.lnk", u"C.lnk", u"D.lnk"}));
  EXPECT_EQ(position(u"D.lnk"), 4);
}

TEST_F(FolderRearrangerTest, AFolderThatCannotBeReadGivesNoRecords) {
  EXPECT_TRUE(FolderRearranger::rearrange(u"Nowhere\\", false, ArrangeMode::Compact).empty());
  EXPECT_TRUE(FolderRearranger::rearrange(u"Nowhere", true, ArrangeMode::Alphabetical).empty());
}

// Folders far larger than 16-bit counts: every item keeps a place of its own and the order is
// the order of the slots, or of the names.
class LargeFolderOrder : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LargeFolderOrder, CompactionKeepsEveryItemInSlotOrder) {
  const std::size_t count = GetParam();
  std::vector<ItemRecord> records(count);
  std::vector<long long> slots(count);
  for (std::size_t i = 0; i < count; ++i)
    slots[i] = static_cast<long long>(3 * i + 1); // gaps everywhere
  std::shuffle(slots.begin(), slots.end(), std::mt19937(7));
  for (std::size_t i = 0; i < count; ++i)
    records[i].position = slots[i];
  // The last record claims the slot of the record at cell 0.
  const auto smallest = std::min_element(slots.begin(), slots.end()) - slots.begin();
  records.back().position = ~records[static_cast<std::size_t>(smallest)].position;

  const auto order = FolderRearranger::compactOrder(records);
  ASSERT_EQ(order.size(), count);
  EXPECT_EQ(order[0], count - 1);
  std::vector<bool> seen(count, false);
  for (std::size_t cell = 0; cell < count; ++cell) {
    ASSERT_FALSE(seen[order[cell]]) << cell;
    seen[order[cell]] = true;
    if (cell > 1) {
      ASSERT_LT(records[order[cell - 1]].position, records[order[cell]].position) << cell;
    }
  }
}

TEST_P(LargeFolderOrder, SortingKeepsEveryItemInNameOrder) {
  const std::size_t count = GetParam();
  std::vector<ItemRecord> records(count);
  std::mt19937 random(11);
  for (auto &record : records) {
    for (int letter = 0; letter < 6; ++letter) {
      const auto c = static_cast<char16_t>(u'a' + random() % 26);
      record.name += random() % 2 ? c : static_cast<char16_t>(c - 32);
    }
    record.folder = random() % 10 == 0;
  }
  const auto order = FolderRearranger::alphabeticalOrder(records);
  ASSERT_EQ(order.size(), count);
  std::vector<bool> seen(count, false);
  for (std::size_t cell = 0; cell < count; ++cell) {
    ASSERT_FALSE(seen[order[cell]]);
    seen[order[cell]] = true;
    if (cell == 0)
      continue;
    const auto &before = records[order[cell - 1]];
    const auto &after = records[order[cell]];
    ASSERT_GE(before.folder, after.folder) << cell;
    if (before.folder == after.folder) {
      ASSERT_LE(ce::foldCase(before.name), ce::foldCase(after.name)) << cell;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeFolderOrder, ::testing::Values(65535u, 65536u, 100000u));

} // namespace
