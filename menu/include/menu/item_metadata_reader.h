// Reads an item's metadata from its key in the metadata tree, deriving what is missing from the
// item's file: the name from the file name, the target from the shortcut (or the file itself
// when it is not a shortcut: a program or a folder), and an applet of the Settings tree gets the
// control-panel host. What was derived is written back to the key unless write-back is off
// (while the quick links and running programs are built); a value that already holds what was
// derived is not written again.
//
// Position codes: a key with `falseLink` is FalseLink (nothing else is read); a key with
// `hidden` is Hidden; an item whose file or program does not exist is Dead (entries of the
// Settings tree have no files and are not checked); otherwise the stored slot, or NoSlot. A
// negative stored position is a move's claim on slot ~position that no rearrangement has resolved
// yet: the item stands at that slot until one does.
#pragma once

#include <menu/folder_listing.h>
#include <menu/item_metadata.h>
#include <menu/menu_folders.h>

#include <atomic>
#include <string_view>

class ItemMetadataReader {
public:
  explicit ItemMetadataReader(const MenuFolders &folders) : folders_(folders) {}

  // `itemFilePath`: the item's device path (root folder + menu folder + entry name).
  // `listing`, when the caller has it: the entries of the item's directory, which then tells
  // whether the item's file exists without asking the file system for it.
  ItemMetadata read(std::u16string_view itemFilePath, const FolderListing *listing = nullptr) const;

  // Process-wide, shared by the display and the loader thread.
  static void setWriteBack(bool on) { writeBack_.store(on); }
  static bool writeBack() { return writeBack_.load(); }

private:
  const MenuFolders &folders_;
  static std::atomic<bool> writeBack_;
};
