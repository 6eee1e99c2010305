#include "menu_table.h"

#include <ce/errors.h>

#include <set>

namespace ce {

namespace {

constexpr std::uintptr_t kHandleStep = 4;
constexpr std::uintptr_t kLastHandle = 0x7FFF0000; // handles stay positive 32-bit numbers

std::uintptr_t valueOf(HMENU menu) { return reinterpret_cast<std::uintptr_t>(menu); }

} // namespace

MenuTable &MenuTable::instance() {
  static auto *table = new MenuTable; // may be used by threads still running at exit
  return *table;
}

MenuTable::Menu *MenuTable::find(HMENU menu) {
  const auto it = menus_.find(valueOf(menu));
  return it == menus_.end() ? nullptr : &it->second;
}

const MenuTable::Menu *MenuTable::find(HMENU menu) const {
  const auto it = menus_.find(valueOf(menu));
  return it == menus_.end() ? nullptr : &it->second;
}

HMENU MenuTable::createLocked(bool popup) {
  if (next_ > kLastHandle)
    return nullptr;
  const std::uintptr_t value = next_;
  next_ += kHandleStep;
  menus_[value].popup = popup;
  return reinterpret_cast<HMENU>(value);
}

HMENU MenuTable::create(bool popup) {
  std::lock_guard lock(mutex_);
  return createLocked(popup);
}

void MenuTable::destroyLocked(HMENU menu) {
  // A work list rather than recursion: a chain of submenus may be as deep as a caller likes.
  std::vector<HMENU> doomed{menu};
  while (!doomed.empty()) {
    const auto it = menus_.find(valueOf(doomed.back()));
    doomed.pop_back();
    if (it == menus_.end())
      continue;
    for (const Item &item : it->second.items)
      if (item.submenu)
        doomed.push_back(item.submenu);
    menus_.erase(it);
  }
}

DWORD MenuTable::destroy(HMENU menu) {
  std::lock_guard lock(mutex_);
  if (!find(menu))
    return ERROR_INVALID_MENU_HANDLE;
  destroyLocked(menu);
  return ERROR_SUCCESS;
}

bool MenuTable::contains(HMENU menu) const {
  std::lock_guard lock(mutex_);
  return find(menu) != nullptr;
}

bool MenuTable::reachesLocked(HMENU from, HMENU target) const {
  std::vector<HMENU> pending{from};
  std::set<HMENU> seen;
  while (!pending.empty()) {
    const HMENU menu = pending.back();
    pending.pop_back();
    if (menu == target)
      return true;
    const Menu *m = find(menu);
    if (!m || !seen.insert(menu).second)
      continue;
    for (const Item &item : m->items)
      if (item.submenu)
        pending.push_back(item.submenu);
  }
  return false;
}

DWORD MenuTable::append(HMENU menu, UINT flags, UINT_PTR idNewItem, std::u16string_view text) {
  constexpr UINT kKnown = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR;
  if (flags & (MF_BITMAP | MF_OWNERDRAW))
    return ERROR_NOT_SUPPORTED;
  if (flags & ~kKnown)
    return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  Menu *m = find(menu);
  if (!m)
    return ERROR_INVALID_MENU_HANDLE;
  if (m->items.size() >= static_cast<std::size_t>(kMaxMenuItems))
    return ERROR_NOT_ENOUGH_MEMORY;
  Item item;
  item.flags = flags;
  if (flags & MF_SEPARATOR) {
    item.flags = MF_SEPARATOR; // a separator is only a line
  } else {
    item.text.assign(text.substr(0, static_cast<std::size_t>(kMaxMenuTextUnits)));
    if (flags & MF_POPUP) {
      const HMENU submenu = reinterpret_cast<HMENU>(idNewItem);
      if (!find(submenu))
        return ERROR_INVALID_MENU_HANDLE;
      if (reachesLocked(submenu, menu))
        return ERROR_INVALID_PARAMETER; // the menu would contain itself
      item.submenu = submenu;
    } else {
      item.id = static_cast<UINT>(idNewItem);
    }
  }
  m->items.push_back(std::move(item));
  return ERROR_SUCCESS;
}

MenuTable::Item *MenuTable::findByCommand(HMENU menu, UINT id, int depth) {
  Menu *m = find(menu);
  if (!m || depth > kMaxDepth)
    return nullptr;
  for (Item &item : m->items) {
    if (!(item.flags & (MF_POPUP | MF_SEPARATOR)) && item.id == id)
      return &item;
    if (item.submenu)
      if (Item *found = findByCommand(item.submenu, id, depth + 1))
        return found;
  }
  return nullptr;
}

MenuTable::Item *MenuTable::findItem(HMENU menu, UINT item, UINT flags) {
  if (!(flags & MF_BYPOSITION))
    return findByCommand(menu, item, 0);
  Menu *m = find(menu);
  if (!m || item >= m->items.size())
    return nullptr;
  return &m->items[item];
}

DWORD MenuTable::enable(HMENU menu, UINT item, UINT flags, UINT *previous) {
  std::lock_guard lock(mutex_);
  if (!find(menu))
    return ERROR_INVALID_MENU_HANDLE;
  Item *target = findItem(menu, item, flags);
  if (!target)
    return ERROR_INVALID_PARAMETER;
  *previous = target->flags & (MF_GRAYED | MF_DISABLED);
  if (!(target->flags & MF_SEPARATOR))
    target->flags = (target->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return ERROR_SUCCESS;
}

DWORD MenuTable::check(HMENU menu, UINT item, UINT flags, UINT *previous) {
  std::lock_guard lock(mutex_);
  if (!find(menu))
    return ERROR_INVALID_MENU_HANDLE;
  Item *target = findItem(menu, item, flags);
  if (!target)
    return ERROR_INVALID_PARAMETER;
  *previous = target->flags & MF_CHECKED;
  if (!(target->flags & MF_SEPARATOR))
    target->flags = (target->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return ERROR_SUCCESS;
}

std::optional<int> MenuTable::count(HMENU menu) const {
  std::lock_guard lock(mutex_);
  const Menu *m = find(menu);
  if (!m)
    return std::nullopt;
  return static_cast<int>(m->items.size());
}

std::optional<UINT> MenuTable::itemId(HMENU menu, int position) const {
  std::lock_guard lock(mutex_);
  const Menu *m = find(menu);
  if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size())
    return std::nullopt;
  const Item &item = m->items[static_cast<std::size_t>(position)];
  return (item.flags & MF_POPUP) ? static_cast<UINT>(-1) : item.id;
}

std::optional<HMENU> MenuTable::subMenu(HMENU menu, int position) const {
  std::lock_guard lock(mutex_);
  const Menu *m = find(menu);
  if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size())
    return std::nullopt;
  const Item &item = m->items[static_cast<std::size_t>(position)];
  if (!item.submenu || !find(item.submenu))
    return std::nullopt;
  return item.submenu;
}

std::shared_ptr<MenuTree> MenuTable::snapshotLocked(HMENU menu, int depth) const {
  const Menu *m = find(menu);
  if (!m || depth > kMaxDepth)
    return nullptr;
  auto tree = std::make_shared<MenuTree>();
  tree->popup = m->popup;
  tree->items.reserve(m->items.size());
  for (const Item &item : m->items) {
    MenuTree::Item copy;
    copy.flags = item.flags;
    copy.id = item.id;
    copy.text = item.text;
    if (item.submenu)
      copy.submenu = snapshotLocked(item.submenu, depth + 1);
    tree->items.push_back(std::move(copy));
  }
  return tree;
}

std::optional<MenuTree> MenuTable::snapshot(HMENU menu) const {
  std::lock_guard lock(mutex_);
  auto tree = snapshotLocked(menu, 0);
  if (!tree)
    return std::nullopt;
  return std::move(*tree);
}

HMENU MenuTable::buildLocked(const MenuTree &tree, int depth) {
  if (depth > kMaxDepth)
    return nullptr;
  const HMENU menu = createLocked(tree.popup);
  if (!menu)
    return nullptr;
  for (const MenuTree::Item &source : tree.items) {
    Item item;
    item.flags = source.flags;
    item.id = source.id;
    item.text = source.text;
    if (source.submenu) {
      item.submenu = buildLocked(*source.submenu, depth + 1);
      if (!item.submenu) {
        destroyLocked(menu);
        return nullptr;
      }
    }
    find(menu)->items.push_back(std::move(item));
  }
  return menu;
}

HMENU MenuTable::build(const MenuTree &tree) {
  std::lock_guard lock(mutex_);
  return buildLocked(tree, 0);
}

} // namespace ce
