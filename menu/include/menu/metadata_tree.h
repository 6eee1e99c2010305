// The registry tree that mirrors the menu's folders: one key per folder and item below
// HKEY_LOCAL_MACHINE "Security\Shell\StartInfo\Start\", named by the item's path relative to the
// root folder.
#pragma once

#include <string>
#include <string_view>

namespace MetadataTree {

inline constexpr std::u16string_view StartKey = u"Security\\Shell\\StartInfo\\Start\\";
inline constexpr std::u16string_view SettingsKey = u"Security\\Shell\\StartInfo\\Start\\Settings\\";

// Value names of an item key (compared by the registry without regard to case).
inline constexpr std::u16string_view Name = u"name";
inline constexpr std::u16string_view Icon = u"Icon";
inline constexpr std::u16string_view Target = u"target";
inline constexpr std::u16string_view ItemPosition = u"ItemPosition";
inline constexpr std::u16string_view Hidden = u"hidden";
inline constexpr std::u16string_view FalseLink = u"falseLink";
// The Settings folder's name as found on the device, under SettingsKey.
inline constexpr std::u16string_view SettingsName = u"Name";

// A file by this name is its folder's icon and never an item.
inline constexpr std::u16string_view FolderIconFile = u"icon.lnk";

// Whether a name, a file path or a key path names a folder icon or something below one: one of
// its components is "icon.lnk" (in any case). A name that merely ends in it ("Lexicon.lnk") is
// an ordinary item.
bool isFolderIcon(std::u16string_view path);

inline std::u16string keyOf(std::u16string_view relativePath) {
  return std::u16string(StartKey) + std::u16string(relativePath);
}

} // namespace MetadataTree
