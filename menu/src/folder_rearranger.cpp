#include <menu/folder_rearranger.h>

#include <menu/menu_folders.h>
#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>

#include "path_text.h"

#include <algorithm>
#include <numeric>

namespace {

// The slot a record stands at: its position, or the slot its claim names.
long long slotOf(const ItemRecord &record) {
  return record.position >= 0 ? record.position : ~record.position;
}

std::vector<std::size_t> identity(std::size_t count) {
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  return order;
}

} // namespace

std::vector<ItemRecord> FolderRearranger::readRecords(std::u16string_view folder, bool unhide) {
  const auto folderKeyPath = MetadataTree::keyOf(MenuFolders::normalizeFolder(folder));
  const auto folderKey = RegistryKey::create(HKEY_LOCAL_MACHINE, folderKeyPath);
  std::vector<ItemRecord> records;
  for (const auto &entry : folderKey.subkeyNames()) {
    const auto keyPath = folderKeyPath + entry;
    const auto key = RegistryKey::open(HKEY_LOCAL_MACHINE, keyPath, KEY_ALL_ACCESS);
    if (unhide)
      key.deleteValue(MetadataTree::Hidden);
    if (key.hasValue(MetadataTree::FalseLink) || key.hasValue(MetadataTree::Hidden))
      continue;
    ItemRecord record;
    record.entry = entry;
    record.keyPath = keyPath;
    const auto position = key.readInt(MetadataTree::ItemPosition);
    record.position = position.value_or(0);
    record.positionStored = position.has_value();
    // Read as the display reads them, so that a name the grid shows sorts as shown.
    record.name = key.readText(MetadataTree::Name, RegistryKey::DisplayTextBytes).value_or(u"");
    record.target = key.readText(MetadataTree::Target, RegistryKey::DisplayTextBytes).value_or(u"");
    record.folder = key.subkeyCount() > 0;
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<std::size_t> FolderRearranger::compactOrder(const std::vector<ItemRecord> &records) {
  auto bySlot = identity(records.size());
  std::stable_sort(bySlot.begin(), bySlot.end(), [&](std::size_t a, std::size_t b) {
    return slotOf(records[a]) < slotOf(records[b]);
  });
  std::vector<std::size_t> order;
  order.reserve(records.size());
  for (std::size_t first = 0; first < bySlot.size();) {
    const auto slot = slotOf(records[bySlot[first]]);
    const auto groupStart = order.size();
    std::size_t next = first;
    for (; next < bySlot.size() && slotOf(records[bySlot[next]]) == slot; ++next) {
      order.push_back(bySlot[next]);
      if (records[bySlot[next]].position < 0)
        std::swap(order[groupStart], order.back());
    }
    first = next;
  }
  return order;
}

std::vector<std::size_t>
FolderRearranger::alphabeticalOrder(const std::vector<ItemRecord> &records) {
  std::vector<std::u16string> lowered;
  lowered.reserve(records.size());
  for (const auto &record : records)
    lowered.push_back(pathtext::lower(record.name));
  auto order = identity(records.size());
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (records[a].folder != records[b].folder)
      return records[a].folder;
    return lowered[a] < lowered[b];
  });
  return order;
}

std::vector<ItemRecord> FolderRearranger::rearrange(std::u16string_view folder, bool unhide,
                                                    ArrangeMode mode) {
  auto records = readRecords(folder, unhide);
  const auto order =
      mode == ArrangeMode::Compact ? compactOrder(records) : alphabeticalOrder(records);
  std::vector<ItemRecord> arranged;
  arranged.reserve(records.size());
  for (std::size_t slot = 0; slot < order.size(); ++slot) {
    auto &record = records[order[slot]];
    if (!record.positionStored || record.position != static_cast<long long>(slot)) {
      RegistryKey::open(HKEY_LOCAL_MACHINE, record.keyPath, KEY_ALL_ACCESS)
          .writeNumber(MetadataTree::ItemPosition, static_cast<DWORD>(slot));
    }
    record.position = static_cast<long long>(slot);
    record.positionStored = true;
    arranged.push_back(std::move(record));
  }
  return arranged;
}

long long FolderRearranger::moveClaim(std::size_t moved, std::size_t target) {
  const auto slot = static_cast<long long>(moved > target ? target : target + 1);
  return ~slot;
}

long long FolderRearranger::storeMoveClaim(std::u16string_view itemKeyPath, std::size_t moved,
                                           std::size_t target) {
  const auto claim = moveClaim(moved, target);
  RegistryKey::open(HKEY_LOCAL_MACHINE, itemKeyPath, KEY_ALL_ACCESS)
      .writeNumber(MetadataTree::ItemPosition, static_cast<DWORD>(static_cast<int>(claim)));
  return claim;
}
