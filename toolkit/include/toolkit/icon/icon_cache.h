// The icon cache: icons extracted from program files, saved once as PNG files in the resource
// folder of the installation, with their path written back into the entry's metadata (its
// `Icon` value) so that later starts load the PNG directly.
#pragma once

#include <string>
#include <string_view>

// What the cache needs to know about a Start menu entry.
struct IconCacheEntry {
  std::u16string itemPath;    // the entry's file
  std::u16string displayPath; // relative to the Start menu root, e.g. "Office\Notes.lnk"
  std::u16string target;      // what launching it runs
  bool folder = false;
};

class IconCache {
public:
  // Where the entries' metadata keys live, under HKEY_LOCAL_MACHINE.
  static constexpr std::u16string_view MetadataRoot = u"security\\shell\\startinfo\\start\\";

  // `baseDirectory`: the installation directory (a final "\" is added when missing).
  explicit IconCache(std::u16string baseDirectory);

  const std::u16string &baseDirectory() const { return baseDirectory_; }
  // base + "resources\dossier.png": the picture of folders without their own icon.
  std::u16string folderImagePath() const;
  // base + "resources\noIcones.png": the picture of entries without any icon.
  std::u16string noIconImagePath() const;

  // The display path without a final "icon.lnk" (a folder's own icon stands for the folder).
  static std::u16string entryPath(std::u16string_view displayPath);
  // The entry's metadata key below HKEY_LOCAL_MACHINE: MetadataRoot + entryPath.
  static std::u16string entryKeyPath(std::u16string_view displayPath);

  // The first of base + "resources\" + name + ".png", then name + "1.png", name + "2.png", ...
  // that names no existing file, where name is the last component of the entry's path.
  std::u16string freeCacheFileName(std::u16string_view displayPath) const;

  // Extracts the entry's icon (extractItemIcon), saves it under freeCacheFileName and writes
  // that path as the entry's `Icon` value (REG_SZ). Returns the path of the picture the entry
  // shows: the saved file, or, when there is no icon or it cannot be saved (nothing is written
  // then), the folder picture for a folder and the no-icon picture otherwise.
  std::u16string cacheItemIcon(const IconCacheEntry &entry) const;

private:
  std::u16string baseDirectory_;
};
