#include <menu/folder_view.h>

#include <menu/item_metadata_reader.h>
#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>

#include "path_text.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// Gives each item without a slot the lowest slot below `keyCount` that no item holds.
void giveFreeSlots(std::vector<ShownItem> &stored, std::vector<ShownItem> &unplaced,
                   std::size_t keyCount) {
  std::vector<bool> taken(keyCount, false);
  for (const auto &item : stored) {
    const auto slot = static_cast<std::size_t>(item.metadata.position);
    if (slot < keyCount)
      taken[slot] = true;
  }
  std::size_t next = 0;
  for (auto &item : unplaced) {
    while (next < keyCount && taken[next])
      ++next;
    item.metadata.position = static_cast<int>(next);
    if (next < keyCount)
      taken[next] = true;
    RegistryKey::open(HKEY_LOCAL_MACHINE, item.keyPath, KEY_ALL_ACCESS)
        .writeNumber(MetadataTree::ItemPosition, static_cast<DWORD>(next));
    stored.push_back(std::move(item));
  }
  unplaced.clear();
}

} // namespace

FolderView FolderView::load(std::u16string_view folder, const MenuFolders &folders) {
  FolderView view;
  view.folder_ = MenuFolders::normalizeFolder(folder);
  const auto folderKeyPath = MetadataTree::keyOf(view.folder_);
  const auto folderKey = RegistryKey::open(HKEY_LOCAL_MACHINE, folderKeyPath);
  const auto entries = folderKey.subkeyNames();
  view.keyCount_ = entries.size();

  const ItemMetadataReader reader(folders);
  // One walk of the directory tells which item files still exist (the Settings tree has none).
  std::optional<FolderListing> listing;
  if (!entries.empty() && !MenuFolders::isSettingsTree(view.folder_))
    listing = FolderListing::read(folders.directoryOf(view.folder_));
  std::vector<ShownItem> stored;
  std::vector<ShownItem> unplaced;
  for (const auto &entry : entries) {
    ShownItem item;
    item.entry = entry;
    item.path = folders.root + view.folder_ + entry;
    if (MetadataTree::isFolderIcon(item.path))
      continue;
    item.keyPath = folderKeyPath + entry;
    item.metadata = reader.read(item.path, listing ? &*listing : nullptr);
    if (item.metadata.position == ItemMetadata::Dead) {
      RegistryKey::open(HKEY_LOCAL_MACHINE, item.keyPath, KEY_ALL_ACCESS)
          .writeNumber(MetadataTree::FalseLink, 1);
    } else if (item.metadata.position == ItemMetadata::NoSlot) {
      unplaced.push_back(std::move(item));
    } else if (item.metadata.position >= 0) {
      stored.push_back(std::move(item));
    }
  }
  giveFreeSlots(stored, unplaced, view.keyCount_);

  std::stable_sort(stored.begin(), stored.end(), [](const ShownItem &a, const ShownItem &b) {
    return a.metadata.position < b.metadata.position;
  });
  for (std::size_t cell = 0; cell < stored.size(); ++cell) {
    stored[cell].cell = cell;
    view.cellOfEntry_.emplace(pathtext::lower(stored[cell].entry), cell);
  }
  view.items_ = std::move(stored);
  return view;
}

const ShownItem *FolderView::find(std::u16string_view entry) const {
  const auto found = cellOfEntry_.find(pathtext::lower(entry));
  return found == cellOfEntry_.end() ? nullptr : &items_[found->second];
}

std::size_t FolderView::nextSlot() const {
  std::size_t next = items_.size();
  for (const auto &item : items_) {
    if (item.metadata.position >= 0)
      next = std::max(next, static_cast<std::size_t>(item.metadata.position) + 1);
  }
  return next;
}

ShownItem *FolderView::findShown(std::u16string_view entry) {
  return const_cast<ShownItem *>(std::as_const(*this).find(entry));
}

std::optional<FolderView::Placement> FolderView::add(const LoadedItem &item) {
  if (!ce::equalsIgnoreCase(MenuFolders::normalizeFolder(item.folder), folder_))
    return std::nullopt;
  if (auto *shown = findShown(item.entry)) {
    if (!item.metadata.isShown())
      return std::nullopt;
    const int position = shown->metadata.position;
    shown->metadata = item.metadata;
    shown->metadata.position = position;
    return Placement{shown->cell, false};
  }
  if (item.metadata.position < 0)
    return std::nullopt;
  ShownItem shown;
  shown.entry = item.entry;
  shown.path = item.path;
  shown.keyPath = MetadataTree::keyOf(folder_) + item.entry;
  shown.metadata = item.metadata;
  shown.cell = items_.size();
  cellOfEntry_.emplace(pathtext::lower(shown.entry), shown.cell);
  items_.push_back(std::move(shown));
  return Placement{items_.back().cell, true};
}
