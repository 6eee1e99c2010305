// A menu as a value: its items with their flags, ids, texts and submenus. The menu table keeps
// live menus (HMENU) as their own objects; a tree is what a popup tracks, what the codec writes
// for another process and what a soft-key bar keeps of the menu it was made from.
#pragma once

#include <ce/menus.h>

#include <memory>
#include <string>
#include <vector>

namespace ce {

struct MenuTree {
  struct Item {
    UINT flags = MF_STRING; // MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_DISABLED, MF_CHECKED
    UINT id = 0;            // the command id; 0 for separators and submenus
    std::u16string text;
    std::shared_ptr<const MenuTree> submenu; // with MF_POPUP; null when the submenu was gone

    bool isSeparator() const { return (flags & MF_SEPARATOR) != 0; }
    bool isPopup() const { return (flags & MF_POPUP) != 0; }
    bool isEnabled() const { return (flags & (MF_GRAYED | MF_DISABLED)) == 0; }
    // A command that can be chosen.
    bool isChoosable() const { return !isSeparator() && !isPopup() && isEnabled(); }
    bool operator==(const Item &other) const;
  };

  bool popup = true; // CreatePopupMenu, rather than CreateMenu
  std::vector<Item> items;

  bool operator==(const MenuTree &other) const;
};

} // namespace ce
