// A menu tree as bytes, for handing a menu to another process (a soft-key bar's menu goes to the
// host). Little-endian: the magic "MNU1", then the menu: u32 popup flag, u32 item count, and per
// item u32 flags, u32 id, u32 text length and the UTF-16 units, and for a popup item a u32
// presence flag followed by its submenu.
//
// The decoder reads bytes from another process: it checks every length against what is left,
// refuses unknown flags, more than MenuTable::kMaxDepth levels, kMaxMenuItems items in one menu,
// kMaxTotalItems in all, and texts over kMaxMenuTextUnits, and never reads past the end.
#pragma once

#include "menu_tree.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ce {

class MenuCodec {
public:
  static constexpr std::size_t kMaxTotalItems = 4096;

  static std::vector<std::uint8_t> encode(const MenuTree &tree);
  static std::optional<MenuTree> decode(std::span<const std::uint8_t> bytes);
};

} // namespace ce
