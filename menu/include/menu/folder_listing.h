// The entries of one directory, read with a single walk, so that a folder of many items learns
// which of its files exist without asking the file system once per item. Names are compared
// without regard to case, as the device's file system compares them.
#pragma once

#include <ce/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

class FolderListing {
public:
  // Lists `directory` (a device path, with or without its trailing "\"). A directory that does
  // not exist lists nothing; one that cannot be listed for another reason gives a listing that
  // knows nothing (see `known`).
  static FolderListing read(std::u16string_view directory);

  // Whether the walk succeeded: only then does the listing answer for the directory.
  bool known() const { return known_; }
  // The attributes of the entry `name`, or nothing when the directory holds no such entry.
  std::optional<DWORD> attributesOf(std::u16string_view name) const;
  std::size_t size() const { return entries_.size(); }

private:
  bool known_ = false;
  std::unordered_map<std::u16string, DWORD> entries_; // by name in lower case
};
