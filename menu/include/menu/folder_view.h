// A folder of the menu as the grid shows it, worked out from the metadata tree alone (the file
// walk comes later, on the loader thread):
// - every item key of the folder is read; dead items are marked `falseLink`, hidden and
//   false ones are left out;
// - items without a slot get the lowest slots that no item of the folder holds, written back as
//   their `ItemPosition`;
// - the items are shown in consecutive cells in the order of their slots (equal slots in key
//   order), so the grid has no gaps while the stored numbering keeps them until a compaction.
//   Every shown item has a cell of its own: none is hidden under another or shown twice.
#pragma once

#include <menu/item_metadata.h>
#include <menu/loaded_item.h>
#include <menu/menu_folders.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct ShownItem {
  std::u16string entry;   // the item's name in its folder (its key name)
  std::u16string path;    // the item's device path (root folder + folder + entry)
  std::u16string keyPath; // its key in the metadata tree
  ItemMetadata metadata;  // `position` is the stored slot (or the one just given)
  std::size_t cell = 0;   // where it is shown: its index in the grid
};

class FolderView {
public:
  // What adding an item of the loader did.
  struct Placement {
    std::size_t cell = 0;
    bool added = false; // a new cell; false: an item already shown was brought up to date
  };

  // Reads and lays out the menu folder `folder` (relative to the root folder; normalised).
  static FolderView load(std::u16string_view folder, const MenuFolders &folders);

  const std::u16string &folder() const { return folder_; }
  // In cell order.
  const std::vector<ShownItem> &items() const { return items_; }
  // Item keys of the folder, hidden and false ones included.
  std::size_t keyCount() const { return keyCount_; }
  const ShownItem *find(std::u16string_view entry) const;
  // The slot a new item takes so that it is shown after every shown item, now and at the next
  // showing: the number of shown items when the stored slots have no gaps (as after any
  // compaction), else one past the highest stored slot.
  std::size_t nextSlot() const;

  // An item the loader found: an item already shown is brought up to date in its cell, a new
  // one takes the next cell. Items of another folder (a walk that the user left) and items
  // that are not shown give nothing.
  std::optional<Placement> add(const LoadedItem &item);

private:
  ShownItem *findShown(std::u16string_view entry);

  std::u16string folder_;
  std::vector<ShownItem> items_;
  std::unordered_map<std::u16string, std::size_t> cellOfEntry_; // entry in lower case
  std::size_t keyCount_ = 0;
};
