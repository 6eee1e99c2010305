// Two indexes over the whole metadata tree, built once at start: from a target's program path
// (lower case) and from an item's name (lower case) to the item's key path. They give a running
// program the icon and name of its menu item.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

class ItemIndexes {
public:
  // Walks `keyPath` and every key below it (keys whose path contains "icon.lnk" are left out,
  // and so are keys marked `falseLink`). A later entry of the same target or name replaces an
  // earlier one.
  void scan(std::u16string_view keyPath);

  std::optional<std::u16string> findByTarget(std::u16string_view target) const;
  std::optional<std::u16string> findByName(std::u16string_view name) const;

  const std::map<std::u16string, std::u16string> &targets() const { return targets_; }
  const std::map<std::u16string, std::u16string> &names() const { return names_; }

private:
  std::map<std::u16string, std::u16string> targets_;
  std::map<std::u16string, std::u16string> names_;
};
