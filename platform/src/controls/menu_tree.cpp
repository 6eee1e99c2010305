#include "menu_tree.h"

namespace ce {

bool MenuTree::Item::operator==(const Item &other) const {
  if (flags != other.flags || id != other.id || text != other.text)
    return false;
  if (!submenu || !other.submenu)
    return !submenu && !other.submenu;
  return *submenu == *other.submenu;
}

bool MenuTree::operator==(const MenuTree &other) const {
  return popup == other.popup && items == other.items;
}

} // namespace ce
