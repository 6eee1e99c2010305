// An item that the loader thread found or brought up to date, handed to the UI thread with a
// thread message; the UI thread owns it from then on.
#pragma once

#include <menu/item_metadata.h>

#include <ce/types.h>

#include <memory>
#include <string>

struct LoadedItem {
  std::u16string folder; // the menu folder of the walk, as the request named it (normalised)
  std::u16string entry;  // the file's name in the folder
  std::u16string path;   // the file's device path
  ItemMetadata metadata; // for a new item, `position` is the slot it was given
  bool isNew = false;    // it had no slot before this walk

  // Takes ownership of the record a loader message carries (null gives null).
  static std::unique_ptr<LoadedItem> adopt(LPARAM parameter) {
    return std::unique_ptr<LoadedItem>(reinterpret_cast<LoadedItem *>(parameter));
  }
};
