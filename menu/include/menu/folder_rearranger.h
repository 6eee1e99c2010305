// Renumbers the slots of a folder: compaction (gaps closed, move claims resolved) and
// alphabetical order. Counts and positions are of full width: a folder of any size keeps every
// item in its place, none wraps onto another.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ItemRecord {
  std::u16string entry;   // the item's key name in its folder
  std::u16string keyPath; // its key in the metadata tree
  std::u16string name;
  std::u16string target;
  bool folder = false; // the key has subkeys
  // The stored `ItemPosition` (0 when missing) before a rearrangement, the new slot after it.
  // A negative stored value is a claim on slot ~position.
  long long position = 0;
  bool positionStored = false;
};

enum class ArrangeMode { Compact, Alphabetical };

class FolderRearranger {
public:
  // Renumbers the menu folder `folder` (relative to the root folder). With `unhide`, `hidden`
  // is first removed from every item of the folder. Items marked `falseLink` or `hidden` take
  // no part. The new slots 0, 1, 2, ... are written as `ItemPosition` (values that already hold
  // them are left as they are). Returns the records in their new order, `position` = new slot.
  static std::vector<ItemRecord> rearrange(std::u16string_view folder, bool unhide,
                                           ArrangeMode mode);

  // The records of a folder as stored, in key order.
  static std::vector<ItemRecord> readRecords(std::u16string_view folder, bool unhide);

  // The new order (indices into `records`). Compaction visits the slots in ascending order;
  // within a slot records keep key order, except that a record claiming the slot goes first and
  // the record that was first moves to the end.
  static std::vector<std::size_t> compactOrder(const std::vector<ItemRecord> &records);
  // Folders first, then the others; each group by name, character by character in lower case,
  // ordinal otherwise; equal names keep key order.
  static std::vector<std::size_t> alphabeticalOrder(const std::vector<ItemRecord> &records);

  // The claim a move writes when the icon in cell `moved` is dropped on the icon in cell
  // `target`: ~target (it lands before the target) when it comes from after it, else
  // ~(target + 1) (it lands right after it).
  static long long moveClaim(std::size_t moved, std::size_t target);
  // Writes the claim as the moved item's `ItemPosition`; returns it.
  static long long storeMoveClaim(std::u16string_view itemKeyPath, std::size_t moved,
                                  std::size_t target);
};
