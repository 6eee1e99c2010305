// The menus of this process: HMENU values and the items behind them. Every operation takes the
// table's lock, so menus may be made on one thread and tracked on another.
//
// Handles are small numbers (they fit in a UINT) that are never handed out twice while the
// process runs. Submenus are referred to by handle; a menu never becomes its own descendant
// (append refuses it), so walking a menu's tree always ends.
#pragma once

#include "menu_tree.h"

#include <ce/menus.h>

#include <map>
#include <mutex>
#include <optional>
#include <string_view>

namespace ce {

class MenuTable {
public:
  // How deep submenus are followed when a menu is copied out or built from a tree.
  static constexpr int kMaxDepth = 16;

  static MenuTable &instance();

  // Null with ERROR_NOT_ENOUGH_MEMORY when handles have run out.
  HMENU create(bool popup);
  // Destroys the menu and its submenus. Each operation below returns ERROR_SUCCESS or the error
  // for SetLastError.
  DWORD destroy(HMENU menu);
  bool contains(HMENU menu) const;
  DWORD append(HMENU menu, UINT flags, UINT_PTR idNewItem, std::u16string_view text);
  // The previous state is put in *previous.
  DWORD enable(HMENU menu, UINT item, UINT flags, UINT *previous);
  DWORD check(HMENU menu, UINT item, UINT flags, UINT *previous);
  std::optional<int> count(HMENU menu) const;
  std::optional<UINT> itemId(HMENU menu, int position) const;
  std::optional<HMENU> subMenu(HMENU menu, int position) const;

  // A copy of the menu and its submenus (up to kMaxDepth levels; a submenu that is gone
  // becomes a popup item without one). Nothing for a bad handle.
  std::optional<MenuTree> snapshot(HMENU menu) const;
  // Makes live menus from a tree (its submenus become menus of their own); null when handles run
  // out, nothing made then.
  HMENU build(const MenuTree &tree);

private:
  struct Item {
    UINT flags = 0;
    UINT id = 0;
    HMENU submenu = nullptr;
    std::u16string text;
  };
  struct Menu {
    bool popup = true;
    std::vector<Item> items;
  };

  MenuTable() = default;
  Menu *find(HMENU menu);
  const Menu *find(HMENU menu) const;
  HMENU createLocked(bool popup);
  void destroyLocked(HMENU menu);
  // The menu `target` is `from` or lies below it.
  bool reachesLocked(HMENU from, HMENU target) const;
  // The item with command id `id` in `menu` or its submenus.
  Item *findByCommand(HMENU menu, UINT id, int depth);
  Item *findItem(HMENU menu, UINT item, UINT flags);
  std::shared_ptr<MenuTree> snapshotLocked(HMENU menu, int depth) const;
  HMENU buildLocked(const MenuTree &tree, int depth);

  mutable std::mutex mutex_;
  std::map<std::uintptr_t, Menu> menus_;
  std::uintptr_t next_ = 0x10000;
};

} // namespace ce
